#!/usr/bin/env bash
# Fuzzes one target under AddressSanitizer and UndefinedBehaviorSanitizer with libFuzzer, on one
# core, at low priority.
#   tools/fuzz.sh TARGET SECONDS    TARGET: burst, scanner, settings, text, type1, truetype or cff
# It builds the sanitizer configuration (build/fuzz), writes the seeds (PDFs our tests make and
# qpdf's test files, their pages' content, a few setup.ini files, small font programs made by
# tests/fuzz/font_seeds.py) and grows its corpus in
# build/fuzz/corpus/TARGET. An input that crashes, hangs or trips a sanitizer is left in
# build/fuzz/findings/TARGET: once fixed, minimise it (fuzz_TARGET -minimize_crash=1 -runs=2000
# FILE) and keep it in tests/fuzz/regressions/TARGET, which every test run goes through.
# FUZZ_ARGS adds libFuzzer options, e.g. FUZZ_ARGS="-fork=1 -ignore_crashes=1" to go on past a
# finding.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
TARGET=${1:-}
SECONDS_=${2:-}
case $TARGET in
  burst | scanner | text) DICT=$ROOT/tests/fuzz/pdf.dict ;;
  settings) DICT=$ROOT/tests/fuzz/settings.dict ;;
  type1 | truetype | cff) DICT=$ROOT/tests/fuzz/fonts.dict ;;
  *) echo "usage: tools/fuzz.sh burst|scanner|settings|text|type1|truetype|cff SECONDS" >&2; exit 1 ;;
esac
[[ $SECONDS_ =~ ^[0-9]+$ ]] || { echo "fuzz: SECONDS must be a whole number" >&2; exit 1; }

JOBS=${JOBS:-1} "$ROOT/tools/build.sh" sanitize >/dev/null
FUZZ=$ROOT/build/fuzz
CORPUS=$(sed -n 's/^PAGERIFT_QPDF_CORPUS:PATH=//p' "$FUZZ/CMakeCache.txt")
[ -d "$FUZZ/seeds/$TARGET" ] || "$FUZZ/tests/fuzz/fuzz_seeds" "$FUZZ/seeds" "$CORPUS" >/dev/null
[ -d "$FUZZ/seeds/$TARGET" ] || /usr/bin/python3 "$ROOT/tests/fuzz/font_seeds.py" "$FUZZ/seeds" >/dev/null 2>&1
mkdir -p "$FUZZ/corpus/$TARGET" "$FUZZ/findings/$TARGET" "$FUZZ/logs" "$FUZZ/run"
# A copy runs, so that building (tools/test.sh) during a campaign does not pull it from under it.
RUN=$FUZZ/run/fuzz_$TARGET.$$
cp "$FUZZ/tests/fuzz/fuzz_$TARGET" "$RUN"
trap 'rm -f "$RUN"' EXIT
REGRESSIONS=$ROOT/tests/fuzz/regressions/$TARGET
[ -d "$REGRESSIONS" ] || REGRESSIONS=$FUZZ/seeds/$TARGET  # none kept yet
LOG=$FUZZ/logs/$TARGET-$(date +%Y%m%d-%H%M%S).log
echo "fuzz: $TARGET for $SECONDS_ s; log in $LOG"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
status=0
# -max_len: PDFs that exercise the splitter fit in 64 kB. -timeout: no input takes a second in the
# plain build; 30 s leaves room for the sanitizers on a busy machine (a timeout that fires inside
# ASan's allocator can deadlock libFuzzer's handler).
/usr/bin/time -f "fuzz: cpu %U s user, %S s system; peak memory %M KB" \
  nice -n "${FUZZ_NICE:-10}" "$RUN" \
  -max_total_time="$SECONDS_" -max_len=65536 -timeout=30 -rss_limit_mb=2048 -print_final_stats=1 \
  -dict="$DICT" -artifact_prefix="$FUZZ/findings/$TARGET/" ${FUZZ_ARGS:-} \
  "$FUZZ/corpus/$TARGET" "$FUZZ/seeds/$TARGET" "$REGRESSIONS" \
  >"$LOG" 2>&1 || status=$?
# The last status line holds the executions and libFuzzer's coverage (cov:) and features (ft:).
grep -E 'cov: [0-9]+ ft: [0-9]+' "$LOG" | tail -n 1 || true
grep -E '^fuzz: cpu' "$LOG" || true
findings=$(find "$FUZZ/findings/$TARGET" -type f | wc -l)
echo "fuzz: $findings input(s) in $FUZZ/findings/$TARGET"
if [ $status -ne 0 ]; then
  tail -n 40 "$LOG"
  echo "fuzz: $TARGET stopped at a finding (exit $status)"
fi
exit $status
