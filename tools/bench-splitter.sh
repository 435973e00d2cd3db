#!/usr/bin/env bash
# Benchmarks the splitter. On the host (pagerift-burst) against `qpdf --split-pages` and
# `pdftk <f> burst`: CPU seconds (user+sys), peak memory and total bytes written, each tool in its
# own empty folder. Under Wine (data\pdftk.exe) against a bare create-write-rename loop, as a ratio
# of wall time per page (tools/bench-splitter-wine.sh). Two documents: a generated one of 700+ pages
# and a real-world one of over 1,000 pages. Not a test: it prints figures and goals.
#
#   tools/bench-splitter.sh [build-dir]      (default: build/host)
#   BENCH_RUNS=3 (best of N), BENCH_DOC=/path/to/other.pdf to measure another file instead,
#   BENCH_BASELINE=/path/to/another/pagerift-burst to hold the CPU against it in the same run,
#   PAGERIFT_STAGE (default build/win/Pagerift) for the Wine part; BENCH_STRACE=1 counts its calls.
#   BENCH_SAMPLE=folder: also every PDF under it, each tool's median CPU per file summed over all
#   (BENCH_SAMPLE_RUNS=5), and with BENCH_BASELINE each file of 100 pages or more held against it.
#   BENCH_TAGGED=1: also a tagged manual of 1,000 pages and 100,000 structure elements with
#   outlines (tools/tagged_pdf.py), and the same pages untagged, to tell what the tree costs.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${1:-$ROOT/build/host}" && pwd)
BURST=$BUILD/splitter/pagerift-burst
RUNS=${BENCH_RUNS:-3}
WORK=$BUILD/bench
STAGE=${PAGERIFT_STAGE:-$ROOT/build/win/Pagerift}
BASELINE=${BENCH_BASELINE:-}
CORPUS=${PAGERIFT_QPDF_CORPUS:-$(ls -d "${XDG_CACHE_HOME:-$HOME/.cache}"/pagerift-deps/src/qpdf-*/qpdf/qtest/qpdf 2>/dev/null | tail -n 1)}
[ -x "$BURST" ] || { echo "no $BURST; build the host configuration first" >&2; exit 1; }
for tool in qpdf pdftk gs groff convert bc /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing tool: $tool" >&2; exit 1; }
done
mkdir -p "$WORK"

# The document: manual pages typeset by groff and ghostscript (text, shared fonts), scanned-like
# pages with one JPEG each, and form, annotation and image files from qpdf's test corpus.
make_doc() {
  local gen=$WORK/gen parts=()
  rm -rf "$gen" && mkdir -p "$gen"
  for m in bash git-config curl gpg tmux ld.bfd valgrind wget git-log top jq as zip systemctl; do
    local man
    man=$(ls /usr/share/man/man1/"$m".1* 2>/dev/null | head -n 1) || true
    [ -n "$man" ] || continue
    zcat -f "$man" | groff -man -Tps 2>/dev/null | gs -q -sDEVICE=pdfwrite -o "$gen/man-$m.pdf" - && parts+=("$gen/man-$m.pdf")
  done
  local show=""
  for i in $(seq 1 40); do
    convert -size 600x820 -seed "$i" plasma:fractal -quality 75 "$gen/scan$i.jpg"
    show+="(scan$i.jpg) viewJPEG showpage "
  done
  # Names relative to the folder: ghostscript limits the length of one command.
  (cd "$gen" && gs -q -dNOSAFER -sDEVICE=pdfwrite -o scans.pdf "$(ls /usr/share/ghostscript/*/lib/viewjpeg.ps | head -n 1)" -c "$show")
  parts+=("$gen/scans.pdf")
  if [ -d "$CORPUS" ]; then
    for f in overlay-copy-annotations.pdf deterministic-id-in.pdf fax-decode-parms.pdf image-streams.pdf \
             form-filled-by-acrobat-out.pdf lin5.pdf merge-implicit-ranges.pdf; do
      [ -f "$CORPUS/$f" ] && parts+=("$CORPUS/$f")
    done
  fi
  # The first part is the primary input, so the document keeps its information dictionary.
  qpdf "${parts[0]}" --pages "${parts[@]}" -- "$WORK/bench.pdf"
  rm -rf "$gen"
}

# A real-world document: the PDF manuals under /usr/share/doc (TeX, groff and DocBook output with
# embedded fonts), joined, and joined again until there are over 1,000 pages.
make_real_doc() {
  local gen=$WORK/real parts=() total=0 n f out
  rm -rf "$gen" && mkdir -p "$gen"
  while IFS= read -r f; do
    out=$gen/$(echo "${f#/usr/share/doc/}" | tr / _)
    out=${out%.gz}
    zcat -f "$f" >"$out"
    n=$(qpdf --show-npages "$out" 2>/dev/null || true)  # 3: readable, with warnings
    if [[ "$n" =~ ^[0-9]+$ ]] && [ "$n" -gt 0 ]; then parts+=("$out"); total=$((total + n)); fi
  done < <(find /usr/share/doc \( -name '*.pdf' -o -name '*.pdf.gz' \) | sort)
  [ "$total" -gt 0 ] || return 1
  local all=()
  for _ in $(seq 1 $((1000 / total + 1))); do all+=("${parts[@]}"); done
  qpdf --empty --pages "${all[@]}" -- "$WORK/real.pdf" 2>/dev/null || [ $? = 3 ]
  echo "real-world document: ${#parts[@]} manuals from /usr/share/doc, $total pages, joined $((1000 / total + 1)) times"
  rm -rf "$gen"
}

if [ -n "${BENCH_DOC:-}" ]; then
  DOCS=("$BENCH_DOC")
else
  [ -f "$WORK/bench.pdf" ] || make_doc
  [ -f "$WORK/real.pdf" ] || make_real_doc || echo "note: no PDFs under /usr/share/doc, no real-world document"
  DOCS=("$WORK/bench.pdf")
  [ -f "$WORK/real.pdf" ] && DOCS+=("$WORK/real.pdf")
fi
if [ -n "${BENCH_TAGGED:-}" ]; then
  [ -f "$WORK/tagged.pdf" ] || python3 "$ROOT/tools/tagged_pdf.py" "$WORK/tagged.pdf"
  [ -f "$WORK/untagged.pdf" ] || python3 "$ROOT/tools/tagged_pdf.py" "$WORK/untagged.pdf" 1000 100 --untagged
  DOCS+=("$WORK/tagged.pdf" "$WORK/untagged.pdf")
fi

TOOLS=(burst qpdf pdftk)
[ -z "$BASELINE" ] || TOOLS+=(baseline)
ratio() { echo "scale=3; $1 / $2" | bc -l | sed 's/^\./0./'; }
verdict() { [ "$(echo "$1 <= $2" | bc -l)" = 1 ] && echo ok || echo MISSED; }
line() { local r; r=$(ratio "$2" "$3"); printf '%-28s %8s %10s %s\n' "$1" "$r" "<= $4" "$(verdict "$r" "$4")"; }

# One run of one tool in an empty folder; keeps the run with the least CPU (user+sys) per tool.
run() {
  local name=$1; shift
  local dir=$WORK/out-$name user sys rss cpu
  rm -rf "$dir" && mkdir -p "$dir"
  (cd "$dir" && /usr/bin/time -f '%U %S %M' -o "$WORK/time-$name" "$@" >/dev/null 2>"$WORK/err-$name") ||
    { echo "$name failed:" >&2; cat "$WORK/err-$name" >&2; exit 1; }
  read -r user sys rss <"$WORK/time-$name"
  cpu=$(echo "$user + $sys" | bc -l)
  if [ -z "${CPU[$name]:-}" ] || [ "$(echo "$cpu < ${CPU[$name]}" | bc -l)" = 1 ]; then
    CPU[$name]=$cpu; USR[$name]=$user; SYS[$name]=$sys; MEM[$name]=$rss
  fi
  FILES[$name]=$(find "$dir" -name '*.pdf' | wc -l)
  BYTES[$name]=$(find "$dir" -name '*.pdf' -printf '%s\n' | awk '{s += $1} END {print s + 0}')
  rm -rf "$dir"
}

# The tools on one document, taking turns, so a busy moment of the machine or the file system hits
# all alike.
measure() {
  local doc=$1 pages t
  pages=$(qpdf --show-npages "$doc")
  echo
  echo "document: $doc, $pages pages, $(stat -c %s "$doc") bytes"
  [ "$pages" -ge 700 ] || echo "note: fewer than 700 pages"
  CPU=() USR=() SYS=() MEM=() BYTES=() FILES=()
  cp "$doc" "$WORK/src.pdf"
  for _ in $(seq 1 "$RUNS"); do
    run burst "$BURST" "$WORK/src.pdf" burst
    [ -z "$BASELINE" ] || run baseline "$BASELINE" "$WORK/src.pdf" burst
    run qpdf qpdf --split-pages "$WORK/src.pdf" page.pdf
    run pdftk pdftk "$WORK/src.pdf" burst
  done
  rm -f "$WORK/src.pdf"

  printf '\n%-16s %8s %8s %8s %10s %14s %7s\n' "best of $RUNS" "cpu s" "user s" "sys s" "peak MB" "output bytes" files
  for t in "${TOOLS[@]}"; do
    printf '%-16s %8.2f %8.2f %8.2f %10.1f %14d %7d\n' "$t" "${CPU[$t]}" "${USR[$t]}" "${SYS[$t]}" \
      "$(echo "${MEM[$t]} / 1024" | bc -l)" "${BYTES[$t]}" "${FILES[$t]}"
  done
  echo "(cpu = user + sys; most of sys is the file system creating ${pages} files, alike for all)"
  [ "${FILES[burst]}" = "$pages" ] || echo "WRONG: pagerift-burst wrote ${FILES[burst]} files for $pages pages"

  echo
  printf '%-28s %8s %10s %s\n' "pagerift-burst vs" ratio goal verdict
  [ -z "$BASELINE" ] || line "baseline: cpu" "${CPU[burst]}" "${CPU[baseline]}" 1.0
  line "qpdf: cpu" "${CPU[burst]}" "${CPU[qpdf]}" 0.8
  line "qpdf: output bytes" "${BYTES[burst]}" "${BYTES[qpdf]}" 1.0
  line "qpdf: peak memory" "${MEM[burst]}" "${MEM[qpdf]}" 1.0
  line "pdftk: cpu" "${CPU[burst]}" "${CPU[pdftk]}" 1.0
  line "pdftk: output bytes" "${BYTES[burst]}" "${BYTES[pdftk]}" 1.0
  line "pdftk: peak memory" "${MEM[burst]}" "${MEM[pdftk]}" 1.0
}

# CPU seconds (user+sys) of one run of a command in an empty folder.
cpu_of() {
  local dir=$WORK/out-sample user sys
  rm -rf "$dir" && mkdir -p "$dir"
  (cd "$dir" && /usr/bin/time -f '%U %S' -o "$WORK/time-sample" "$@" >/dev/null 2>&1) || true
  read -r user sys < <(tail -n 1 "$WORK/time-sample")  # after a line on a non-zero exit, if any
  echo "$user + $sys" | bc -l
}
median() { printf '%s\n' "$@" | sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

# Real documents of every size, each tool's runs taking turns on one file at a time: the medians
# summed give the figure that a user bursting such files would see.
sample() {
  local files=() f pages tool runs=${BENCH_SAMPLE_RUNS:-5} sum_burst=0 sum_qpdf=0 sum_base=0
  local tools=(burst qpdf)
  [ -z "$BASELINE" ] || tools+=(baseline)
  while IFS= read -r f; do files+=("$f"); done < <(find -L "$BENCH_SAMPLE" -name '*.pdf' -type f | sort)
  echo
  echo "sample: ${#files[@]} PDFs under $BENCH_SAMPLE, median of $runs runs per file and tool"
  [ -z "$BASELINE" ] || printf '%-44s %6s %9s %9s %7s %s\n' "files of 100 pages or more" pages "burst s" "base s" ratio goal
  for f in "${files[@]}"; do
    pages=$(qpdf --show-npages "$f" 2>/dev/null) || [ $? = 3 ] || continue
    [ -n "$pages" ] || continue
    cp "$f" "$WORK/src.pdf"
    declare -A got=([burst]="" [qpdf]="" [baseline]="")
    for _ in $(seq 1 "$runs"); do
      for tool in "${tools[@]}"; do
        case $tool in
          burst) got[burst]+=" $(cpu_of "$BURST" "$WORK/src.pdf" burst)" ;;
          qpdf) got[qpdf]+=" $(cpu_of qpdf --split-pages "$WORK/src.pdf" page.pdf)" ;;
          baseline) got[baseline]+=" $(cpu_of "$BASELINE" "$WORK/src.pdf" burst)" ;;
        esac
      done
    done
    local b q o
    # shellcheck disable=SC2086
    b=$(median ${got[burst]}) q=$(median ${got[qpdf]})
    sum_burst=$(echo "$sum_burst + $b" | bc -l) sum_qpdf=$(echo "$sum_qpdf + $q" | bc -l)
    if [ -n "$BASELINE" ]; then
      # shellcheck disable=SC2086
      o=$(median ${got[baseline]})
      sum_base=$(echo "$sum_base + $o" | bc -l)
      if [ "$pages" -ge 100 ] && [ "$(echo "$o > 0" | bc -l)" = 1 ]; then
        local r
        r=$(ratio "$b" "$o")
        printf '%-44.44s %6d %9.2f %9.2f %7s <= 1.10 %s\n' "${f#"$BENCH_SAMPLE"/}" "$pages" "$b" "$o" "$r" "$(verdict "$r" 1.10)"
      fi
    fi
  done
  rm -f "$WORK/src.pdf"
  echo
  printf '%-28s %8s %10s %s\n' "sample, summed medians" ratio goal verdict
  line "burst / qpdf: cpu" "$sum_burst" "$sum_qpdf" 0.70
  [ -z "$BASELINE" ] || line "burst / baseline: cpu" "$sum_burst" "$sum_base" 1.10
  echo "(cpu seconds summed: burst $sum_burst, qpdf $sum_qpdf${BASELINE:+, baseline $sum_base})"
}

declare -A CPU USR SYS MEM BYTES FILES
for doc in "${DOCS[@]}"; do measure "$doc"; done
[ -z "${BENCH_SAMPLE:-}" ] || sample

echo
if [ -f "$STAGE/data/pdftk.exe" ] && command -v wine >/dev/null; then
  echo "under wine: $STAGE/data/pdftk.exe"
  "$ROOT/tools/bench-splitter-wine.sh" "$STAGE" "$WORK" "${DOCS[@]}"
else
  echo "under wine: skipped (no $STAGE/data/pdftk.exe or no wine)"
fi
