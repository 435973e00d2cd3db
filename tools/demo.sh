#!/usr/bin/env bash
# The headless demo: builds if needed, then drops a sample PDF onto Pagerift
# on a virtual display and reports where the pages and a screenshot went.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
"$ROOT/tools/build.sh" win >/dev/null
exec /usr/bin/python3 "$ROOT/tools/demo.py"
