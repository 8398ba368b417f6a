#!/usr/bin/env bash
# Runs every test of the library. Installs what it needs from Debian's
# packages when it is missing. Warnings in the library are errors.
#
# usage: scripts/test-all.sh [LEG...]    (default: all legs, in this order)
#   native    the test suite and the library inspection, host compiler
#   aarch64   the same, cross built and run under qemu-user, and the boot
#             image on a bare machine under qemu-system
#   debug     the native and aarch64 suites built unoptimised (Debug)
#   targets   every other target (scripts/targets.sh): riscv64, s390x,
#             ppc64le, armhf and i686 Linux under qemu-user, Cortex-M3,
#             Cortex-M0, rv32 and rv64 machines under qemu-system (the
#             archive built by hand, by the bare toolchain files and by the
#             lines of docs/targets.md), and the library and the bounded
#             call by GCC and Clang at -O0 to -O3 for all of them
#   foreign   the native suite built by clang at -O3 with the flags a parent
#             build or a distribution may add (-fno-semantic-interposition,
#             -Bsymbolic-functions, -z lazy, -fno-plt)
#   asan      the test suite with the library instrumented by Address- and
#             UndefinedBehaviorSanitizer (clang); any report fails
#   tsan      the test suite with the library instrumented by ThreadSanitizer
#   valgrind  the native test executables under memcheck; any error fails
#   fuzz      the libFuzzer target for KESTRIX_FUZZ_SECONDS (default 60) over
#             fuzz/corpus; any finding fails and is kept under build-test/fuzz
# The instrumented legs leave out the library inspection: an instrumented
# library imports its sanitizer's runtime by design.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
out=${KESTRIX_TEST_DIR:-$root/build-test}
jobs=${KESTRIX_JOBS:-2}

. "$root/scripts/ensure.sh"

# clang and its sanitizer and libFuzzer runtimes.
ensure_clang() {
  ensure clang clang
  ensure "libclang-rt-$(clang -dumpversion | cut -d. -f1)-dev" \
         "$(clang -print-resource-dir)/lib/linux/libclang_rt.fuzzer-$(uname -m).a"
}

configure_build() { # name, extra cmake args...
  local name=$1
  shift
  echo "== $name: configure"
  # Tests ON, not AUTO: without GoogleTest the leg fails instead of passing empty.
  cmake -S "$root" -B "$out/$name" -DKESTRIX_WERROR=ON -DKESTRIX_BUILD_TESTS=ON "$@" >"$out/$name.configure.log" 2>&1 ||
    { cat "$out/$name.configure.log"; return 1; }
  echo "== $name: build"
  cmake --build "$out/$name" -j "$jobs"
}

run_ctest() { # name
  echo "== $1: test"
  ctest --test-dir "$out/$1" --output-on-failure -j "$jobs"
  # The measured figures, which passing tests otherwise keep to the log.
  grep -hE '^(stack bytes|signals:)' "$out/$1/Testing/Temporary/LastTest.log" | sed "s/^/== $1: /" || true
}

leg_native() {
  ensure cmake cmake g++ g++ libgtest-dev /usr/include/gtest/gtest.h binutils readelf \
         pkgconf pkg-config groff-base groff clang clang++
  configure_build native
  run_ctest native
}

aarch64_packages=(cmake cmake g++-aarch64-linux-gnu aarch64-linux-gnu-g++ qemu-user qemu-aarch64
  qemu-system-arm qemu-system-aarch64 clang clang++ googletest /usr/src/googletest/CMakeLists.txt
  binutils readelf pkgconf pkg-config groff-base groff)

leg_aarch64() {
  ensure "${aarch64_packages[@]}"
  configure_build aarch64 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/aarch64-linux-gnu.cmake"
  run_ctest aarch64
}

# Every build type passes its own tests: the size and stack bounds that
# hold for optimised code are relaxed for unoptimised code, nothing else.
leg_debug() {
  ensure cmake cmake g++ g++ libgtest-dev /usr/include/gtest/gtest.h "${aarch64_packages[@]}"
  configure_build debug-native -DCMAKE_BUILD_TYPE=Debug
  run_ctest debug-native
  configure_build debug-aarch64 -DCMAKE_BUILD_TYPE=Debug -DCMAKE_TOOLCHAIN_FILE="$root/cmake/aarch64-linux-gnu.cmake"
  run_ctest debug-aarch64
}

leg_targets() {
  KESTRIX_TEST_DIR=$out KESTRIX_JOBS=$jobs "$root/scripts/targets.sh"
}

# A parent's flags that would bind the library's own calls inside it: the
# library's options must win, and the interposition tests must still pass.
leg_foreign() {
  ensure cmake cmake libgtest-dev /usr/include/gtest/gtest.h binutils readelf pkgconf pkg-config \
         groff-base groff clang clang++
  configure_build foreign -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Release \
    "-DCMAKE_CXX_FLAGS=-fno-semantic-interposition -fno-plt" \
    "-DCMAKE_SHARED_LINKER_FLAGS=-Wl,-Bsymbolic-functions -Wl,-z,lazy"
  run_ctest foreign
}

clang_args=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DKESTRIX_BUILD_EXAMPLES=OFF)

leg_asan() {
  ensure cmake cmake libgtest-dev /usr/include/gtest/gtest.h
  ensure_clang
  configure_build asan "${clang_args[@]}" -DKESTRIX_SANITIZE=address,undefined
  ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 run_ctest asan
}

leg_tsan() {
  ensure cmake cmake libgtest-dev /usr/include/gtest/gtest.h
  ensure_clang
  configure_build tsan "${clang_args[@]}" -DKESTRIX_SANITIZE=thread
  TSAN_OPTIONS=halt_on_error=1 run_ctest tsan
}

# The native build's test executables, each run whole under memcheck.
leg_valgrind() {
  ensure cmake cmake g++ g++ libgtest-dev /usr/include/gtest/gtest.h valgrind valgrind
  configure_build native
  local exe log
  for exe in kestrix-tests kestrix-interpose-test; do
    echo "== valgrind: $exe"
    log=$out/valgrind.$exe.log
    # Fair scheduling hands the CPU over in turn, so a signal sent from one
    # thread reaches a busy one promptly even on a loaded machine.
    valgrind --error-exitcode=99 --leak-check=full --fair-sched=yes \
      "$out/native/tests/$exe" >"$log" 2>&1 || { tail -60 "$log"; return 1; }
    grep -hE 'tests? from .* ran|PASSED|ERROR SUMMARY' "$log"
  done
}

leg_fuzz() {
  ensure cmake cmake
  ensure_clang
  configure_build fuzz "${clang_args[@]}" -DKESTRIX_SANITIZE=address,undefined -DKESTRIX_BUILD_FUZZ=ON \
    -DKESTRIX_BUILD_TESTS=OFF
  local dir=$out/fuzz secs=${KESTRIX_FUZZ_SECONDS:-60}
  mkdir -p "$dir/corpus" "$dir/findings"
  echo "== fuzz: running for $secs s"
  # New inputs go to the first directory; the seeds in the repo stay as they are.
  "$dir/fuzz/kestrix-fuzz" -max_total_time="$secs" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$dir/findings/" "$dir/corpus" "$root/fuzz/corpus" >"$dir/fuzz.log" 2>&1 ||
    { tail -40 "$dir/fuzz.log"; echo "== fuzz: finding kept in $dir/findings"; return 1; }
  grep -hE '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added)' "$dir/fuzz.log" |
    sed 's/^/== fuzz: /'
}

legs=("$@")
[ ${#legs[@]} -gt 0 ] || legs=(native aarch64 debug targets foreign asan tsan valgrind fuzz)
mkdir -p "$out"
for leg in "${legs[@]}"; do
  declare -F "leg_$leg" >/dev/null || { echo "unknown leg: $leg"; exit 2; }
  start=$SECONDS
  "leg_$leg"
  echo "== $leg: passed in $((SECONDS - start)) s"
done
echo "== all legs passed: ${legs[*]}"
