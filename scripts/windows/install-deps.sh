#!/usr/bin/env bash
# Installs the Debian packages of the Windows build when any is missing: MinGW-w64 (posix
# threads), Wine to run the programs and tests, NSIS for the setup program, and what the SDK
# build needs (apt-get source, the host's Qt 6 tools).
set -euo pipefail

packages=(
  cmake ninja-build pkg-config ccache dpkg-dev python3 make
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-serialport-dev
  wine64 wine nsis zip unzip
  xvfb xauth x11-utils openbox imagemagick xdotool
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}" >&2
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=600 update -q
  "${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends "${missing[@]}"
fi
