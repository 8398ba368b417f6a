#!/usr/bin/env bash
# Runs every test of the library: the native build and the aarch64 cross
# build under qemu-user. Installs what it needs from Debian's packages when
# it is missing. Warnings in the library are errors.
#
# usage: scripts/test-all.sh [LEG...]    legs: native aarch64 (default: all)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
out=${KESTRIX_TEST_DIR:-$root/build-test}
jobs=${KESTRIX_JOBS:-2}

# Installs the Debian packages whose marker command or file is missing.
ensure() {
  local missing=() pkg marker
  while [ $# -gt 0 ]; do
    pkg=$1 marker=$2
    shift 2
    if [[ $marker == /* ]]; then [ -e "$marker" ] || missing+=("$pkg")
    else command -v "$marker" >/dev/null 2>&1 || missing+=("$pkg"); fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "== installing: ${missing[*]}"
  local sudo=
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

configure_build_test() { # name, extra cmake args...
  local name=$1
  shift
  echo "== $name: configure"
  cmake -S "$root" -B "$out/$name" -DKESTRIX_WERROR=ON "$@" >"$out/$name.configure.log" 2>&1 ||
    { cat "$out/$name.configure.log"; return 1; }
  echo "== $name: build"
  cmake --build "$out/$name" -j "$jobs"
  echo "== $name: test"
  ctest --test-dir "$out/$name" --output-on-failure -j "$jobs"
}

leg_native() {
  ensure cmake cmake g++ g++ libgtest-dev /usr/include/gtest/gtest.h binutils readelf \
         pkgconf pkg-config groff-base groff clang clang++
  configure_build_test native
}

leg_aarch64() {
  ensure cmake cmake g++-aarch64-linux-gnu aarch64-linux-gnu-g++ qemu-user qemu-aarch64 \
         googletest /usr/src/googletest/CMakeLists.txt binutils readelf pkgconf pkg-config groff-base groff
  configure_build_test aarch64 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/aarch64-linux-gnu.cmake"
}

legs=("$@")
[ ${#legs[@]} -gt 0 ] || legs=(native aarch64)
mkdir -p "$out"
for leg in "${legs[@]}"; do
  declare -F "leg_$leg" >/dev/null || { echo "unknown leg: $leg"; exit 2; }
  start=$SECONDS
  "leg_$leg"
  echo "== $leg: passed in $((SECONDS - start)) s"
done
echo "== all legs passed: ${legs[*]}"
