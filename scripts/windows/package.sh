#!/usr/bin/env bash
# Packs the Windows build as a setup program and a portable zip, in build/windows-package:
#   kestrin-<version>-setup.exe   (NSIS: current user or all users, Start menu, .qev file type,
#                                  installed-programs entry, uninstaller)
#   kestrin-<version>-windows.zip (the same files, to unpack and run)
# The programs get exactly the DLLs they import (followed through every DLL and plugin taken),
# the Qt plugins of the Qt modules they use, the help pages and the licences.
#
#   bash scripts/windows/package.sh           # build (scripts/windows/build.sh) and pack
#   bash scripts/windows/package.sh --check   # then install, run and uninstall it under Wine
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
check=0
case "${1:-}" in
  --check) check=1 ;;
  "") ;;
  *) echo "Usage: $0 [--check]" >&2; exit 2 ;;
esac
export KESTRIN_WIN_SDK=${KESTRIN_WIN_SDK:-$HOME/.cache/kestrin/win-sdk-6.4.2}
sdk=$KESTRIN_WIN_SDK
build=${KESTRIN_WIN_BUILD:-$here/build/windows}
bash "$here/scripts/windows/build.sh"

version=$(sed -n 's/^project(Kestrin VERSION \([0-9.]*\).*/\1/p' "$here/CMakeLists.txt")
out="$here/build/windows-package"
stage="$out/Kestrin"
rm -rf "$out"
mkdir -p "$stage"

# --- Programs, help, icon, licences ----------------------------------------------------------
cp "$build/bin/kestrin.exe" "$build/bin/kestrin-cli.exe" "$stage/"
mkdir -p "$stage/help"
cp "$build/bin/help/"* "$stage/help/"
convert "$build/icons/hicolor/"{16x16,24x24,32x32,48x48,64x64,128x128,256x256}/apps/kestrin.png \
  "$stage/kestrin.ico"
mkdir -p "$stage/licenses"
cp "$here/packaging/copyright" "$stage/licenses/kestrin.txt"

# --- DLLs and plugins ------------------------------------------------------------------------
gcc_dir=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
declare -A available  # lower-case DLL name -> where it is
for d in "$sdk/bin" "$sdk/lib" "$gcc_dir" /usr/x86_64-w64-mingw32/lib; do
  [ -d "$d" ] || continue
  while IFS= read -r f; do
    n=$(basename "$f" | tr 'A-Z' 'a-z')
    [ -n "${available[$n]:-}" ] || available[$n]=$f
  done < <(find "$d" -maxdepth 1 -iname '*.dll')
done

imports() { x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^[[:space:]]*DLL Name: //p'; }

declare -A taken      # lower-case DLL name -> 1
queue=("$stage/kestrin.exe" "$stage/kestrin-cli.exe")
take_imports() {
  while [ ${#queue[@]} -gt 0 ]; do
    local file=${queue[0]}
    queue=("${queue[@]:1}")
    local dll n
    while IFS= read -r dll; do
      n=$(echo "$dll" | tr 'A-Z' 'a-z')
      # Not ours to ship: the system's DLLs (no copy in the SDK or the compiler's folders).
      [ -n "${available[$n]:-}" ] || continue
      [ -z "${taken[$n]:-}" ] || continue
      taken[$n]=1
      cp "${available[$n]}" "$stage/"
      queue+=("$stage/$(basename "${available[$n]}")")
    done < <(imports "$file")
  done
}
take_imports

# Qt loads plugins by kind, not through imports: the ones each Qt module that is shipped needs.
plugin() {  # plugin MODULE-DLL KIND NAME
  if [ -n "${taken[$(echo "$1" | tr 'A-Z' 'a-z')]:-}" ]; then
    local src="$sdk/plugins/$2/$3.dll"
    [ -f "$src" ] || { echo "Missing Qt plugin $2/$3.dll in the SDK" >&2; exit 1; }
    mkdir -p "$stage/$2"
    cp "$src" "$stage/$2/"
    queue+=("$stage/$2/$3.dll")
  fi
}
plugin Qt6Gui.dll platforms qwindows
plugin Qt6Widgets.dll styles qwindowsvistastyle
take_imports

# The licences of what was shipped.
for p in qt6-base icu; do
  [ -d "$sdk/share/licenses/$p" ] && cp -r "$sdk/share/licenses/$p" "$stage/licenses/"
done
for p in gcc-mingw-w64-base mingw-w64-common; do
  [ -f "/usr/share/doc/$p/copyright" ] && cp "/usr/share/doc/$p/copyright" "$stage/licenses/$p.txt"
done

# --- Portable zip ----------------------------------------------------------------------------
zip_file="$out/kestrin-$version-windows.zip"
(cd "$out" && zip -qr9 "$zip_file" Kestrin)

# --- Setup program ---------------------------------------------------------------------------
# The installer's and the uninstaller's file lists, from the staged folder itself.
files="$out/files.nsh"
unfiles="$out/unfiles.nsh"
: >"$files"
: >"$unfiles"
winrel() { echo "${1//\//\\}"; }
while IFS= read -r dir; do
  rel=${dir#"$stage"}
  echo "SetOutPath \"\$INSTDIR$(winrel "$rel")\"" >>"$files"
  while IFS= read -r f; do
    echo "File \"$f\"" >>"$files"
    echo "Delete \"\$INSTDIR$(winrel "${f#"$stage"}")\"" >>"$unfiles"
  done < <(find "$dir" -maxdepth 1 -type f | sort)
done < <(find "$stage" -type d | sort)
echo 'SetOutPath "$INSTDIR"' >>"$files"
# Folders deepest first; RMDir leaves any folder that still holds a file of the user's.
while IFS= read -r dir; do
  echo "RMDir \"\$INSTDIR$(winrel "${dir#"$stage"}")\"" >>"$unfiles"
done < <(find "$stage" -mindepth 1 -type d | sort -r)

setup="$out/kestrin-$version-setup.exe"
makensis -V2 -DVERSION="$version" -DSTAGE="$stage" -DOUTFILE="$setup" -DFILES="$files" \
  -DUNFILES="$unfiles" -DSIZE_KB="$(du -sk "$stage" | cut -f1)" \
  "$here/packaging/windows/kestrin.nsi"
ls -1 "$setup" "$zip_file"

[ $check -eq 1 ] || exit 0
exec bash "$here/scripts/windows/check-setup.sh" "$setup"
