#!/bin/sh
# wine-run.sh [--win32] PREFIX PROGRAM [ARGS...]
#
# Runs a Windows program under Wine in the private prefix PREFIX, which is
# created on first use: 64-bit Windows (running 32-bit programs under WoW64
# where Wine's 32-bit half is installed), or 32-bit Windows with --win32. It
# is the cross-compiling emulator, so CTest's test discovery and the tests
# themselves never touch the user's own ~/.wine.
#   wine-run.sh PREFIX --boot   create the prefix if needed and keep a
#                               wineserver running for it
#   wine-run.sh PREFIX --stop   stop that wineserver and every Wine process
set -e
WINEARCH=win64
if [ "$1" = --win32 ]; then
    WINEARCH=win32
    shift
fi
prefix=$1
shift
[ -n "$prefix" ] || { echo "wine-run.sh: no prefix given" >&2; exit 2; }

WINEPREFIX=$prefix
WINEDEBUG=${SETUP_WINEDEBUG:--all}
# No Mono or Gecko: nothing here needs them, and Wine would offer to fetch
# them. No winedbg: a crashing program must end with a failure status, not
# be caught by the debugger and reported as ending with 0.
WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
export WINEPREFIX WINEARCH WINEDEBUG WINEDLLOVERRIDES
unset DISPLAY WAYLAND_DISPLAY

boot() {
    mkdir -p "$(dirname "$prefix")"
    # Parallel first starts of one prefix race; the lock makes them queue.
    flock "$prefix.lock" sh -c '
        [ -f "$WINEPREFIX/system.reg" ] && exit 0
        wineboot -i </dev/null >/dev/null 2>&1
        wineserver -w'
}

case "$1" in
--boot)
    # A server kept by a run that was killed before its stop would make the
    # wait below last forever; nothing of this prefix runs before its boot.
    wineserver -k 2>/dev/null || true
    boot
    wineserver -w
    wineserver -p </dev/null >/dev/null 2>&1
    exit 0 ;;
--stop)
    [ -d "$prefix" ] || exit 0
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    exit 0 ;;
esac

boot
# Wine's system processes (services.exe and the like), started on demand by
# the first program, outlive it and inherit its output. Handing the program
# files instead of our own output keeps CTest from waiting for them.
out=$(mktemp)
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
# Programs started from Windows inherit this file as their standard error,
# and with it Wine's debug output: tests that trace a child read it here.
SETUP_WINE_STDERR=$err
export SETUP_WINE_STDERR
status=0
wine "$@" <&0 >"$out" 2>"$err" || status=$?
cat "$out"
cat "$err" >&2
exit $status
