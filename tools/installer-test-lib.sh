# shellcheck shell=bash disable=SC2154,SC2034
# What the installer tests under Wine share, sourced by tools/installer-test.sh
# and tools/msi-test.sh with their arguments once they set $root: the preset
# (win32, the default, or win64) and its build directory, reporting and
# checks, a Wine prefix made afresh, and where a program of the build
# installs. The caller's trap ends a console host it
# left running ($host_pid) and the prefix's server.

preset="${1:-win32}"
case "$preset" in
  win32 | win64) ;;
  *) echo "usage: $0 [win32|win64]" >&2; exit 2 ;;
esac
build="$root/build/$preset"

# Where the kernel runs no 32-bit programs (ZENTRADA_WINE32_EMULATED=1), the
# 32-bit programs of a test (an NSIS setup, a package's custom actions, the
# console host, the service) run under emulation: every Wine program the
# test starts goes to the 64-bit loader of the emulated pair, whose 32-bit
# children then go to qemu (tools/wine32-emulated.sh).
if [ "${ZENTRADA_WINE32_EMULATED:-0}" = 1 ]; then
  shim="$build/wine32-emulated-shim"
  mkdir -p "$shim"
  printf '#!/bin/sh\nexec "%s/tools/wine32-emulated.sh" --64 "$@"\n' "$root" > "$shim/wine"
  printf '#!/bin/sh\nexec wine winepath.exe "$@"\n' > "$shim/winepath"
  chmod 755 "$shim/wine" "$shim/winepath"
  export PATH="$shim:$PATH"
fi

# build_target TARGET: the preset configured if it is not, TARGET built, and
# $version the project's.
build_target() {
  [ -e "$build/CMakeCache.txt" ] || cmake --preset "$preset" > /dev/null
  cmake --build --preset "$preset" --parallel 2 --target "$1"
  version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
}

fail() {
  echo "!! FAILED: $*" >&2
  exit 1
}
ok() { echo "ok: $*"; }

expect_file() {  # file [the file it must equal]
  [ -f "$1" ] || fail "missing: $1"
  if [ $# -gt 1 ]; then cmp -s "$1" "$2" || fail "$1 is not $2"; fi
  ok "file ${1#"$WINEPREFIX"/}${2:+ (= ${2#"$root"/})}"
}
expect_dir() {
  [ -d "$1" ] || fail "missing directory: $1"
  ok "directory ${1#"$WINEPREFIX"/}"
}
expect_gone() {
  [ ! -e "$1" ] || fail "still there: $1"
  ok "gone: ${1#"$WINEPREFIX"/}"
}
expect_status() {  # expected, actual, what
  [ "$2" = "$1" ] || fail "$3: exit status $2, expected $1"
  ok "$3: exit status $2"
}

host_pid=""
cleanup() {
  if [ -n "$host_pid" ]; then
    kill -KILL "$host_pid" 2> /dev/null || true
    wait "$host_pid" 2> /dev/null || true
  fi
  timeout 30 wineserver -k < /dev/null > /dev/null 2>&1 || true
}
trap cleanup EXIT
# Started away from the script's output: a server started by wine itself
# would hold the caller's pipes open.
start_server() { wineserver -p30 < /dev/null > /dev/null 2>&1 || true; }

# fresh_prefix NAME: the prefix build/<preset>/NAME, made afresh, a 64-bit
# one as Debian's Wine makes. No menu entries on the host.
fresh_prefix() {
  export WINEPREFIX="$build/$1" WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
  if [ -d "$WINEPREFIX" ]; then
    timeout 30 wineserver -k < /dev/null > /dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
  fi
  mkdir -p "$WINEPREFIX"
  start_server
  timeout 120 wine wineboot --init < /dev/null > /dev/null 2>&1 || fail "wineboot could not make the prefix"
  [ -d "$WINEPREFIX/drive_c/windows/syswow64" ] || fail "the prefix is not a 64-bit one"
}

# The output of a cmd command, without carriage returns.
wine_text() { timeout 30 wine cmd /c "$@" < /dev/null 2> /dev/null | tr -d '\r'; }

# The Program Files directory of the build's bitness, as Windows names it:
# a 32-bit program on 64-bit Windows goes to the 32-bit one. (cmd may be
# the 32-bit one, whose %ProgramFiles% is the 32-bit directory.)
program_files() {
  local directory
  if [ "$preset" = win32 ]; then
    directory="$(wine_text 'echo %ProgramFiles(x86)%')"
  else
    directory="$(wine_text 'echo %ProgramW6432%')"
  fi
  case "$directory" in "" | *%*) fail "could not read the Program Files directory" ;; esac
  echo "$directory"
}

# A Windows path of drive C: as a path of the host, under drive_c.
unix_path() {
  local path
  path="$(winepath -u "$1" 2> /dev/null)"
  path="${path%/}"
  echo "${path/#"$WINEPREFIX/dosdevices/c:/"/"$WINEPREFIX/drive_c/"}"
}

# Where the Start menu entries for all users land.
start_menu() { echo "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"; }

# The registry as Wine stores it, in system.reg: the server writes it out
# when it ends, and reads it when it starts again.
stop_server() {
  timeout 30 wineserver -k < /dev/null > /dev/null 2>&1 || true
  timeout 30 wineserver -w < /dev/null > /dev/null 2>&1 || true
}
flush_registry() {
  stop_server
  start_server
}
# A REG_SZ without its terminating NUL as system.reg stores it: the UTF-16
# bytes as hex(1). The agent writes its texts so.
reg_sz_without_nul() {
  printf 'hex(1):%s' "$(printf '%s' "$1" | iconv -f UTF-8 -t UTF-16LE | od -An -tx1 -v | tr -s ' \n' ',' |
    sed 's/^,//; s/,$//')"
}
