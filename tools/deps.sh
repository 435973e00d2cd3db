#!/usr/bin/env bash
# Cross-builds libjpeg-turbo and qpdf for Windows from Debian's source packages
# into a cache outside the work tree, keyed by version. Later runs reuse it.
# Prints the prefix on its last line of stdout.
set -euo pipefail

CACHE_ROOT=${PAGERIFT_DEPS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/pagerift-deps}
HERE=$(cd "$(dirname "$0")/.." && pwd)
TOOLCHAIN=$HERE/cmake/mingw-w64-x86_64.cmake
JOBS=${JOBS:-$(nproc)}
log() { echo "deps: $*" >&2; }

SUDO=()
[ "$(id -u)" = 0 ] || SUDO=(sudo)

# A deb-src entry derived from the machine's own sources, so no host is named here.
ensure_deb_src() {
  if apt-cache showsrc qpdf 2>/dev/null | grep -q '^Version:'; then return; fi
  local list=/etc/apt/sources.list.d/pagerift-deb-src.sources
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed -E 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources | "${SUDO[@]}" tee "$list" >/dev/null
  elif [ -f /etc/apt/sources.list ]; then
    list=/etc/apt/sources.list.d/pagerift-deb-src.list
    grep -E '^deb ' /etc/apt/sources.list | sed -E 's/^deb /deb-src /' | "${SUDO[@]}" tee "$list" >/dev/null
  fi
  log "added $list; updating the package lists"
  "${SUDO[@]}" apt-get update -qq </dev/null >&2
}

src_version() { apt-cache showsrc "$1" | awk '/^Version:/ {print $2}' | sort -V | tail -n 1; }

ensure_deb_src
QPDF_VER=$(src_version qpdf)
JPEG_VER=$(src_version libjpeg-turbo)
KEY=$(echo "qpdf-${QPDF_VER}_jpeg-${JPEG_VER}_gcc-$(x86_64-w64-mingw32-g++-posix -dumpversion)" | tr ':+~' '___')
PREFIX=$CACHE_ROOT/$KEY
SRC=$CACHE_ROOT/src

if [ -f "$PREFIX/.done" ]; then echo "$PREFIX"; exit 0; fi

log "building $KEY into $PREFIX"
mkdir -p "$SRC"
fetch() { # name version -> extracted source folder
  local name=$1 ver=$2 upstream=${2%-*}
  upstream=${upstream#*:}
  local dir="$SRC/$name-$upstream"
  if [ ! -d "$dir" ]; then
    (cd "$SRC" && chmod 777 . && apt-get source -qq "$name=$ver" </dev/null >&2)
  fi
  echo "$dir"
}
JPEG_SRC=$(fetch libjpeg-turbo "$JPEG_VER")
QPDF_SRC=$(fetch qpdf "$QPDF_VER")

rm -rf "$PREFIX.tmp" && mkdir -p "$PREFIX.tmp"
BUILD=$(mktemp -d)
trap 'rm -rf "$BUILD"' EXIT

log "libjpeg-turbo $JPEG_VER"
cmake -S "$JPEG_SRC" -B "$BUILD/jpeg" -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$PREFIX.tmp" -DENABLE_SHARED=OFF -DWITH_TURBOJPEG=OFF -DWITH_SIMD=OFF \
  -DCMAKE_CROSSCOMPILING_EMULATOR= >"$BUILD/jpeg.log" 2>&1 || { cat "$BUILD/jpeg.log" >&2; exit 1; }
cmake --build "$BUILD/jpeg" -j"$JOBS" --target jpeg-static >>"$BUILD/jpeg.log" 2>&1 || { tail -50 "$BUILD/jpeg.log" >&2; exit 1; }
mkdir -p "$PREFIX.tmp/include" "$PREFIX.tmp/lib"
cp "$BUILD/jpeg/libjpeg.a" "$PREFIX.tmp/lib/"
cp "$JPEG_SRC"/{jpeglib.h,jmorecfg.h,jerror.h} "$BUILD/jpeg/jconfig.h" "$PREFIX.tmp/include/"

log "qpdf $QPDF_VER"
# Keep the host's pkg-config files out of the cross build.
export PKG_CONFIG_LIBDIR="$PREFIX.tmp/lib/pkgconfig:/usr/x86_64-w64-mingw32/lib/pkgconfig"
export PKG_CONFIG_PATH=
cmake -S "$QPDF_SRC" -B "$BUILD/qpdf" -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CROSSCOMPILING_EMULATOR= \
  -DCMAKE_PREFIX_PATH="$PREFIX.tmp" -DCMAKE_FIND_ROOT_PATH="$PREFIX.tmp;/usr/x86_64-w64-mingw32" \
  -DLIBJPEG_H_PATH="$PREFIX.tmp/include" -DLIBJPEG_LIB_PATH="$PREFIX.tmp/lib/libjpeg.a" \
  -DBUILD_SHARED_LIBS=OFF -DBUILD_STATIC_LIBS=ON -DREQUIRE_CRYPTO_NATIVE=ON -DUSE_IMPLICIT_CRYPTO=OFF \
  -DBUILD_DOC=OFF -DCMAKE_CXX_FLAGS="-include cstdint" >"$BUILD/qpdf.log" 2>&1 || { cat "$BUILD/qpdf.log" >&2; exit 1; }
cmake --build "$BUILD/qpdf" -j"$JOBS" --target libqpdf >>"$BUILD/qpdf.log" 2>&1 || { tail -60 "$BUILD/qpdf.log" >&2; exit 1; }
cp -r "$QPDF_SRC/include/qpdf" "$PREFIX.tmp/include/"
find "$BUILD/qpdf" -name 'libqpdf*.a' -exec cp {} "$PREFIX.tmp/lib/libqpdf.a" \;
# Licences travel with the release.
mkdir -p "$PREFIX.tmp/licenses"
cp "$QPDF_SRC/LICENSE.txt" "$PREFIX.tmp/licenses/qpdf-LICENSE.txt" 2>/dev/null || true
cp "$QPDF_SRC/Artistic-2.0" "$PREFIX.tmp/licenses/qpdf-Artistic-2.0.txt" 2>/dev/null || true
cp "$JPEG_SRC/LICENSE.md" "$PREFIX.tmp/licenses/libjpeg-turbo-LICENSE.md" 2>/dev/null || true
cp "$JPEG_SRC/README.ijg" "$PREFIX.tmp/licenses/libjpeg-turbo-README.ijg" 2>/dev/null || true
ln -sfn "$QPDF_SRC" "$PREFIX.tmp/qpdf-src"

rm -rf "$PREFIX" && mv "$PREFIX.tmp" "$PREFIX"
touch "$PREFIX/.done"
log "done"
echo "$PREFIX"
