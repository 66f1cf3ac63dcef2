#!/usr/bin/env bash
# Installs the packages that building and testing Zentrada needs, with
# apt-get, when any of them is missing: the Linux tool chain, and for the
# Windows builds the MinGW-w64 cross compilers and Wine (whose 32-bit part
# needs the i386 architecture) with qemu-user-static, which runs the 32-bit
# build where the kernel runs no 32-bit programs, NSIS, and wixl with
# msitools for the Windows Installer packages, clang with its fuzzing
# runtime (it also builds the library tools/wine32-emulated.sh preloads), strace,
# with which the benchmark counts the agent's forced writes, and promtool
# (package prometheus) with the node exporter, with which the monitoring test
# checks the alert rules and serves the agent's status file, and systemd,
# whose systemd-analyze checks the agent's unit. Runs as root or
# through sudo.
set -euo pipefail

packages=(cmake ninja-build g++ libgtest-dev libgmock-dev googletest
          g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
          binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
          wine wine32:i386 wine64 qemu-user-static
          nsis wixl msitools xvfb xauth xdotool imagemagick
          clang libclang-rt-14-dev
          strace
          prometheus prometheus-node-exporter
          systemd)

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

# The prometheus and node exporter packages start their daemons from their
# init scripts when installed (through invoke-rc.d, also where systemd does not
# run): a Prometheus server and an exporter listening on every interface. The
# tests need only their programs, so while apt-get installs, a policy-rc.d
# that answers 101 ("action forbidden") keeps invoke-rc.d from starting any
# service, unless the machine already has a policy of its own; whatever got
# started all the same is stopped afterwards.
policy=/usr/sbin/policy-rc.d
own_policy=0
if [ ! -e "$policy" ]; then
  printf '#!/bin/sh\nexit 101\n' |
    "${sudo[@]}" tee "$policy" > /dev/null
  "${sudo[@]}" chmod 755 "$policy"
  own_policy=1
  trap '"${sudo[@]}" rm -f "$policy"' EXIT
fi

echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"

if [ "$own_policy" -eq 1 ]; then
  "${sudo[@]}" rm -f "$policy"
  trap - EXIT
fi
for service in prometheus prometheus-node-exporter; do
  if [ -x "/etc/init.d/$service" ] && "/etc/init.d/$service" status > /dev/null 2>&1; then
    echo "Stopping the $service service the package started"
    "${sudo[@]}" "/etc/init.d/$service" stop
  fi
done
