#!/usr/bin/env bash
# The splitter on input built to exhaust it (tools/hostile_pdfs.py): for each case the exit code,
# CPU and wall time, peak memory and what was left in the folder. Not a test: it prints figures for
# docs/fuzzing.md. Every case must end with 0, 3 or 6, and leave no page or temporary file when it
# fails.
#   tools/bench-hostile.sh [build-dir]      (default: build/host)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${1:-$ROOT/build/host}" && pwd)
BURST=$BUILD/splitter/pagerift-burst
WORK=$BUILD/bench-hostile
[ -x "$BURST" ] || { echo "no $BURST; build the host configuration first" >&2; exit 1; }
rm -rf "$WORK" && mkdir -p "$WORK/in"
python3 "$ROOT/tools/hostile_pdfs.py" "$WORK/in"
printf '%-36s %5s %8s %8s %8s %s\n' case exit "CPU s" "wall s" "peak MB" "left behind"
bad=0
for pdf in "$WORK"/in/*.pdf; do
  name=$(basename "$pdf" .pdf)
  out=$WORK/out/$name
  mkdir -p "$out"
  code=0
  (cd "$out" && /usr/bin/time -f "%U %S %e %M" -o "$WORK/time" timeout 600 "$BURST" "$pdf" burst \
    >/dev/null 2>"$WORK/err") || code=$?
  read -r user sys wall kb < <(tail -n 1 "$WORK/time")
  files=$(find "$out" -type f | wc -l)
  temps=$(find "$out" -name '~burst-*' | wc -l)
  left="$files page files"
  [ "$temps" -eq 0 ] || left+=", $temps temporary"
  printf '%-36s %5s %8s %8s %8s %s\n' "$name" "$code" "$(printf '%.2f' "$(echo "$user + $sys" | bc)")" "$wall" \
    "$((kb / 1024))" "$left"
  case $code in
    0) [ "$temps" -eq 0 ] || bad=1 ;;
    3 | 6) [ "$files" -eq 0 ] || bad=1 ;;
    *) bad=1 ;;
  esac
  [ "$code" -eq 0 ] || echo "    $(head -c 300 "$WORK/err")"
  rm -rf "$out"
done
[ $bad -eq 0 ] && echo "every case ended cleanly" || { echo "a case did not end cleanly"; exit 1; }
