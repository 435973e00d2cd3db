#!/usr/bin/env bash
# Builds Pagerift: the host configuration (core, unit tests, native splitter)
# and the Windows configuration (Pagerift.exe, data/pdftk.exe, wine tests).
#   tools/build.sh          both
#   tools/build.sh win      only the Windows program and its tests
#   tools/build.sh sanitize only the sanitizer configuration (build/fuzz): the host build by clang
#                           with ASan and UBSan, its unit tests and the fuzz targets
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
WHAT=${1:-all}
JOBS=${JOBS:-$(nproc)}

"$ROOT/tools/bootstrap.sh"
DEPS=$("$ROOT/tools/deps.sh" | tail -n 1)

# Warnings are errors here, so nothing lands with one; PAGERIFT_WERROR=OFF while trying things out.
WERROR=${PAGERIFT_WERROR:-ON}
configure() { # dir args...
  local dir=$1; shift
  if [ ! -f "$dir/CMakeCache.txt" ] || ! grep -qx "PAGERIFT_WERROR:BOOL=$WERROR" "$dir/CMakeCache.txt"; then
    cmake -S "$ROOT" -B "$dir" -DPAGERIFT_WERROR="$WERROR" "$@" >"$dir.configure.log" 2>&1 ||
      { cat "$dir.configure.log" >&2; exit 1; }
  fi
}
mkdir -p "$ROOT/build"
if [ "$WHAT" = sanitize ]; then
  configure "$ROOT/build/fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPAGERIFT_SANITIZE=ON \
    -DCMAKE_C_COMPILER=clang-16 -DCMAKE_CXX_COMPILER=clang++-16
  cmake --build "$ROOT/build/fuzz" -j"$JOBS"
  exit 0
fi
if [ "$WHAT" = all ]; then
  configure "$ROOT/build/host" -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build "$ROOT/build/host" -j"$JOBS"
fi
configure "$ROOT/build/win" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
  -DPAGERIFT_DEPS_PREFIX="$DEPS" -DCMAKE_BUILD_TYPE=Release
cmake --build "$ROOT/build/win" -j"$JOBS"
echo "build: the program is in $ROOT/build/win/Pagerift"
