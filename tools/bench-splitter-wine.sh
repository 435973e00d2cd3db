#!/usr/bin/env bash
# The splitter under Wine against what the file system alone costs there: data\pdftk.exe bursts a
# document, and a bare loop (tools/bare_burst.c, built here with MinGW) writes files of the same
# sizes the way the splitter does: each created under a temporary name with one WriteFile, then
# renamed into place. Both run in turns under one Wine prefix; the figure is the ratio of their
# wall time per page, best of N each. Not a test: it prints figures and goals.
#
#   tools/bench-splitter-wine.sh STAGE WORK DOC...   (STAGE holds data/pdftk.exe; run by bench-splitter.sh)
#   BENCH_RUNS=3, BENCH_STRACE=1 also counts the splitter's system calls per page (strace -c -f).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
STAGE=$(cd "$1" && pwd) WORK=$(cd "$2" && pwd)
shift 2
RUNS=${BENCH_RUNS:-3}
GOAL=2.5

if [ -z "${WINEPREFIX:-}" ]; then
  exec "$ROOT/tools/wine-env.sh" "$0" "$STAGE" "$WORK" "$@"
fi

# The server that wineboot started goes away a moment after its last process, and every run would
# then pay for a new one; in this private prefix, one server stays for all runs.
wineserver -k </dev/null >/dev/null 2>&1 || true
wineserver -p </dev/null >/dev/null 2>&1
wine cmd /c exit </dev/null >/dev/null 2>&1

PDFTK=$STAGE/data/pdftk.exe
BARE=$WORK/bare_burst.exe
x86_64-w64-mingw32-gcc-posix -O2 -Wall -Wextra -municode -static -o "$BARE" "$ROOT/tools/bare_burst.c"
winpath() { echo "Z:$(realpath "$1" | tr / '\\')"; }

# Wall seconds of one command in folder $1, which is emptied first.
wall() {
  local dir=$1 start end
  shift
  rm -rf "$dir" && mkdir -p "$dir"
  start=$EPOCHREALTIME
  (cd "$dir" && "$@" </dev/null >/dev/null 2>"$WORK/wine-err") || { cat "$WORK/wine-err" >&2; return 1; }
  end=$EPOCHREALTIME
  echo "$end - $start" | bc -l
}
min() { [ -z "$1" ] || [ "$(echo "$2 < $1" | bc -l)" = 1 ] && echo "$2" || echo "$1"; }

printf '%-28s %6s %9s %9s %9s %7s %s\n' document pages "burst ms" "bare ms" "per page" ratio goal
for doc in "$@"; do
  pages=$(qpdf --show-npages "$doc")
  src=$WORK/wine-src.pdf
  cp "$doc" "$src"
  # The loop writes the sizes of the splitter's own page files.
  wall "$WORK/wine-out" wine "$PDFTK" "$(winpath "$src")" burst >/dev/null
  find "$WORK/wine-out" -name '*.pdf' -printf '%s\n' >"$WORK/sizes.txt"
  [ "$(wc -l <"$WORK/sizes.txt")" = "$pages" ] || { echo "pdftk.exe wrote the wrong number of files" >&2; exit 1; }
  best_burst="" best_bare=""
  for _ in $(seq 1 "$RUNS"); do
    best_burst=$(min "$best_burst" "$(wall "$WORK/wine-out" wine "$PDFTK" "$(winpath "$src")" burst)")
    mkdir -p "$WORK/wine-bare"
    best_bare=$(min "$best_bare" "$(wall "$WORK/wine-bare" wine "$BARE" "$(winpath "$WORK/sizes.txt")" \
      "$(winpath "$WORK/wine-bare")")")
  done
  ratio=$(echo "scale=2; $best_burst / $best_bare" | bc -l | sed 's/^\./0./')
  verdict=$([ "$(echo "$ratio <= $GOAL" | bc -l)" = 1 ] && echo ok || echo MISSED)
  printf '%-28.28s %6d %9.0f %9.0f %9.2f %7s <= %s %s\n' "$(basename "$doc")" "$pages" "$(echo "$best_burst * 1000" | bc -l)" \
    "$(echo "$best_bare * 1000" | bc -l)" "$(echo "$best_burst * 1000 / $pages" | bc -l)" "$ratio" "$GOAL" "$verdict"
  if [ -n "${BENCH_STRACE:-}" ]; then
    rm -rf "$WORK/wine-out" && mkdir -p "$WORK/wine-out"
    (cd "$WORK/wine-out" && strace -c -f -o "$WORK/strace.txt" wine "$PDFTK" "$(winpath "$src")" burst </dev/null >/dev/null 2>&1)
    echo "  system calls per page of pdftk.exe under wine (strace -c -f):"
    awk -v pages="$pages" '$NF ~ /^(mmap|munmap|mprotect|newfstatat|getdents64|rt_sigprocmask|openat|write|read)$/ {
      calls = $4; printf "    %-16s %8d  %7.1f\n", $NF, calls, calls / pages }' "$WORK/strace.txt"
  fi
  rm -rf "$WORK/wine-out" "$WORK/wine-bare" "$src"
done
echo "(wall time per page, best of $RUNS each, taking turns; burst = data\\pdftk.exe, bare = create, one WriteFile, rename)"
