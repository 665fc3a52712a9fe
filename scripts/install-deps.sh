#!/usr/bin/env bash
# Installs the Debian packages Kestrin needs to build, test and run, when any is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config ccache
  qt6-base-dev qt6-serialport-dev qt6-svg-dev
  libgtest-dev libgmock-dev libbenchmark-dev libicu-dev
  xvfb xauth x11-utils openbox poppler-utils
  dpkg-dev fakeroot file gzip lintian desktop-file-utils appstream shared-mime-info
  man-db groff-base bash-completion
  clang libclang-rt-14-dev
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
  "${sudo_cmd[@]}" apt-get update -q
  # Some names are virtual on some releases; install what exists.
  available=()
  for p in "${missing[@]}"; do
    if apt-cache show "$p" >/dev/null 2>&1; then available+=("$p"); fi
  done
  "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${available[@]}"
fi
