#!/usr/bin/env bash
# Runs a Windows program of the build under Wine: CTest's and the build's cross-compiling
# emulator, and the way to start kestrin.exe or kestrin-cli.exe by hand from a build:
#   scripts/windows/wine-run.sh build/windows/bin/kestrin-cli.exe --version
# The Qt, ICU and MinGW run-time DLLs are found in the SDK and the compiler's folders; Wine keeps
# its state in a private prefix (WINEPREFIX, default ~/.cache/kestrin/wine), never in ~/.wine.
set -euo pipefail
sdk=${KESTRIN_WIN_SDK:-$HOME/.cache/kestrin/win-sdk-6.4.2}
export WINEPREFIX=${WINEPREFIX:-$HOME/.cache/kestrin/wine}
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko downloads, no "install them?" dialogs.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

winpath() { local p; p=$(readlink -m "$1"); p=${p//\//\\}; printf 'Z:%s' "$p"; }

gcc_dir=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
dirs=("$sdk/bin" "$sdk/lib" "$gcc_dir" /usr/x86_64-w64-mingw32/lib)
path=""
for d in "${dirs[@]}"; do
  [ -d "$d" ] && path+="${path:+;}$(winpath "$d")"
done
export WINEPATH="$path${WINEPATH:+;$WINEPATH}"
export QT_PLUGIN_PATH=${QT_PLUGIN_PATH:-$(winpath "$sdk/plugins")}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
fi
wine=$(command -v wine64 || { [ -x /usr/lib/wine/wine64 ] && echo /usr/lib/wine/wine64; } || command -v wine)
exec "$wine" "$@"
