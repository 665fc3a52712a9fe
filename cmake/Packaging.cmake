# Installation layout and the Debian package (CPack). Included last by the root CMakeLists.txt,
# when every program target is known.

set(KESTRIN_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)

# Installing and packaging take what was built and never start a build of their own:
# scripts/package.sh builds first, and the package test packs the tested build as it is.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(kestrin_doc_dir share/doc/kestrin)

foreach(program kestrin kestrin-cli kestrin-sim)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION bin)
  endif()
endforeach()

# Desktop integration: the clone data file type and the icon; the entry and the store metadata
# start the desktop program, so they come with it only.
if(TARGET kestrin)
  install(FILES ${KESTRIN_PACKAGING_DIR}/com.zelk.kestrin.desktop DESTINATION share/applications)
  install(FILES ${KESTRIN_PACKAGING_DIR}/com.zelk.kestrin.metainfo.xml DESTINATION share/metainfo)
endif()
install(FILES ${KESTRIN_PACKAGING_DIR}/kestrin.xml DESTINATION share/mime/packages)
install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/kestrin.svg
        DESTINATION share/icons/hicolor/scalable/apps)
if(TARGET kestrin_icon_pngs)
  # Rendered at build time into <build>/icons/hicolor/<size>x<size>/apps/kestrin.png.
  install(DIRECTORY ${PROJECT_BINARY_DIR}/icons/hicolor DESTINATION share/icons
          FILES_MATCHING PATTERN "*.png")
endif()

install(FILES ${KESTRIN_PACKAGING_DIR}/kestrin-cli.bash-completion
        DESTINATION share/bash-completion/completions RENAME kestrin-cli)
install(FILES ${KESTRIN_PACKAGING_DIR}/60-kestrin-serial.rules.example
              ${KESTRIN_PACKAGING_DIR}/README.serial ${KESTRIN_PACKAGING_DIR}/copyright
        DESTINATION ${kestrin_doc_dir})

# Manual pages and the changelog are installed compressed, as Debian wants them; gzip -n keeps
# the archive free of time stamps so a rebuild gives the same bytes.
set(kestrin_packaging_out ${PROJECT_BINARY_DIR}/packaging)
configure_file(${KESTRIN_PACKAGING_DIR}/changelog.in ${kestrin_packaging_out}/changelog @ONLY)
set(kestrin_gzipped "")
foreach(source packaging/man/kestrin.1 packaging/man/kestrin-cli.1 packaging/man/kestrin-sim.1
               changelog)
  get_filename_component(name ${source} NAME)
  if(source STREQUAL "changelog")
    set(input ${kestrin_packaging_out}/changelog)
  else()
    set(input ${PROJECT_SOURCE_DIR}/${source})
  endif()
  set(staged ${kestrin_packaging_out}/gz/${name})
  add_custom_command(
    OUTPUT ${staged}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${input} ${staged}
    COMMAND gzip -9nf ${staged}
    DEPENDS ${input}
    COMMENT "Compressing ${name}"
    VERBATIM)
  list(APPEND kestrin_gzipped ${staged}.gz)
endforeach()
add_custom_target(kestrin_packaging_files ALL DEPENDS ${kestrin_gzipped})
foreach(program kestrin kestrin-cli kestrin-sim)
  if(TARGET ${program})
    install(FILES ${kestrin_packaging_out}/gz/${program}.1.gz DESTINATION share/man/man1)
  endif()
endforeach()
install(FILES ${kestrin_packaging_out}/gz/changelog.gz DESTINATION ${kestrin_doc_dir})

# The Debian package: kestrin_<version>_<arch>.deb with its library dependencies computed from
# the programs by dpkg-shlibdeps.
find_program(KESTRIN_DPKG dpkg)
set(kestrin_arch amd64)
if(KESTRIN_DPKG)
  execute_process(COMMAND ${KESTRIN_DPKG} --print-architecture OUTPUT_VARIABLE kestrin_arch
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
endif()
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Zelk Inc.")
set(CPACK_PACKAGE_CONTACT "Zelk Inc. <support@zelk.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME kestrin_${PROJECT_VERSION}_${kestrin_arch}.deb)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${kestrin_arch})
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://zelk.example/kestrin)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
if(TARGET kestrin)
  set(kestrin_package_holds "The package holds the desktop program kestrin, the command-line tool
kestrin-cli and the simulated transceiver kestrin-sim.")
else()
  set(kestrin_package_holds "The package holds the command-line tool kestrin-cli and the simulated
transceiver kestrin-sim.")
endif()
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "programming software of the Osprel VHF FM transceiver
Kestrin reads the whole memory of an Osprel transceiver over its cloning
cable, lets the user edit channels, bank names, DTMF memories and settings,
checks them against the rules of the transceiver's regional version, and
writes them back. Clone data files (.qev) can be saved, opened, compared
field by field and exchanged with channel lists.
.
${kestrin_package_holds}")
include(CPack)
