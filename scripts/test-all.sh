#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs every test of the library. Installs what it needs from Debian's
# packages when it is missing. Warnings in the library are errors.
#
# usage: scripts/test-all.sh [LEG...]    (default: all legs, in this order)
#   native    the test suite and the library inspection, host compiler, and
#             an SPDX licence line in every tracked source and build file
#   aarch64   the same, cross built and run under qemu-user, and the boot
#             image on a bare machine under qemu-system
#   debug     the native and aarch64 suites built unoptimised (Debug), and the
#             native suite optimised for size (MinSizeRel)
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
#             UndefinedBehaviorSanitizer (clang), and the C macros' test with
#             GCC's UndefinedBehaviorSanitizer; any report fails
#   tsan      the test suite with the library instrumented by ThreadSanitizer
#   valgrind  the native test executables under memcheck; any error fails
#   fuzz      the libFuzzer target for KESTRIX_FUZZ_SECONDS (default 60) over
#             fuzz/corpus; any finding fails and is kept under build-test/fuzz
#   abi       abidiff of the x86-64 shared library against its baseline in
#             abi/; any change to the seven functions' types or to the export
#             list fails. KESTRIX_ABI_REGENERATE=1 rewrites the baseline from
#             the library first, for a release that may change it
#   meson     the Meson build by GCC and Clang: the library inspection and
#             its flags against cmake/KestrixFlags.cmake (meson test), its
#             install and kestrix.pc, and a C-only parent project with kestrix
#             in its subprojects/ (tests/adoption/meson_parent), linked with
#             the archive and with the shared library
#   uefi      the UEFI application of docs/uefi.md built as that page says
#             (scripts/uefi.sh): PE by clang and lld-link for x86-64 and
#             aarch64, and by gnu-efi for both (Debian's arm64 gnu-efi
#             unpacked), booted under OVMF and AAVMF
#   package   the Debian packages of debian/ (libkestrix1, libkestrix-dev)
#             built by dpkg-buildpackage, held to lintian, installed, used
#             with no path given (cc -lkestrix, pkg-config, find_package,
#             man), then purged, the machine's packages as they were
#   kernel    examples/kernel built by kernel/kestrix.kbuild for Debian's
#             x86-64 and arm64 kernels and loaded in each under QEMU
#             (scripts/kernel.sh): its lines byte-exact, no objtool or
#             modpost warning, the kernel's mitigations and ORC data in the
#             library's code, a reliable trace from a sink
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
  ensure cmake cmake g++ g++ libgtest-dev /usr/include/gtest/gtest.h binutils readelf clang-16 clang-16 \
         pkgconf pkg-config groff-base groff clang clang++ lld ld.lld
  configure_build native
  run_ctest native
  # Every tracked source, header, script and build file names its licence.
  (cd "$root" && git rev-parse --git-dir >/dev/null 2>&1) ||
    { echo "== native: the licence check reads git's file list: run it in a git checkout"; return 1; }
  "$root/scripts/spdx.sh" --check
}

aarch64_packages=(cmake cmake g++-aarch64-linux-gnu aarch64-linux-gnu-g++ qemu-user qemu-aarch64
  qemu-system-arm qemu-system-aarch64 clang clang++ googletest /usr/src/googletest/CMakeLists.txt
  binutils readelf pkgconf pkg-config groff-base groff lld ld.lld)

leg_aarch64() {
  ensure "${aarch64_packages[@]}"
  configure_build aarch64 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/aarch64-linux-gnu.cmake"
  run_ctest aarch64
}

# Every build type passes its own tests: the size and stack bounds that
# hold for optimised code are relaxed for unoptimised code, nothing else.
# Optimised for size, the bounded, piecewise and sink calls are a walk of
# their own (kestrix_snprintf.cpp), which the other builds never run.
leg_debug() {
  ensure cmake cmake g++ g++ libgtest-dev /usr/include/gtest/gtest.h "${aarch64_packages[@]}"
  configure_build debug-native -DCMAKE_BUILD_TYPE=Debug
  run_ctest debug-native
  configure_build minsize-native -DCMAKE_BUILD_TYPE=MinSizeRel
  run_ctest minsize-native
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
         groff-base groff clang clang++ lld ld.lld
  configure_build foreign -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Release \
    "-DCMAKE_CXX_FLAGS=-fno-semantic-interposition -fno-plt" \
    "-DCMAKE_SHARED_LINKER_FLAGS=-Wl,-Bsymbolic-functions -Wl,-z,lazy"
  run_ctest foreign
}

clang_args=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DKESTRIX_BUILD_EXAMPLES=OFF)

# GCC's UndefinedBehaviorSanitizer over the C macros' test (c_checked.c),
# whose rows give the bounded calls sizes of SIZE_MAX, SIZE_MAX/2+2 and one
# that reaches past the top of memory: unlike Clang's, GCC's pointer-overflow
# check flags a pointer offset by an unsigned size that wraps. Every report
# stops the run.
ubsan_gcc() {
  local dir=$out/ubsan-gcc src
  mkdir -p "$dir"
  local flags=(-O2 -g -fsanitize=undefined -fno-sanitize-recover=all -Wall -Wextra -Werror -I"$root/include")
  echo "== asan: GCC -fsanitize=undefined over c_checked.c"
  for src in kestrix kestrix_snprintf kestrix_dprintf; do
    g++ -std=c++11 "${flags[@]}" -fvisibility=hidden -ffreestanding -fno-exceptions -fno-rtti \
      -c "$root/src/$src.cpp" -o "$dir/$src.o"
  done
  gcc -std=c11 -pedantic "${flags[@]}" "$root/tests/adoption/c_checked.c" "$dir"/kestrix*.o -Wl,--wrap=write \
    -o "$dir/c_checked"
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 "$dir/c_checked"
}

leg_asan() {
  ensure cmake cmake libgtest-dev /usr/include/gtest/gtest.h g++ g++
  ensure_clang
  configure_build asan "${clang_args[@]}" -DKESTRIX_SANITIZE=address,undefined
  ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 run_ctest asan
  ubsan_gcc
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

# The exported interface against the baseline kept in abi/. abidw keeps
# only what callers see (the exported functions and the types they reach)
# and no path, source line or build id, so the baseline is the same
# wherever it is built. It is GCC's: Clang's debug info names va_list's
# structure differently. abidiff exits with bit 4 for any change it
# reports (--harmless: those it deems harmless too) and bit 8 for an
# incompatible one; either, or an error, fails the leg. It is given no
# --headers-dir: it would then ignore changes to types declared elsewhere,
# such as int32_t becoming int64_t.
abi_dump=(--no-corpus-path --no-comp-dir-path --no-show-locs --short-locs --exported-interfaces-only
  --type-id-style hash)
leg_abi() {
  ensure cmake cmake g++ g++ abigail-tools abidiff
  [ "$(uname -m)" = x86_64 ] ||
    { echo "== abi: the baseline in abi/ is for x86-64; run this leg on an x86-64 machine"; return 1; }
  echo "== abi: configure"
  cmake -S "$root" -B "$out/abi" -DCMAKE_CXX_COMPILER=g++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRIX_WERROR=ON \
    -DKESTRIX_BUILD_SHARED=ON -DKESTRIX_BUILD_TESTS=OFF -DKESTRIX_BUILD_EXAMPLES=OFF >"$out/abi.configure.log" 2>&1 ||
    { cat "$out/abi.configure.log"; return 1; }
  echo "== abi: build"
  cmake --build "$out/abi" -j "$jobs" --target kestrix
  local lib=$out/abi/libkestrix.so baseline=$root/abi/libkestrix-x86_64.abi
  if [ "${KESTRIX_ABI_REGENERATE:-0}" = 1 ]; then
    echo "== abi: writing $baseline"
    abidw "${abi_dump[@]}" --out-file "$baseline" "$lib"
  fi
  # Without debug info abidiff compares the symbol names alone and passes a
  # changed type, so each exported function must have its declaration.
  local dump=$out/abi/libkestrix.abi bare
  abidw "${abi_dump[@]}" --out-file "$dump" "$lib"
  bare=$(sed -n "s/^ *<elf-symbol name='\([^']*\)'.*/\1/p" "$dump" |
         while read -r sym; do grep -q "elf-symbol-id='$sym'" "$dump" || echo "$sym"; done | tr '\n' ' ')
  [ -z "$bare" ] || { echo "== abi: no debug info for: $bare"; return 1; }
  echo "== abi: abidiff abi/$(basename "$baseline") $(basename "$(readlink -f "$lib")")"
  local status=0
  abidiff --no-default-suppression --exported-interfaces-only --harmless "$baseline" "$lib" || status=$?
  [ $status -eq 0 ] || { echo "== abi: abidiff exit status $status: the exported interface differs from abi/"; return 1; }
}

# Runs a consumer.c program and checks the line it prints, that it binds
# its calls at load time (unless lazy_ok is set, for a link line of the
# caller's own), and the libraries it needs: exactly those given.
check_consumer() { # exe name needed...
  local exe=$1 name=$2 got dyn
  shift 2
  got=$(env -u LD_LIBRARY_PATH "$exe") || { echo "FAIL: $exe exited $?"; return 1; }
  [ "$got" = "$name: x=01FF s=ab d=-7" ] || { echo "FAIL: $exe printed: $got"; return 1; }
  dyn=$(readelf -d "$exe")
  [ -n "${lazy_ok:-}" ] || echo "$dyn" | grep -qE 'BIND_NOW|Flags:.* NOW' ||
    { echo "FAIL: $exe binds its calls lazily"; return 1; }
  got=$(echo "$dyn" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | tr '\n' ' ')
  [ "$got" = "$* " ] || { echo "FAIL: $exe needs $got, not $*"; return 1; }
  echo "ok: $exe prints its line, $([ -n "${lazy_ok:-}" ] || echo "binds at load time and ")needs $*"
}

leg_meson() {
  ensure meson meson ninja-build ninja cmake cmake g++ g++ clang clang++ binutils readelf pkgconf pkg-config
  local dir=$out/meson cxx b log pc libdir how prog needed cmd got
  rm -rf "$dir"
  mkdir -p "$dir"
  for cxx in g++ clang++; do
    b=$dir/$cxx log=$dir/$cxx.log
    echo "== meson: $cxx"
    { CXX=$cxx meson setup "$b" "$root" -Dwerror=true --prefix=/opt/kestrix &&
      meson compile -C "$b" -j "$jobs"; } >"$log" 2>&1 || { cat "$log"; return 1; }
    # The flags tests compare the whole table, whichever compiler builds.
    meson test -C "$b" --num-processes "$jobs" --print-errorlogs $([ $cxx = g++ ] || echo --no-suite flags)
  done

  # Installed away from its prefix: kestrix.pc finds the tree from where it
  # lies, and a C program builds with its flags alone.
  meson install -C "$dir/g++" --destdir "$dir/staging" --quiet
  pc=$(find "$dir/staging" -name kestrix.pc)
  libdir=$(PKG_CONFIG_PATH=${pc%/*} pkg-config --variable=libdir kestrix)
  ls "$libdir/libkestrix.a" "$libdir/libkestrix_nonshared.a" >/dev/null
  cc -std=c11 "$root/tests/adoption/consumer/consumer.c" -o "$dir/consumer_c" -Wl,-rpath,"$libdir" \
    $(PKG_CONFIG_PATH=${pc%/*} pkg-config --cflags --libs kestrix)
  check_consumer "$dir/consumer_c" consumer_c libkestrix.so.1 libc.so.6

  # The parent, laid out as docs/using.md says, built with the archive (the
  # default) and with the shared library. It links with --no-as-needed, so
  # that a C++ driver's runtime would show among the libraries it needs,
  # and adds the flags that a parent or a distribution may, which kestrix's
  # own must override: the inspection runs on the libraries it built.
  local src=$dir/parent/src kestrix
  local foreign=("-Dcpp_args=-fno-semantic-interposition -fstack-protector-strong"
    "-Dc_link_args=-Wl,--no-as-needed -Wl,-z,lazy"
    "-Dcpp_link_args=-Wl,--no-as-needed -Wl,-Bsymbolic-functions -Wl,-z,lazy")
  mkdir -p "$src/subprojects"
  cp "$root/tests/adoption/meson_parent/meson.build" "$root/tests/adoption/consumer/consumer.c" "$src/"
  cp "$root/packaging/kestrix.wrap" "$src/subprojects/"
  ln -s "$root" "$src/subprojects/kestrix"
  for how in static shared; do
    b=$dir/parent/$how log=$dir/parent/$how.log
    echo "== meson: a C parent, kestrix $how"
    { meson setup "$b" "$src" --prefix="$b-prefix" --force-fallback-for=kestrix "${foreign[@]}" \
        $([ $how = static ] || echo -Dkestrix:shared=enabled) &&
      meson compile -C "$b" -j "$jobs" && meson install -C "$b"; } >"$log" 2>&1 || { cat "$log"; return 1; }
    kestrix=$b/subprojects/kestrix
    sh "$root/tests/check_library.sh" "$([ $how = static ] && echo - || echo "$kestrix/libkestrix.so")" \
      "$kestrix/libkestrix.a" "$(uname -m)" objdump nm "$root" 0 >"$log" || { cat "$log"; return 1; }
    echo "ok: the library inspection of the parent's kestrix: $(tail -1 "$log")"
    got=$(readelf -W --dyn-syms "$b/libparent_shared.so" | awk '$7 != "UND" && $8 ~ /^kestrix_/ {print $8}' | xargs)
    [ -z "$got" ] || { echo "FAIL: libparent_shared.so exports $got"; return 1; }
    needed=libc.so.6
    [ $how = static ] || needed="libkestrix.so.1 libc.so.6"
    for prog in parent_dependency parent_subproject; do
      check_consumer "$b/$prog" $prog $needed
      check_consumer "$b-prefix/bin/$prog" $prog $needed
      cmd=$(ninja -C "$b" -t commands -s $prog)
      [[ $cmd == *" -o $prog "* && $cmd != *-nostdlib* && $cmd != *-Bno-symbolic* ]] ||
        { echo "FAIL: kestrix's own link options reach $prog: $cmd"; return 1; }
    done
    # The parent's install holds its programs and, with the shared
    # library, libkestrix.so: no header, archive or kestrix.pc of kestrix's.
    got=$(cd "$b-prefix" && find . -type f -o -type l | grep -vE '^\./bin/parent_|/libkestrix\.so' || true)
    [ -z "$got" ] || { echo "FAIL: the parent installed kestrix's $got"; return 1; }
    [ $how = static ] || [ -n "$(find "$b-prefix" -name libkestrix.so.1)" ] ||
      { echo "FAIL: libkestrix.so.1 is not installed with the parent"; return 1; }
  done
}

# The Debian packages of debian/, built from a copy of the tree, held to
# lintian (no error or warning, overrides with their reasons in debian/),
# installed, and used as a C programmer would with no path given: cc
# -lkestrix alone (a program of the macros' calls alone, and one calling the
# seven), pkg-config, find_package and man. The packages are then purged:
# the leg stops at once if either was installed before, and fails unless
# the installed packages are those it found.
kestrix_debs=(libkestrix-dev libkestrix1)
purge_kestrix_debs() {
  local p
  for p in "${kestrix_debs[@]}"; do
    if dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok'; then
      dpkg --purge "$p" >/dev/null
    fi
  done
}
leg_package() {
  ensure dpkg-dev dpkg-buildpackage debhelper dh fakeroot fakeroot lintian lintian cmake cmake g++ g++ \
    pkgconf pkg-config man-db man binutils readelf
  [ "$(id -u)" -eq 0 ] || { echo "== package: installs the packages it builds: run as root"; return 1; }
  local dir=$out/package version src before after got want deb
  version=$(dpkg-parsechangelog -l "$root/debian/changelog" -S Version)
  for deb in "${kestrix_debs[@]}"; do
    ! dpkg-query -W -f='${Status}' "$deb" 2>/dev/null | grep -q 'install ok' ||
      { echo "FAIL: $deb is installed already; the leg would remove it"; return 1; }
  done
  rm -rf "$dir"
  src=$dir/kestrix-${version%-*}
  mkdir -p "$src"
  tar -C "$root" --exclude='./build*' --exclude=./.git -cf - . | tar -C "$src" -xf -
  echo "== package: dpkg-buildpackage -us -uc -b"
  (cd "$src" && dpkg-buildpackage -us -uc -b) >"$dir/build.log" 2>&1 || { tail -40 "$dir/build.log"; return 1; }
  echo "== package: lintian"
  local changes=$dir/kestrix_${version}_$(dpkg --print-architecture).changes status=0
  lintian --fail-on error,warning "$changes" >"$dir/lintian.log" 2>&1 || status=$?
  grep -v '^running with root privileges' "$dir/lintian.log" || true
  # (Shown, the overridden tags count as reported: a second run lists them.)
  lintian --show-overrides "$changes" >"$dir/lintian.overrides.log" 2>&1 || true
  [ $status -eq 0 ] || { echo "FAIL: lintian reports an error or a warning"; return 1; }
  echo "ok: lintian: no error or warning; $(grep -c '^O: ' "$dir/lintian.overrides.log") tags overridden, each with its reason in debian/"
  before=$(dpkg-query -W -f='${Package}:${Architecture} ${Version}\n' | sort)
  trap purge_kestrix_debs EXIT
  echo "== package: dpkg -i libkestrix1 libkestrix-dev"
  dpkg -i "$dir/libkestrix1_${version}_"*.deb "$dir/libkestrix-dev_${version}_"*.deb >"$dir/install.log" 2>&1 ||
    { cat "$dir/install.log"; return 1; }

  # With no path given: the compiler's, pkg-config's, CMake's and man's own.
  local app=$dir/app consumer=$root/tests/adoption/consumer prog
  mkdir -p "$app"
  cp "$consumer/consumer.c" "$app/app.c"
  (cd "$app" && cc -std=c11 -DCHECKED_ONLY -DCONSUMER='"checked"' app.c -lkestrix -o checked &&
    cc -std=c11 app.c -lkestrix -o app &&
    cc -std=c11 -DCONSUMER='"pkg_config"' app.c $(pkg-config --cflags --libs kestrix) -o pkg_config) ||
    { echo "FAIL: the installed packages do not link a C program"; return 1; }
  got=$(pkg-config --libs kestrix | xargs)
  [ "$got" = "-lkestrix_nonshared -lkestrix -Wl,-z,now" ] || { echo "FAIL: pkg-config --libs kestrix: $got"; return 1; }
  lazy_ok=1 check_consumer "$app/checked" checked libkestrix.so.1 libc.so.6
  lazy_ok=1 check_consumer "$app/app" consumer_c libkestrix.so.1 libc.so.6
  check_consumer "$app/pkg_config" pkg_config libkestrix.so.1 libc.so.6
  cmake -S "$consumer" -B "$app/cmake" >"$app/cmake.log" 2>&1 && cmake --build "$app/cmake" >>"$app/cmake.log" 2>&1 ||
    { cat "$app/cmake.log"; return 1; }
  grep -q "kestrix ${version%-*} from /usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/cmake/kestrix" "$app/cmake.log" ||
    { cat "$app/cmake.log"; echo "FAIL: find_package(kestrix) did not find the package's"; return 1; }
  check_consumer "$app/cmake/consumer_c" consumer_c libkestrix.so.1 libc.so.6
  check_consumer "$app/cmake/consumer_c_static" consumer_c_static libc.so.6
  got=$(man -P cat kestrix 2>&1) && grep -q 'kestrix_fnprintf' <<<"$got" && [ "$(man -w kestrix)" = /usr/share/man/man3/kestrix.3.gz ] ||
    { echo "FAIL: man kestrix: $got"; return 1; }
  echo "ok: man kestrix shows /usr/share/man/man3/kestrix.3.gz"

  echo "== package: dpkg --purge libkestrix-dev libkestrix1"
  purge_kestrix_debs
  trap - EXIT
  after=$(dpkg-query -W -f='${Package}:${Architecture} ${Version}\n' | sort)
  got=$(diff <(echo "$before") <(echo "$after") || true)
  [ -z "$got" ] || { echo "FAIL: the installed packages differ from those found:"; echo "$got"; return 1; }
  ! ls /usr/lib/*/libkestrix* /usr/include/kestrix* 2>/dev/null || { echo "FAIL: files left after the purge"; return 1; }
  echo "ok: the packages purged, the installed packages as found"
}

leg_uefi() {
  KESTRIX_TEST_DIR=$out "$root/scripts/uefi.sh"
}

leg_kernel() {
  KESTRIX_TEST_DIR=$out KESTRIX_JOBS=$jobs "$root/scripts/kernel.sh"
}

legs=("$@")
[ ${#legs[@]} -gt 0 ] || legs=(native aarch64 debug targets foreign asan tsan valgrind fuzz meson kernel abi uefi package)
mkdir -p "$out"
for leg in "${legs[@]}"; do
  declare -F "leg_$leg" >/dev/null || { echo "unknown leg: $leg"; exit 2; }
  start=$SECONDS
  "leg_$leg"
  echo "== $leg: passed in $((SECONDS - start)) s"
done
echo "== all legs passed: ${legs[*]}"
