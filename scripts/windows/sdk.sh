#!/usr/bin/env bash
# Builds the Windows SDK that Kestrin's Windows build links against, from Debian's own source
# packages, with Debian's MinGW-w64 (posix threads) for x86_64-w64-mingw32:
#   Qt 6.4.2 (qtbase: Core, Gui, Widgets, Network, PrintSupport, Test, the windows and offscreen
#   platform plugins, the Windows styles), ICU 72, GoogleTest and Google Benchmark.
# Qt SVG and Qt Serial Port are not part of it: the archive does not serve their sources. On
# Windows the program talks to COM ports through the system's own serial interface, and its
# pictures are rendered to PNG on the build machine (scripts/windows/build.sh).
# It installs into KESTRIN_WIN_SDK (default ~/.cache/kestrin/win-sdk-6.4.2) and does nothing when
# a complete SDK is already there. Each piece is built once; a failed run resumes where it stopped.
#
#   bash scripts/windows/sdk.sh                 # build (or check) the SDK
#   bash scripts/windows/sdk.sh --pack FILE     # pack the complete SDK into one tarball
#   bash scripts/windows/sdk.sh --unpack FILE   # unpack such a tarball into KESTRIN_WIN_SDK
#
# Sources and build trees go to KESTRIN_WIN_SDK_WORK (default ~/.cache/kestrin/win-sdk-work).
# KESTRIN_JOBS sets the parallel jobs (default: the number of cores).
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
sdk=${KESTRIN_WIN_SDK:-$HOME/.cache/kestrin/win-sdk-6.4.2}
work=${KESTRIN_WIN_SDK_WORK:-$HOME/.cache/kestrin/win-sdk-work}
jobs=${KESTRIN_JOBS:-$(nproc)}
triple=x86_64-w64-mingw32
qt_version=6.4.2
export KESTRIN_WIN_SDK=$sdk

log() { echo "[sdk $(date -u +%H:%M:%S)] $*" >&2; }

case "${1:-}" in
  --pack)
    [ -f "$sdk/.complete" ] || { echo "No complete SDK in $sdk" >&2; exit 1; }
    out=${2:-kestrin-win-sdk-$qt_version.tar.xz}
    tar -C "$sdk" -cJf "$out" .
    log "Packed $sdk into $out ($(du -h "$out" | cut -f1))"
    exit 0 ;;
  --unpack)
    [ -f "${2:-}" ] || { echo "Usage: $0 --unpack FILE" >&2; exit 2; }
    mkdir -p "$sdk"
    tar -C "$sdk" -xf "$2"
    [ -f "$sdk/.complete" ] || { echo "The tarball holds no complete SDK" >&2; exit 1; }
    log "Unpacked into $sdk"
    exit 0 ;;
  "") ;;
  *) echo "Usage: $0 [--pack FILE | --unpack FILE]" >&2; exit 2 ;;
esac

if [ -f "$sdk/.complete" ] && [ -f "$sdk/.stamp-icudata" ]; then
  log "A complete SDK is already in $sdk"
  exit 0
fi
# An SDK made before ICU's data was cut down gets only that step.
rm -f "$sdk/.complete"

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

# --- Debian packages -----------------------------------------------------------------------
bash "$here/scripts/windows/install-deps.sh"

# --- Source entries for apt-get source ------------------------------------------------------
# Without deb-src entries, derive them from the machine's own Debian sources (same archives,
# same suites) into a file of their own.
if ! apt-get indextargets --format '$(CREATED_BY)' 2>/dev/null | grep -qx Sources; then
  codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
  srcfile=/etc/apt/sources.list.d/kestrin-deb-src.sources
  log "No source entries; deriving them into $srcfile"
  tmp=$(mktemp)
  # deb822 stanzas of this release (Suites: bookworm, bookworm-updates, ...), as deb-src.
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk -v rel="$codename" '
      function flush() {
        if (isdeb && relok) { print "Types: deb-src"; printf "%s", body; print "" }
        body = ""; isdeb = 0; relok = 0
      }
      /^[ \t]*#/ { next }
      /^[ \t]*$/ { flush(); next }
      /^Types:/ { if ($0 ~ /[ \t]deb([ \t]|$)/) isdeb = 1; next }
      /^Suites:/ { for (i = 2; i <= NF; i++) if ($i == rel || index($i, rel "-") == 1) relok = 1 }
      { body = body $0 "\n" }
      END { flush() }' "$f" >>"$tmp"
  done
  # One-line entries of this release, as deb-src.
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    awk -v rel="$codename" '
      $1 == "deb" {
        for (i = 2; i <= NF; i++) if ($i !~ /^\[/ && $i !~ /\]$/ && $i ~ /:\/\//) break
        s = $(i + 1)
        if (s == rel || index(s, rel "-") == 1) { $1 = "deb-src"; print }
      }' "$f" >>"$tmp.list"
  done 2>/dev/null || true
  [ -s "$tmp" ] && "${sudo_cmd[@]}" install -m 644 "$tmp" "$srcfile"
  [ -s "$tmp.list" ] && "${sudo_cmd[@]}" install -m 644 "$tmp.list" "${srcfile%.sources}.list"
  rm -f "$tmp" "$tmp.list"
  "${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=600 update -q
fi

# --- Sources --------------------------------------------------------------------------------
mkdir -p "$work/src" "$work/build" "$sdk"
fetch() {  # fetch PACKAGE: unpacks Debian's source (with Debian's patches) once; prints its dir
  local pkg=$1 dir
  dir=$(find "$work/src" -mindepth 1 -maxdepth 1 -type d -name "$pkg-*" | head -n1)
  if [ -z "$dir" ] || [ ! -f "$work/src/.fetched-$pkg" ]; then
    log "Fetching the source of $pkg"
    (cd "$work/src" && apt-get source -q "$pkg" >&2)
    touch "$work/src/.fetched-$pkg"
    dir=$(find "$work/src" -mindepth 1 -maxdepth 1 -type d -name "$pkg-*" | head -n1)
  fi
  echo "$dir"
}

done_() { [ -f "$sdk/.stamp-$1" ]; }
mark() { touch "$sdk/.stamp-$1"; log "$1 installed"; }

toolchain="$here/cmake/mingw-w64-x86_64.cmake"
# The SDK keeps its own copy, so that it stays usable apart from this checkout.
mkdir -p "$sdk/share/kestrin"
cp "$toolchain" "$sdk/share/kestrin/"
toolchain="$sdk/share/kestrin/mingw-w64-x86_64.cmake"

cross_cmake=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release
  -DCMAKE_INSTALL_PREFIX="$sdk" -DCMAKE_PREFIX_PATH="$sdk")
qt_host=(-DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake)

start=$(date +%s)

# --- GoogleTest -----------------------------------------------------------------------------
if ! done_ googletest; then
  src=$(fetch googletest)
  b="$work/build/googletest"
  cmake -S "$src" -B "$b" "${cross_cmake[@]}" -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON \
    -DBUILD_SHARED_LIBS=OFF >/dev/null
  cmake --build "$b" -j"$jobs"
  cmake --install "$b" >/dev/null
  mark googletest
fi

# --- Google Benchmark -----------------------------------------------------------------------
if ! done_ benchmark; then
  src=$(fetch benchmark)
  b="$work/build/benchmark"
  # Its version comes from git, which a source package lacks (Debian passes it in the same way).
  v=$(basename "$src"); v=${v#benchmark-}
  cmake -S "$src" -B "$b" "${cross_cmake[@]}" -DBUILD_SHARED_LIBS=OFF -DGIT_VERSION="$v" \
    -DBENCHMARK_ENABLE_TESTING=OFF -DBENCHMARK_ENABLE_GTEST_TESTS=OFF \
    -DBENCHMARK_ENABLE_WERROR=OFF -DBENCHMARK_ENABLE_INSTALL=ON -DBENCHMARK_INSTALL_DOCS=OFF \
    -DBENCHMARK_ENABLE_LTO=OFF >/dev/null
  cmake --build "$b" -j"$jobs"
  cmake --install "$b" >/dev/null
  mark benchmark
fi

# --- Qt: qtbase -----------------------------------------------------------------------------
if ! done_ qtbase; then
  src=$(fetch qt6-base)
  case "$src" in *"-$qt_version"*) ;; *) echo "Expected qtbase $qt_version, got $src" >&2; exit 1 ;; esac
  b="$work/build/qtbase"
  # Debian's repacked source lacks the bundled WinTab header (tablet events off); with OpenGL
  # off, dynamic GL must be off too. Third-party libraries are Qt's bundled copies.
  cmake -S "$src" -B "$b" "${cross_cmake[@]}" "${qt_host[@]}" \
    -DBUILD_SHARED_LIBS=ON -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF \
    -DQT_BUILD_BENCHMARKS=OFF -DQT_BUILD_MANUAL_TESTS=OFF \
    -DFEATURE_opengl=OFF -DFEATURE_dynamicgl=OFF -DFEATURE_vulkan=OFF -DFEATURE_dbus=OFF \
    -DFEATURE_sql=OFF -DFEATURE_tabletevent=OFF -DFEATURE_icu=OFF \
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF \
    -DFEATURE_system_jpeg=OFF -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF \
    -DFEATURE_freetype=ON -DFEATURE_harfbuzz=ON -DFEATURE_png=ON -DFEATURE_jpeg=ON \
    -DFEATURE_gui=ON -DFEATURE_widgets=ON -DFEATURE_network=ON -DFEATURE_printsupport=ON \
    -DFEATURE_testlib=ON -DFEATURE_concurrent=ON -DFEATURE_xml=ON \
    -DFEATURE_style_windowsvista=ON
  cmake --build "$b" -j"$jobs"
  cmake --install "$b" >/dev/null
  mark qtbase
fi

# --- ICU ------------------------------------------------------------------------------------
# A cross build of ICU needs a native build of the same source for its data tools.
if ! done_ icu; then
  src=$(fetch icu)
  native="$work/build/icu-native"
  cross="$work/build/icu-cross"
  if [ ! -f "$native/.built" ]; then
    mkdir -p "$native"
    (cd "$native" && "$src/source/configure" --disable-tests --disable-samples --disable-extras \
       >/dev/null && make -j"$jobs" >/dev/null)
    touch "$native/.built"
  fi
  mkdir -p "$cross"
  (cd "$cross" && "$src/source/configure" --host=$triple --with-cross-build="$native" \
     --prefix="$sdk" --enable-shared --disable-static --disable-tests --disable-samples \
     --disable-extras --disable-layoutex CC=$triple-gcc-posix CXX=$triple-g++-posix \
     >/dev/null && make -j"$jobs" >/dev/null && make install >/dev/null)
  # pkg-config files that hold wherever the SDK is unpacked.
  for pc in "$sdk"/lib/pkgconfig/icu-*.pc; do
    sed -i 's|^prefix *=.*|prefix=${pcfiledir}/../..|' "$pc"
  done
  mark icu
fi

# --- ICU data: only what Kestrin uses ---------------------------------------------------------
# Kestrin asks ICU for one thing: the transliterator that folds typed Japanese text
# ("Hiragana-Katakana; Fullwidth-Halfwidth"). The whole data library is 31 MB, which Wine reads
# into memory in full at every start and the setup program carries; the transliterator needs its
# rules (translit/), the normalisation and property data (*.nrm, *.icu) and the root bundles.
# The name-folding tests under Wine fail when a piece is missing.
if ! done_ icudata; then
  src=$(find "$work/src" -mindepth 1 -maxdepth 1 -type d -name 'icu-*' | head -n1)
  native="$work/build/icu-native"
  cross="$work/build/icu-cross"
  full="$src/source/data/in/icudt72l.dat"
  small="$work/build/icudt72l-kestrin.dat"
  icupkg() { LD_LIBRARY_PATH="$native/lib" "$native/bin/icupkg" "$@"; }
  icupkg -l "$full" |
    grep -v -E '^(translit/.*|[^/]*\.(icu|nrm)|(root|res_index|pool|icuver|icustd|supplementalData|likelySubtags|metadata|keyTypeData|en|ja)\.res)$' \
    >"$work/build/icudata-removed.lst"
  rm -f "$small"
  icupkg -r "$work/build/icudata-removed.lst" "$full" "$small"
  rm -rf "$cross/data/out" "$cross/data/packagedata"
  make -C "$cross/data" ICUDATA_SOURCE_ARCHIVE="$small" >/dev/null
  make -C "$cross/data" ICUDATA_SOURCE_ARCHIVE="$small" install >/dev/null
  log "ICU data cut to $(du -h "$sdk/bin/icudt72.dll" | cut -f1)"
  mark icudata
fi

# --- Licences -------------------------------------------------------------------------------
# The setup program ships the licences of everything it takes from the SDK.
for p in qt6-base icu googletest benchmark; do
  d=$(find "$work/src" -mindepth 1 -maxdepth 1 -type d -name "$p-*" | head -n1)
  mkdir -p "$sdk/share/licenses/$p"
  cp "$d/debian/copyright" "$sdk/share/licenses/$p/copyright"
  find "$d" -maxdepth 2 \( -name 'LICENSE*' -o -name 'COPYING*' \) -type f \
    -not -path '*/debian/*' -exec cp {} "$sdk/share/licenses/$p/" \;
  [ -d "$d/LICENSES" ] && cp -r "$d/LICENSES" "$sdk/share/licenses/$p/"
done

# --- Done -----------------------------------------------------------------------------------
{
  echo "qt $qt_version"
  for p in qt6-base icu googletest benchmark; do
    d=$(find "$work/src" -mindepth 1 -maxdepth 1 -type d -name "$p-*" | head -n1)
    echo "$p $(basename "$d")"
  done
  echo "compiler $($triple-g++-posix --version | head -n1)"
} >"$sdk/.complete"
log "SDK complete in $sdk: $(du -sh "$sdk" | cut -f1), this run took $(( ($(date +%s) - start) / 60 )) minutes"
