#!/usr/bin/env bash
# Makes the Windows release: dist/Pagerift-1.00-win64.zip with the program,
# its splitter, a README for Windows users and every licence.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
VERSION=1.00
NAME=Pagerift-$VERSION-win64

"$ROOT/tools/build.sh" win >/dev/null
DEPS=$("$ROOT/tools/deps.sh" | tail -n 1)
STAGE=$ROOT/build/win/Pagerift
OUT=$ROOT/dist
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT

PKG=$TMP/$NAME
mkdir -p "$PKG/data" "$PKG/licenses"
cp "$STAGE/Pagerift.exe" "$PKG/"
cp "$STAGE/data/pdftk.exe" "$PKG/data/"
# Windows users read text files with CR LF line ends.
sed 's/$/\r/' "$ROOT/docs/README-windows.txt" >"$PKG/README.txt"
sed 's/$/\r/' "$ROOT/LICENSE" >"$PKG/licenses/Pagerift-LICENSE.txt"
for f in "$DEPS"/licenses/*; do
  base=$(basename "$f")
  sed 's/$/\r/' "$f" >"$PKG/licenses/${base%.*}.txt"
done
sed 's/$/\r/' /usr/share/doc/libz-mingw-w64-dev/copyright >"$PKG/licenses/zlib-LICENSE.txt"

mkdir -p "$OUT"
rm -f "$OUT/$NAME.zip"
(cd "$TMP" && zip -qr -X "$OUT/$NAME.zip" "$NAME")
echo "package: $OUT/$NAME.zip"
unzip -l "$OUT/$NAME.zip"
