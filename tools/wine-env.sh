#!/usr/bin/env bash
# Runs a command with a private virtual display and a throwaway wine prefix,
# and takes both down afterwards, whatever the command did.
#   tools/wine-env.sh COMMAND [ARGS...]
# The command sees DISPLAY, WINEPREFIX, WINEDEBUG and WINEDLLOVERRIDES.
set -uo pipefail

TMP=$(mktemp -d)
# Xvfb picks a free display number itself and writes it down, so two runs on
# one machine never end up on the same display.
Xvfb -displayfd 4 -noreset -screen 0 1024x768x24 -nolisten tcp 4>"$TMP/display" </dev/null >/dev/null 2>&1 &
XVFB_PID=$!
for _ in $(seq 1 300); do [ -s "$TMP/display" ] && break; sleep 0.1; done
N=$(head -n 1 "$TMP/display")
[ -n "$N" ] || { echo "wine-env: Xvfb did not start" >&2; kill "$XVFB_PID"; rm -rf "$TMP"; exit 1; }
export DISPLAY=":$N"
for _ in $(seq 1 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
# No window manager here: this keeps the one property Wine would otherwise
# wait two seconds for whenever a dialog closes.
/usr/bin/python3 "$(dirname "$0")/../tests/e2e/wm_state.py" </dev/null >"$TMP/wm_state.log" 2>&1 &
WM_STATE_PID=$!
for _ in $(seq 1 100); do grep -qs ready "$TMP/wm_state.log" && break; sleep 0.1; done

export WINEPREFIX="$TMP/pfx" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
# What the tests see must not depend on the machine: the fonts (see the file's own comment) and the
# locale, from which Wine takes its ANSI code page (1252 here).
export FONTCONFIG_FILE="$(cd "$(dirname "$0")" && pwd)/wine-fonts/fonts.conf" LC_ALL=C.UTF-8 LANG=C.UTF-8
unset LANGUAGE

cleanup() {
  wineserver -k </dev/null >/dev/null 2>&1
  kill "$WM_STATE_PID" 2>/dev/null
  kill "$XVFB_PID" 2>/dev/null
  wait "$XVFB_PID" 2>/dev/null
  rm -rf "$TMP"
}
trap cleanup EXIT

# Wine's services keep the stdio of whoever starts them: start them here,
# detached, so no test runner's pipe is held open. And keep them up: about a
# second after the last program of the prefix ends, the server winds its
# services down (and a server wineboot started exits three seconds later).
# A test that started then met a prefix half shut down, where OLE cannot
# start RpcSs (10 s stalls), or a cold one whose services took the test
# runner's pipe as their stdio. So the server is the persistent one from the
# start, and one idle program, a cmd reading a pipe nobody writes to, lives
# as long as the command; the server's -k at the end takes it down.
mkdir -p "$WINEPREFIX"
wineserver -p </dev/null >/dev/null 2>&1
wineboot -i </dev/null >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
mkfifo "$TMP/idle"
exec 3<>"$TMP/idle"
wine cmd <&3 >/dev/null 2>&1 3>&- &
wine cmd /c exit </dev/null >/dev/null 2>&1

"$@" 3>&-
