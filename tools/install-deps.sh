#!/usr/bin/env bash
# Installs the packages that building and testing Zentrada needs, with
# apt-get, when any of them is missing: the Linux tool chain, and for the
# Windows builds the MinGW-w64 cross compilers and Wine (whose 32-bit part
# needs the i386 architecture), clang with its fuzzing runtime, and strace,
# with which the benchmark counts the agent's forced writes. Runs as root or
# through sudo.
set -euo pipefail

packages=(cmake ninja-build g++ libgtest-dev libgmock-dev googletest
          g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
          binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
          wine wine32:i386 wine64
          nsis xvfb xauth xdotool imagemagick
          clang libclang-rt-14-dev
          strace)

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  sudo=(sudo)
fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo[@]}" dpkg --add-architecture i386
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
