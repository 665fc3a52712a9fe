# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (posix threads), against the
# Windows SDK that scripts/windows/sdk.sh builds (Qt, ICU, GoogleTest, Google Benchmark).
#
# The SDK is found through the environment variable KESTRIN_WIN_SDK, or in the default
# cache directory. The host's Qt 6.4.2 supplies moc, rcc and uic (QT_HOST_PATH=/usr).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KESTRIN_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KESTRIN_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KESTRIN_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KESTRIN_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${KESTRIN_MINGW_TRIPLE}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${KESTRIN_MINGW_TRIPLE}-ranlib CACHE FILEPATH "")

if(DEFINED ENV{KESTRIN_WIN_SDK} AND NOT "$ENV{KESTRIN_WIN_SDK}" STREQUAL "")
  set(KESTRIN_WIN_SDK "$ENV{KESTRIN_WIN_SDK}")
else()
  set(KESTRIN_WIN_SDK "$ENV{HOME}/.cache/kestrin/win-sdk-6.4.2")
endif()

# Libraries, headers and packages come from the MinGW sysroot and the SDK only, never from
# the Linux host; programs (the host's Qt tools among them) from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${KESTRIN_MINGW_TRIPLE} "${KESTRIN_WIN_SDK}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config (ICU) looks only in the SDK.
set(ENV{PKG_CONFIG_LIBDIR} "${KESTRIN_WIN_SDK}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
