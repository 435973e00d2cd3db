#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Pagerift need.
# Idempotent: when everything is present it only checks and returns.
set -euo pipefail

PACKAGES=(
  # build
  cmake make g++ pkg-config dpkg-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64
  libz-mingw-w64-dev nasm
  libqpdf-dev libgtest-dev googletest
  # the sanitizer configuration and the fuzz targets (tools/fuzz.sh): clang with libFuzzer;
  # Debian's default clang 14 cannot compile qpdf's headers as C++20
  clang-16 libclang-rt-16-dev
  # the house style (.clang-format), checked by the unit layer
  clang-format-14 git
  # run and test
  wine wine64 xvfb xauth xdotool x11-utils imagemagick
  python3 python3-gi gir1.2-gtk-3.0 python3-pytest python3-pil python3-xlib
  qpdf poppler-utils zip unzip
  # the only fonts Wine sees in the tests (tools/wine-fonts/fonts.conf)
  fonts-dejavu-core
  # the splitter's font tests: Type 1 and CFF programs to embed, and fontTools to read the subsets
  # and make the font fuzz seeds
  fonts-urw-base35 python3-fonttools
  # comparison in the benchmarks
  pdftk-java time ghostscript groff
)

missing=()
for p in "${PACKAGES[@]}"; do
  # dpkg-query prints "install ok installed" for a package that is really there.
  if [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)" != "install ok installed" ]; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=()
if [ "$(id -u)" != 0 ]; then
  if command -v sudo >/dev/null 2>&1; then SUDO=(sudo); else
    echo "bootstrap: these packages are missing and I am not root: ${missing[*]}" >&2
    exit 1
  fi
fi

echo "bootstrap: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${SUDO[@]}" apt-get update -qq
"${SUDO[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
