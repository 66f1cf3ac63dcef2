#!/usr/bin/env bash
# Runs a 32-bit Windows program under Wine on a machine whose kernel runs no
# 32-bit programs: Wine's 32-bit loader under qemu-i386-static, in the
# 64-bit prefix $WINEPREFIX, whose Wine server and 64-bit programs run
# natively. Used as `wine` is, for 32-bit programs:
#   WINEPREFIX=PREFIX tools/wine32-emulated.sh PROGRAM [ARGUMENTS...]
# and so through ZENTRADA_WINE, which tools/wine-run.sh and
# tools/windows-e2e.sh take as their wine command. A prefix should be made by
# it too (wine-run.sh does so): one made by 64-bit Wine alone, whose 32-bit
# rundll32 cannot run, has no 32-bit system files. A test of the 32-bit
# installer names its wine command in a variable, e.g.:
#   wine=("${ZENTRADA_WINE:-wine}")
#   "${wine[@]}" 'C:\windows\syswow64\msiexec.exe' /i "$(winepath -w Zentrada.msi)" /qn
#   "${wine[@]}" 'C:\windows\syswow64\msiexec.exe' /x "$(winepath -w Zentrada.msi)" /qn
# (a program given by its path starts in the process itself; by its name
# alone, Wine starts it in a second one, one more emulated start). The
# program replaces this script's process, so its pid and signals (Ctrl+C)
# are the caller's. A 32-bit process starts in 2 to 4 s here; after that it
# runs at a good fraction of native speed.
#
# With --64 first, the program starts natively on the 64-bit loader of the
# same pair, so the 32-bit programs it starts (a 32-bit service started by
# services.exe, a 32-bit package's custom actions started by msiexec) run
# emulated too. A test that starts 64-bit programs as well (reg, sc,
# msiexec) calls them so, and the prefix's first process with it, for the
# system processes (services.exe) to start their 32-bit children emulated.
#
# Three things keep Wine's 32-bit loader from running under qemu as it is:
#  - Wine starts every process by exec'ing one of its loaders, which qemu
#    does not follow (it has no binfmt entry here, and must not get one).
#    At its first start the 32-bit loader execs itself once more:
#    WINELOADERNOEXEC=1, which Wine sets in every process it starts, skips
#    that (without a preloader it changes nothing). A process started by a
#    Wine process runs the loader named after the parent's own: its
#    directory (/proc/self/exe) and the name it was started under (argv[0]),
#    with "64" added or taken away when the child's word size differs; Wine
#    ignores $WINELOADER for that. So both loaders run from copies in
#    build/wine32-emulated/lib/wine, beside links to Wine's own files, under
#    the names wine-qemu and wine-qemu64: two scripts there that start the
#    32-bit copy under qemu and the 64-bit one natively.
#  - At start Wine reserves the address space Windows programs may use,
#    halving each range that fails down to 64 KiB pieces. qemu (7.2) honours
#    no MAP_FIXED_NOREPLACE and has put the 32-bit C library inside that
#    space, so some 30,000 pieces fail, each after qemu searched its whole
#    4 GiB map: a minute for each process started. With the guest's address
#    space cut to 2 GiB and 16 MiB (-R), a start takes seconds.
#  - qemu keeps one GDT for all threads, and Wine reloads %gs and %fs, whose
#    per-thread slots are there, at every system call and signal: its threads
#    soon run on each other's data. wine32-emulated.c, built here with clang
#    and preloaded into the 32-bit loader, moves them to per-thread LDT
#    entries.
set -euo pipefail
: "${WINEPREFIX:?WINEPREFIX names the prefix}"
for tool in qemu-i386-static clang; do
  if ! command -v "$tool" > /dev/null; then
    echo "wine32-emulated.sh: $tool is missing (tools/install-deps.sh installs it)" >&2
    exit 127
  fi
done

# The loaders' directory, made again when Wine or the preloaded library
# changed; one maker at a time.
tools="$(cd "$(dirname "$0")" && pwd)"
base="$(dirname "$tools")/build/wine32-emulated"
current() {
  cmp -s /usr/lib/wine/wine "$base/lib/wine/wine" && cmp -s /usr/lib/wine/wine64 "$base/lib/wine/wine64" &&
    [ "$base/lib/wine32-emulated.so" -nt "$tools/wine32-emulated.c" ]
}
if ! current; then
  mkdir -p "$(dirname "$base")"
  exec 9> "$base.lock"
  flock 9
  if ! current; then
    rm -rf "$base"
    mkdir -p "$base/lib/wine" "$base/share"
    clang -target i386-linux-gnu -O2 -fPIC -shared -nostdlib -o "$base/lib/wine32-emulated.so" \
      "$tools/wine32-emulated.c" /lib/i386-linux-gnu/libc.so.6
    cp /usr/lib/wine/wine /usr/lib/wine/wine64 "$base/lib/wine/"
    ln -s /usr/lib/i386-linux-gnu "$base/lib/i386-linux-gnu"      # ntdll.so, found from the loader
    ln -s /usr/lib/x86_64-linux-gnu "$base/lib/x86_64-linux-gnu"
    ln -s /usr/share/wine "$base/share/wine"                      # wine.inf, nls, fonts
    ln -s /usr/lib/wine/wineserver "$base/lib/wine/wineserver"
    printf '#!/bin/sh\nLD_PRELOAD="%s/lib/wine32-emulated.so" exec qemu-i386-static -R 0x81000000 -0 wine-qemu "%s/lib/wine/wine" "$@"\n' \
      "$base" "$base" > "$base/lib/wine/wine-qemu"
    printf '#!/bin/bash\nexec -a wine-qemu64 "%s/lib/wine/wine64" "$@"\n' "$base" > "$base/lib/wine/wine-qemu64"
    chmod 755 "$base/lib/wine/wine-qemu" "$base/lib/wine/wine-qemu64"
  fi
  exec 9>&-
fi
export WINELOADERNOEXEC=1
if [ "${1:-}" = --64 ]; then
  shift
  exec "$base/lib/wine/wine-qemu64" "$@"
fi
exec "$base/lib/wine/wine-qemu" "$@"
