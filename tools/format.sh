#!/usr/bin/env bash
# Formats every C and C++ file in the repository with the house style (.clang-format).
#   tools/format.sh           rewrite the files in place
#   tools/format.sh --check   change nothing; list the files that differ and fail if any do
# The version is pinned: another clang-format lays some lines out differently.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
FORMAT=${CLANG_FORMAT:-clang-format-14}
cd "$ROOT"
# Tracked files and new ones git does not ignore, so a file not yet added is in the style too.
mapfile -t files < <(git ls-files --cached --others --exclude-standard '*.c' '*.h' '*.cpp')
if [ "${1:-}" = --check ]; then
  bad=()
  for f in "${files[@]}"; do
    "$FORMAT" --dry-run --Werror "$f" >/dev/null 2>&1 || bad+=("$f")
  done
  if [ ${#bad[@]} -gt 0 ]; then
    echo "format: ${#bad[@]} file(s) differ from the house style; tools/format.sh fixes them:"
    printf '  %s\n' "${bad[@]}"
    exit 1
  fi
  echo "format: ${#files[@]} files in the house style"
else
  "$FORMAT" -i "${files[@]}"
fi
