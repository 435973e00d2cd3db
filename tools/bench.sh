#!/usr/bin/env bash
# Runs every benchmark in one go on this machine and writes docs/BENCHMARKS.md:
# the splitter against qpdf and pdftk, Pagerift's CPU while it waits, the
# completion latency, and the start-up time against a bare Win32 window.
# Not a test: the figures are ratios measured in the same run, each beside its goal.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
OUT=${1:-$ROOT/docs/BENCHMARKS.md}

"$ROOT/tools/build.sh" >/dev/null
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT

echo "bench: the splitter against qpdf --split-pages and pdftk burst"
"$ROOT/tools/bench-splitter.sh" "$ROOT/build/host" | tee "$TMP/splitter.txt"
echo "bench: Pagerift running a 4000-page job under wine"
/usr/bin/python3 "$ROOT/tools/bench-app.py" | tee "$TMP/app.txt"
echo "bench: start-up to window shown"
/usr/bin/python3 "$ROOT/tools/bench_startup.py" | tee "$TMP/startup.txt"

{
  echo "# Benchmarks"
  echo
  echo "Written by \`tools/bench.sh\` on $(date -u +%Y-%m-%d) on a $(nproc)-core machine"
  echo "($(uname -sr), $(wine --version 2>/dev/null)). Every figure is a ratio of two things measured in"
  echo "the same run on the same machine, shown beside its goal; absolute times vary with the machine's load."
  echo "How faithful the page files of real documents are: [fidelity.md](fidelity.md) (\`tools/fidelity.py\`)."
  echo
  echo "## The splitter against qpdf and pdftk"
  echo
  echo '```'
  cat "$TMP/splitter.txt"
  echo '```'
  echo
  echo "## Pagerift during a job: CPU while waiting, completion latency"
  echo
  echo '```'
  cat "$TMP/app.txt"
  echo '```'
  echo
  echo "## Start-up"
  echo
  cat "$TMP/startup.txt"
} >"$OUT"
echo "bench: wrote $OUT"
