#!/usr/bin/env bash
# Builds Zentrada and runs every test: on Linux a plain debug build, with
# the monitoring test (alert rules, dashboard, the status file served by the
# node exporter); a release build that fails on any warning (its suites
# without the chaos soak, which the debug build ran), whose Debian package is
# then installed, run and removed; the builds under AddressSanitizer with
# UndefinedBehaviorSanitizer and under ThreadSanitizer; then the 32- and
# 64-bit Windows builds, their suites run under Wine, the 32-bit console host
# end to end against the Linux one, the control panel driven in a virtual
# display, the installer, and the Windows Installer packages of both builds.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh

# Some machines' kernels run no 32-bit programs, so no 32-bit Wine: there the
# 32-bit build is still built, the Wine runs use the 64-bit build, and the
# 32-bit end-to-end run goes under emulation. ZENTRADA_WINE32_EMULATED=1
# does the same where 32-bit programs run.
wine_build=win32
if [ "${ZENTRADA_WINE32_EMULATED:-0}" = 1 ] || ! /lib/ld-linux.so.2 --version > /dev/null 2>&1; then
  wine_build=win64
  echo "== 32-bit programs run here only emulated: Wine runs use win64; the 32-bit end to end runs under qemu"
  # Debian's wine starts its 32-bit loader whenever it is installed: 64-bit
  # programs are sent to the 64-bit loader directly.
  shim="$PWD/build/wine64-only"
  mkdir -p "$shim"
  for name in wine wine-stable; do
    printf '#!/bin/sh\nexport WINELOADER=/usr/lib/wine/wine64\nexec /usr/lib/wine/wine64 "$@"\n' > "$shim/$name"
    chmod +x "$shim/$name"
  done
  export PATH="$shim:$PATH"
fi

for preset in default release asan tsan win32 win64; do
  echo "== $preset"
  cmake --preset "$preset"
  cmake --build --preset "$preset" --parallel 2
  if [ "$preset" = win32 ] && [ "$wine_build" != win32 ]; then
    continue
  fi
  options=()
  case "$preset" in
    release) options=(-LE soak) ;;
    # Under Wine a test may lose its connection to the Wine server ("wine
    # client error"), through no fault of its own: such a test runs once
    # more; a real fault fails both times.
    win*) options=(--repeat until-pass:2) ;;
  esac
  ctest --preset "$preset" --parallel 2 "${options[@]}"
  if [ "$preset" = default ]; then
    echo "== monitoring"
    timeout 300 tools/monitoring-test.sh build/default
  fi
  if [ "$preset" = release ]; then
    echo "== Debian package"
    timeout 300 tools/package-test.sh build/release
  fi
done
echo "== end to end under Wine"
timeout 300 tools/windows-e2e.sh "$wine_build"
echo "== control panel under Wine"
timeout 900 tools/gui-test.sh "$wine_build"
echo "== installer under Wine"
started=$SECONDS
if [ "$wine_build" = win32 ]; then
  timeout 600 tools/installer-test.sh win32
else
  # The installer itself is a 32-bit program, whichever build it carries.
  ZENTRADA_WINE32_EMULATED=1 timeout 900 tools/installer-test.sh win32
fi
echo "installer: $((SECONDS - started)) s"
if [ "$wine_build" != win32 ]; then
  echo "== 32-bit end to end under emulation (qemu-i386)"
  started=$SECONDS
  ZENTRADA_WINE="$PWD/tools/wine32-emulated.sh" timeout 600 tools/windows-e2e.sh win32
  echo "emulated 32-bit end to end: $((SECONDS - started)) s"
fi
echo "== Windows Installer packages under Wine"
for preset in win32 win64; do
  started=$SECONDS
  if [ "$preset" = win32 ] && [ "$wine_build" != win32 ]; then
    # Its custom action, console host and service are 32-bit programs.
    ZENTRADA_WINE32_EMULATED=1 timeout 900 tools/msi-test.sh "$preset"
  else
    timeout 300 tools/msi-test.sh "$preset"
  fi
  echo "$preset package: $((SECONDS - started)) s"
done
echo "== fuzzing"
timeout 1800 tools/fuzz.sh
