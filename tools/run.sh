#!/usr/bin/env bash
# Builds Pagerift the first time (and whenever the sources changed), then
# starts it under wine on your display. The pages of a job land in the folder
# you start it from.
#   tools/run.sh          run on $DISPLAY
#   tools/run.sh --demo   no display needed: a scripted drop on a virtual one
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
WORKDIR=$PWD

if [ "${1:-}" = --demo ]; then exec "$ROOT/tools/demo.sh"; fi

"$ROOT/tools/build.sh" win >/dev/null

if [ -z "${DISPLAY:-}" ]; then
  echo "run: there is no display here (DISPLAY is not set), so the window cannot be shown."
  echo "run: the headless demo takes a virtual display, drops a sample PDF onto the window,"
  echo "     waits for \"Done\" and tells you where the pages and a screenshot are:"
  echo "       tools/run.sh --demo"
  if [ -t 0 ]; then
    read -r -p "Run the demo now? [Y/n] " answer
    case "${answer:-y}" in [Yy]*) exec "$ROOT/tools/demo.sh" ;; esac
  fi
  exit 0
fi

export WINEPREFIX=${PAGERIFT_WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/pagerift/wine}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "run: preparing a wine prefix in $WINEPREFIX (once)"
  mkdir -p "$WINEPREFIX"
  wineboot -i </dev/null >/dev/null 2>&1
fi
cd "$WORKDIR"
echo "run: starting Pagerift; pages will be written to $WORKDIR"
exec wine "$ROOT/build/win/Pagerift/Pagerift.exe" </dev/null
