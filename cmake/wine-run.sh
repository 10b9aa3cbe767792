#!/usr/bin/env bash
# Runs a Windows program under Wine, headless, in a throw-away prefix.
#   wine-run.sh PROGRAM.exe [ARGUMENTS...]
# The prefix is $WINEPREFIX when set, else "wineprefix" in the build folder above the
# program; it is created on first use. When Wine is missing or cannot start, this says
# so and fails: the Windows tests never pass without running.
set -u
program=$1
shift

if [ -z "${WINEPREFIX:-}" ]; then
  dir=$(cd "$(dirname "$program")" && pwd)
  while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    echo "wine-run: no build folder above $program" >&2
    exit 1
  fi
  export WINEPREFIX="$dir/wineprefix"
fi
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko download prompts, no windows: nothing here needs them.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
unset DISPLAY WAYLAND_DISPLAY
# Programs with windows run on the virtual display they are given.
if [ -n "${VELMORA_WINE_DISPLAY:-}" ]; then
  export DISPLAY=$VELMORA_WINE_DISPLAY
fi

loud() {
  echo "********************************************************************" >&2
  echo "*** WINE CANNOT RUN THE WINDOWS TESTS: $*" >&2
  echo "*** These tests FAIL; install Debian's wine and wine64 packages." >&2
  echo "********************************************************************" >&2
  exit 1
}

command -v wine >/dev/null 2>&1 || loud "the wine command is missing"

# One boot per prefix, even when CTest starts several programs at once.
exec 9>"$WINEPREFIX.lock" || loud "cannot lock $WINEPREFIX.lock"
flock 9
if [ ! -f "$WINEPREFIX/.booted" ]; then
  wineboot -i >"$WINEPREFIX.boot.log" 2>&1
  # wineboot can return while the programs it started still install the prefix (the
  # system folder's programs such as attrib.exe among them): wait until every process of
  # this prefix has ended, or the first tests may find the prefix half made.
  wineserver -w >>"$WINEPREFIX.boot.log" 2>&1 || true
  # Wine must run a program of its own before the tests count on it.
  answer=$(wine cmd.exe /c echo wine-ok 2>>"$WINEPREFIX.boot.log" | tr -d '\r')
  if [ "$answer" != wine-ok ]; then
    cat "$WINEPREFIX.boot.log" >&2
    loud "Wine could not start in the prefix $WINEPREFIX"
  fi
  touch "$WINEPREFIX/.booted"
fi
flock -u 9
exec 9>&-

# Wine binds its desktop to the display of the first program a wineserver runs: a
# program with windows starts a wineserver of its own on its display.
if [ -n "${VELMORA_WINE_DISPLAY:-}" ]; then
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
fi
exec wine "$program" "$@"
