#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The library on every target it is built for, beside the native and aarch64
# suites. scripts/test-all.sh runs it as its targets leg; scripts/footprint.sh
# reads its table.
#   - every target, by GCC and by Clang at -O0, -Os, -O2 and -O3: an archive
#     of the library's object and the bounded call's passes the archive half
#     of the library inspection (it imports nothing but names the linker
#     defines, and on Arm Linux the unwind tables' personality markers;
#     nothing writable; no FP/SIMD register)
#   - the Linux targets: the library and the examples built by CMake with
#     cmake/<triple>.cmake, the library inspection, and under qemu-user the
#     examples, the self-test with no C library (tests/freestanding/selftest.c
#     with examples/nolibc_start.c), the C tests (c_api.c, c_checked.c) and
#     the C++ interface's (cpp_interface.cpp), exceptions included, linked
#     with -lkestrix_nonshared -lkestrix
#   - the bare machines under qemu-system, started by examples/bare_start.c:
#     the example (examples/bare.c), and the self-test with the library built
#     by GCC and by Clang at -Os and at -O2; on RISC-V, where the FP unit
#     starts off, an image that executes one FP instruction must stop at the
#     trap
#   - the bare toolchain files (cmake/arm-none-eabi.cmake, for the Cortex-M3
#     and the Cortex-M0; cmake/riscv-bare.cmake, for rv32imac and rv64imac):
#     the archive alone, built by CMake for the same core as the table says,
#     passes the library inspection, and the self-test linked with it runs
#   - docs/targets.md: its compile lines for a Cortex-M3 and an rv32imac core
#     have exactly the library's flags, and run as written, their archive
#     passes the library inspection and the example linked with it runs
#   - a Cortex-M3 unit with one KESTRIX_SNPRINTF call of two arguments
#     (tests/freestanding/bounded_caller.c) has at most 160 bytes of .text
#   - the firmware images of tests/freestanding/firmware.c on the Cortex-M0,
#     the Cortex-M3 and rv32imac are within the limits kept in
#     tests/freestanding/firmware.limits (a size, not a timing)
#
# usage: scripts/targets.sh [TARGET...]    (default: every target below)
# Installs the compilers and QEMU from Debian's packages when missing.
# Results go to $KESTRIX_TEST_DIR/targets (build-test/targets by default).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/scripts/ensure.sh"

# Every compiler and emulator of the table below, and what drives them.
ensure_targets() {
  ensure cmake cmake binutils readelf clang clang++ g++ x86_64-linux-gnu-g++ \
    g++-aarch64-linux-gnu aarch64-linux-gnu-g++ g++-riscv64-linux-gnu riscv64-linux-gnu-g++ \
    g++-s390x-linux-gnu s390x-linux-gnu-g++ g++-powerpc64le-linux-gnu powerpc64le-linux-gnu-g++ \
    g++-arm-linux-gnueabihf arm-linux-gnueabihf-g++ g++-i686-linux-gnu i686-linux-gnu-g++ \
    gcc-arm-none-eabi arm-none-eabi-g++ qemu-user qemu-riscv64 qemu-system-arm qemu-system-arm \
    qemu-system-misc qemu-system-riscv64
}

# name | CMAKE_SYSTEM_PROCESSOR | GCC | Clang's --target | both compilers'
# target flags | where it runs: qemu-user (Linux, with /usr/<triple>), a
# QEMU machine with no operating system, or - where another leg runs it
targets=(
  "x86-64    | x86_64    | x86_64-linux-gnu-g++      | x86_64-linux-gnu      |                                           | -"
  "aarch64   | aarch64   | aarch64-linux-gnu-g++     | aarch64-linux-gnu     |                                           | -"
  "riscv64   | riscv64   | riscv64-linux-gnu-g++     | riscv64-linux-gnu     |                                           | qemu-riscv64"
  "s390x     | s390x     | s390x-linux-gnu-g++       | s390x-linux-gnu       |                                           | qemu-s390x"
  "ppc64le   | ppc64le   | powerpc64le-linux-gnu-g++ | powerpc64le-linux-gnu |                                           | qemu-ppc64le"
  "armhf     | arm       | arm-linux-gnueabihf-g++   | arm-linux-gnueabihf   |                                           | qemu-arm"
  "i686      | i686      | i686-linux-gnu-g++        | i686-linux-gnu        |                                           | qemu-i386"
  "cortex-m3 | cortex-m3 | arm-none-eabi-g++         | arm-none-eabi         | -mcpu=cortex-m3 -mthumb                   | qemu-system-arm -M mps2-an385"
  "cortex-m0 | cortex-m0 | arm-none-eabi-g++         | arm-none-eabi         | -mcpu=cortex-m0 -mthumb                   | qemu-system-arm -M microbit"
  "rv32imac  | riscv32   | riscv64-linux-gnu-g++     | riscv32-unknown-elf   | -march=rv32imac -mabi=ilp32               | qemu-system-riscv32 -M virt -bios none"
  "rv32i     | riscv32   | riscv64-linux-gnu-g++     | riscv32-unknown-elf   | -march=rv32i -mabi=ilp32                  | qemu-system-riscv32 -M virt -bios none"
  "rv64imac  | riscv64   | riscv64-linux-gnu-g++     | riscv64-unknown-elf   | -march=rv64imac -mabi=lp64 -mcmodel=medany | qemu-system-riscv64 -M virt -bios none"
  # Linux's instruction set and ABI, run where the FP unit is off.
  "rv64gc    | riscv64   | riscv64-linux-gnu-g++     | riscv64-unknown-elf   | -march=rv64gc -mabi=lp64d -mcmodel=medany | qemu-system-riscv64 -M virt -bios none"
)

target_names() {
  local line
  for line in "${targets[@]}"; do xargs <<<"${line%%|*}"; done
}

# select_target NAME: sets name, proc, gxx, ctarget, tflags and run from the
# table, and system (Linux or Generic), triple and tools (the prefix of
# the target's binutils).
select_target() {
  local line n
  for line in "${targets[@]}"; do
    IFS='|' read -r n proc gxx ctarget tflags run <<<"$line"
    [ "$(xargs <<<"$n")" = "$1" ] || continue
    name=$1 proc=$(xargs <<<"$proc") gxx=$(xargs <<<"$gxx") ctarget=$(xargs <<<"$ctarget")
    tflags=$(xargs <<<"$tflags") run=$(xargs <<<"$run")
    triple=${gxx%-g++} tools=${gxx%g++} system=Linux
    [[ $run != qemu-system-* ]] || system=Generic
    return 0
  done
  echo "unknown target: $1" >&2
  return 1
}

# library_object COMPILER LEVEL BASE: the library's freestanding sources
# compiled for the selected target by gcc or clang at -LEVEL, with the flags
# the build gives them (cmake/KestrixFlags.cmake): BASE.o of kestrix.cpp and
# BASE_snprintf.o of kestrix_snprintf.cpp (the bounded call), their stack
# usage in BASE.su and BASE_snprintf.su, and the archive of the two, BASE.a.
library_object() {
  local cxx=$gxx id=GNU flags source
  [ "$1" = gcc ] || cxx="clang++ --target=$ctarget" id=Clang
  flags=$(cmake -D ID=$id -D PROCESSOR="$proc" -D SYSTEM=$system -P "$root/cmake/KestrixFlags.cmake")
  for source in kestrix kestrix_snprintf; do
    # shellcheck disable=SC2086 # the flags are words
    $cxx -std=c++11 -fPIC -fvisibility=hidden -Wall -Wextra -Werror $tflags $flags -"$2" -fstack-usage \
      -I"$root/include" -c "$root/src/$source.cpp" -o "$3${source#kestrix}.o"
  done
  rm -f "$3.a"
  "${tools}ar" rcs "$3.a" "$3.o" "$3_snprintf.o"
}

# Bytes of .text of a unit with one KESTRIX_SNPRINTF call of two arguments,
# compiled for a Cortex-M3 at -Os into OBJECT: the call alone, as the bounded
# call's code is in the archive.
caller_limit=160
caller_text() { # OBJECT
  local hex
  arm-none-eabi-gcc -Os -mcpu=cortex-m3 -mthumb -std=c11 -Wall -Wextra -Werror -I"$root/include" -c \
    "$root/tests/freestanding/bounded_caller.c" -o "$1"
  hex=$(readelf -W -S "$1" | sed 's/^ *\[ *[0-9]*\] //' | awk '$1 == ".text" {print $5}')
  echo $((16#$hex))
}

# The firmware images of tests/freestanding/firmware.c for a bare target
# (cortex-m0, cortex-m3, rv32imac), as a firmware engineer builds them: the
# library's two sources by GCC at -Os -ffunction-sections -fdata-sections
# with the library's flags into an archive, the program linked against it
# and libgcc with --gc-sections. Prints the .text each image adds to the
# one with no call (image 0): KESTRIX_SNPRINTF alone, KESTRIX_FNPRINTF
# alone, both with KESTRIX_SPRINTF, and KESTRIX_BPRINTF alone.
firmware_limits=$root/tests/freestanding/firmware.limits
firmware_sizes() { # TARGET DIR
  select_target "$1"
  local dir=$2 flags src i size base row=
  mkdir -p "$dir"
  flags=$(cmake -D ID=GNU -D PROCESSOR="$proc" -D SYSTEM=Generic -P "$root/cmake/KestrixFlags.cmake")
  for src in kestrix kestrix_snprintf; do
    # shellcheck disable=SC2086 # the flags are words
    $gxx -std=c++11 -fvisibility=hidden -Wall -Wextra -Werror $tflags $flags -Os -ffunction-sections \
      -fdata-sections -I"$root/include" -c "$root/src/$src.cpp" -o "$dir/$src.o"
  done
  rm -f "$dir/libkestrix.a"
  "${tools}ar" rcs "$dir/libkestrix.a" "$dir/kestrix.o" "$dir/kestrix_snprintf.o"
  for i in 0 1 2 3 4; do
    # shellcheck disable=SC2086
    "${tools}gcc" $tflags -std=c11 -Os -ffunction-sections -fdata-sections -ffreestanding -fno-pie -no-pie \
      -nostdlib -static -Wall -Wextra -Werror -I"$root/include" -DFIRMWARE_IMAGE=$i \
      "$root/tests/freestanding/firmware.c" "$dir/libkestrix.a" -lgcc -Wl,--gc-sections -Wl,-e,firmware_start \
      -Wl,--build-id=none -o "$dir/image$i.elf"
    size=$(readelf -W -S "$dir/image$i.elf" | sed 's/^ *\[ *[0-9]*\] //' | awk '$1 == ".text" {print $5}')
    size=$((16#$size))
    if [ $i = 0 ]; then base=$size; else row="$row $((size - base))"; fi
  done
  echo "${row# }"
}

# Each image against its limit in tests/freestanding/firmware.limits.
firmware_check() {
  local t sizes limits k got want bad=0
  for t in cortex-m0 cortex-m3 rv32imac; do
    sizes=($(firmware_sizes $t "$out/firmware/$t"))
    limits=($(awk -v t=$t '$1 == t {print $2, $3, $4, $5, $6}' "$firmware_limits"))
    [ ${#limits[@]} -eq 5 ] || { echo "no limits for $t in $firmware_limits"; return 1; }
    for k in 0 1 2 3; do
      got=${sizes[$k]} want=${limits[$k]}
      echo "$t image $((k + 1)): $got bytes of .text, limit $want"
      [ "$got" -le "$want" ] || bad=1
    done
    got=$((sizes[3] - sizes[0])) want=${limits[4]}
    echo "$t: KESTRIX_BPRINTF alone is $got bytes over KESTRIX_SNPRINTF alone, limit $want"
    [ "$got" -le "$want" ] || bad=1
  done
  [ $bad -eq 0 ]
}

# Bytes of code in OBJECT: its executable sections.
code_bytes() {
  local sum=0 size
  for size in $(readelf -W -S "$1" | sed 's/^ *\[ *[0-9]*\] //' | awk '$7 ~ /X/ {print $5}'); do
    sum=$((sum + 16#$size))
  done
  echo "$sum"
}

# The deepest call chain's stack, the sum of its frames from the .su file
# SU, each function named from the source line it reports (GCC garbles
# variadic names there). A function missing from SU was inlined into its
# caller, whose frame holds it.
buffer_chain="kestrix_sprintf kestrix_vfnprintf interpret_into_buffer convert kestrix_dec kestrix_str"
sink_chain="kestrix_fnprintf kestrix_vfnprintf interpret_through_sink convert kestrix_dec kestrix_str str_to_sink"
frame_bytes() { # SU: "name bytes" per function
  local where bytes line
  while IFS=$'\t' read -r where bytes _; do
    line=$(echo "$where" | sed -E 's/^[^:]*:([0-9]+):.*/\1/')
    echo "$(sed -n "${line}p" "$root/src/kestrix.cpp" | sed 's/__attribute__(([^)]*))//g' |
      grep -oE '[A-Za-z_][A-Za-z0-9_]*\(' | head -n 1 | tr -d '(') $bytes"
  done <"$1"
}
deepest_stack() { # SU
  local frames chain f sum deepest=0
  frames=$(frame_bytes "$1")
  for chain in "$buffer_chain" "$sink_chain"; do
    sum=0
    for f in $chain; do sum=$((sum + $(awk -v n="$f" '$1 == n {print $2; exit}' <<<"$frames" | grep . || echo 0))); done
    [ "$sum" -le "$deepest" ] || deepest=$sum
  done
  echo "$deepest"
}

# Runs its arguments as a background job, at most KESTRIX_JOBS (2) at once.
spawn() {
  while [ "$(jobs -rp | wc -l)" -ge "${KESTRIX_JOBS:-2}" ]; do wait -n || true; done
  "$@" &
}

# Each check writes a log and then its verdict, "ok: WHAT" or "FAIL: WHAT",
# as the log's last line. It runs in a process of its own, where the first
# command that fails ends it (a condition's test would not stop there).
verdict() { # LOG, WHAT, command...
  local log=$1 what=$2
  shift 2
  ("$@") >"$log" 2>&1 &
  if wait $!; then echo "ok: $what" >>"$log"; else echo "FAIL: $what" >>"$log"; fi
}

# --- GCC and Clang at every level ------------------------------------------
matrix_check() {
  library_object "$compiler" "$level" "$base"
  sh "$root/tests/check_library.sh" - "$base.a" "$proc" "${tools}objdump" "${tools}nm" "$root" 0
}

matrix_job() { # TARGET COMPILER LEVEL
  select_target "$1"
  local compiler=$2 level=$3 base=$out/objects/$1-$2-$3
  verdict "$base.log" "$1 $2 -$3: imports only linker-defined names, no state, no FP/SIMD" matrix_check
}

# --- Linux under qemu-user --------------------------------------------------
# The test programs' flags: no library calls, no FP/SIMD, as the library.
program_flags() {
  cmake -D ID=GNU -D PROCESSOR="$proc" -P "$root/cmake/KestrixFlags.cmake" |
    tr ' ' '\n' | grep -E '^-(ffreestanding|fno-stack-protector|m|fno-tree|fno-jump)' | tr '\n' ' '
}

linux_checks() {
  local dir=$out/$name sysroot=/usr/$triple
  local qemu=("$run" -L "$sysroot" -E "LD_LIBRARY_PATH=$dir/build")
  local example
  cmake -S "$root" -B "$dir/build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$triple.cmake" -DKESTRIX_WERROR=ON \
    -DKESTRIX_BUILD_TESTS=OFF
  cmake --build "$dir/build"
  for example in demo nolibc cpp_format signal_report; do
    cmake -D EXAMPLE=$example -D EXE="$dir/build/examples/kestrix-${example//_/-}" -D EMULATOR="$run|-L|$sysroot" \
      -P "$root/tests/adoption/run_example.cmake"
  done
  sh "$root/tests/check_library.sh" "$dir/build/libkestrix.so" "$dir/build/libkestrix.a" "$proc" \
    "${tools}objdump" "${tools}nm" "$root" 0
  # shellcheck disable=SC2046
  "${triple}-gcc" -std=c11 -Wall -Wextra -Werror -fno-builtin $(program_flags) -static -nostdlib \
    -I"$root/include" -I"$root/examples" "$root/tests/freestanding/nolibc.c" "$root/tests/freestanding/selftest.c" \
    "$root/examples/nolibc_start.c" "$dir/build/libkestrix.a" -o "$dir/selftest"
  "$run" "$dir/selftest" >"$dir/selftest.out"
  grep -E '^[1-9][0-9]* passed, 0 failed$' "$dir/selftest.out"
  # As kestrix::kestrix links them: the bounded and descriptor calls from
  # libkestrix_nonshared.a, before the shared library. c_checked.c wraps
  # write(2), as its CTest build does.
  local libs=(-L"$dir/build" -lkestrix_nonshared -lkestrix)
  "${triple}-gcc" -std=c99 -Wall -Wextra -pedantic -Werror -I"$root/include" "$root/tests/adoption/c_api.c" \
    "${libs[@]}" -o "$dir/c_api"
  "${triple}-gcc" -std=c11 -Wall -Wextra -pedantic -Werror -I"$root/include" "$root/tests/adoption/c_checked.c" \
    "${libs[@]}" -Wl,--wrap=write \
    -o "$dir/c_checked"
  "${triple}-g++" -std=c++20 -Wall -Wextra -pedantic -Werror -I"$root/include" \
    "$root/tests/adoption/cpp_interface.cpp" "${libs[@]}" -o "$dir/cpp_interface"
  "${qemu[@]}" "$dir/c_api" && "${qemu[@]}" "$dir/c_checked" && "${qemu[@]}" "$dir/cpp_interface"
}

linux_job() { # TARGET
  select_target "$1"
  mkdir -p "$out/$1"
  verdict "$out/$1.log" "$1: library, inspection, examples, self-test with no C library, C and C++ tests" linux_checks
}

# --- Bare machines under qemu-system ----------------------------------------
# bare_image IMAGE LIBRARY ARG...: links the start code, the program's
# sources and flags ARG... (the example's, or the self-test's) and LIBRARY.
bare_image() {
  local image=$1 library=$2 code=0 ram=0x20000000
  shift 2
  [[ $proc != riscv* ]] || code=0x80000000 ram=0x80100000
  # shellcheck disable=SC2046,SC2086
  "${tools}gcc" -std=gnu11 -Wall -Wextra -Werror -fno-builtin $(program_flags) $tflags -fno-pic -no-pie -Os \
    -fno-unwind-tables -fno-asynchronous-unwind-tables -I"$root/include" -I"$root/examples" -nostdlib -static \
    -T "$root/examples/bare.ld" -Wl,--defsym=bare_code=$code -Wl,--defsym=bare_ram=$ram -Wl,--build-id=none \
    "$root/examples/bare_start.c" "$@" "$library" -o "$image"
}

# Runs IMAGE on the machine; its output must match EXPECT and QEMU exit
# with STATUS. A run that hangs fails too.
bare_run() { # IMAGE STATUS EXPECT
  local status=0
  # shellcheck disable=SC2086 # the machine's words
  timeout 60 $run -nographic -monitor none -serial none -semihosting-config enable=on,target=native \
    -kernel "$1" >"$1.out" 2>&1 || status=$?
  tail -n 3 "$1.out"
  [ "$status" -eq "$2" ] && grep -qE "$3" "$1.out"
}

# The bare targets that a toolchain file of cmake/ builds for: the file and
# the cache entries that choose the core.
declare -A toolchain=(
  [cortex-m3]=arm-none-eabi.cmake
  [cortex-m0]="arm-none-eabi.cmake -DKESTRIX_CPU=cortex-m0"
  [rv32imac]=riscv-bare.cmake
  [rv64imac]="riscv-bare.cmake -DKESTRIX_RISCV_ARCH=rv64imac -DKESTRIX_RISCV_ABI=lp64"
)

# The archive as CMake builds it with the target's toolchain file: nothing
# but the library and the bounded call (no shared library, tests, examples
# or descriptor output), for the core the table's flags give (the same
# build attributes as the hand-built archive at the build's -O2), passing
# the library inspection; the self-test linked with it runs.
toolchain_checks() { # DIR SELFTEST...
  local dir=$1 file cache made
  shift
  read -r file cache <<<"${toolchain[$name]}"
  # shellcheck disable=SC2086 # the cache entries are words
  cmake -S "$root" -B "$dir/cmake" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$file" -DKESTRIX_WERROR=ON $cache
  cmake --build "$dir/cmake"
  for made in libkestrix.so examples tests; do [ ! -e "$dir/cmake/$made" ]; done
  [ "$("${tools}ar" t "$dir/cmake/libkestrix.a" | sort | xargs)" = "kestrix.cpp.obj kestrix_snprintf.cpp.obj" ]
  diff <(readelf -A "$out/objects/$name-gcc-O2.a" | grep -v '^File: ') \
    <(readelf -A "$dir/cmake/libkestrix.a" | grep -v '^File: ')
  sh "$root/tests/check_library.sh" - "$dir/cmake/libkestrix.a" "$proc" "${tools}objdump" "${tools}nm" "$root" 0
  bare_image "$dir/cmake.elf" "$dir/cmake/libkestrix.a" "$@"
  bare_run "$dir/cmake.elf" 0 '^[1-9][0-9]* passed, 0 failed$'
}

bare_checks() {
  local dir=$out/$name compiler level selftest
  selftest=("$root/tests/freestanding/bare.c" "$root/tests/freestanding/selftest.c")
  bare_image "$dir/example.elf" "$out/objects/$name-gcc-Os.a" "$root/examples/bare.c"
  bare_run "$dir/example.elf" 0 '^no firmware: kestrix -42 BEEF$'
  for compiler in gcc clang; do
    for level in Os O2; do
      bare_image "$dir/$compiler-$level.elf" "$out/objects/$name-$compiler-$level.a" "${selftest[@]}"
      bare_run "$dir/$compiler-$level.elf" 0 '^[1-9][0-9]* passed, 0 failed$'
    done
  done
  if [[ $proc == riscv* ]]; then
    bare_image "$dir/fp-probe.elf" "$out/objects/$name-gcc-O2.a" "${selftest[@]}" -DBARE_FP_PROBE
    bare_run "$dir/fp-probe.elf" 2 '^trap: cause 0x0*2$' # illegal instruction
  fi
  [ -z "${toolchain[$name]:-}" ] || toolchain_checks "$dir" "${selftest[@]}"
}

bare_job() { # TARGET
  select_target "$1"
  mkdir -p "$out/$1"
  local what="$1: self-test on $run, GCC and Clang at -Os and -O2"
  [ -z "${toolchain[$1]:-}" ] || what="$what, and libkestrix.a by cmake/${toolchain[$1]}"
  verdict "$out/$1.log" "$what" bare_checks
}

# --- The compile lines of docs/targets.md -----------------------------------
# The first code block of docs/targets.md whose first line starts with
# PREFIX, each line continued with a backslash joined to the next.
doc_block() { # PREFIX
  awk -v p="$1" '/^```/ { if (!inside) { inside = 1; first = 1 } else if (found) exit; else inside = 0; next }
    inside && first { first = 0; found = index($0, p) == 1 } inside && found' "$root/docs/targets.md" |
    sed -e ':a' -e '/\\$/N; s/\\\n//; ta'
}

# The selected target's lines, run as written in a copy of the source tree:
# the compile line is the compiler and the target flags of the table, the
# words every build gives (the standard, -Os, -fPIC and hidden visibility),
# and then exactly the library's flags of cmake/KestrixFlags.cmake for GCC
# on a bare machine; its archive passes the library inspection, and the
# example that the next block links with it runs on the machine.
doc_checks() {
  local dir=$out/docs/$name compile line want
  mkdir -p "$dir"
  cp -r "$root/include" "$root/src" "$root/examples" "$dir"
  compile=$(doc_block "$gxx $tflags ")
  line=$(grep -F src/kestrix.cpp <<<"$compile" | xargs)
  want="$gxx $tflags -std=c++11 -Os -fPIC -fvisibility=hidden"
  want="$want $(cmake -D ID=GNU -D PROCESSOR="$proc" -D SYSTEM=Generic -P "$root/cmake/KestrixFlags.cmake")"
  want="$want -Iinclude -c src/kestrix.cpp src/kestrix_snprintf.cpp"
  printf 'docs/targets.md: %s\nthe build:       %s\n' "$line" "$want"
  [ "$line" = "$want" ]
  (cd "$dir" && sh -ex <<<"$compile")
  sh "$root/tests/check_library.sh" - "$dir/libkestrix.a" "$proc" "${tools}objdump" "${tools}nm" "$root" 0
  (cd "$dir" && timeout 120 sh -ex <<<"$(doc_block "${tools}gcc $tflags ")") >"$dir/example.out" 2>&1
  cat "$dir/example.out"
  grep -q '^no firmware: kestrix -42 BEEF$' "$dir/example.out"
}

doc_job() { # TARGET
  select_target "$1"
  verdict "$out/docs-$1.log" "$1: the compile lines of docs/targets.md, the library's flags, run as written" doc_checks
}

caller_check() {
  local bytes
  bytes=$(caller_text "$out/objects/bounded_caller.o")
  echo "one KESTRIX_SNPRINTF call of two arguments: $bytes bytes of .text"
  [ "$bytes" -le "$caller_limit" ]
}

main() {
  ensure_targets
  out=${KESTRIX_TEST_DIR:-$root/build-test}/targets
  local chosen=("$@") t c l
  [ ${#chosen[@]} -gt 0 ] || mapfile -t chosen < <(target_names)
  rm -rf "$out"
  mkdir -p "$out/objects"
  for t in "${chosen[@]}"; do
    select_target "$t"
    for c in gcc clang; do
      for l in O0 Os O2 O3; do spawn matrix_job "$t" $c $l; done
    done
  done
  wait
  for t in "${chosen[@]}"; do
    select_target "$t"
    case $run in
    -) ;;
    qemu-system-*) spawn bare_job "$t" ;;
    *) spawn linux_job "$t" ;;
    esac
    case $t in
    cortex-m3 | rv32imac) spawn doc_job "$t" ;;
    esac
    [ "$t" != cortex-m3 ] ||
      spawn verdict "$out/caller.log" "cortex-m3: a unit with one bounded call, at most $caller_limit bytes of .text" caller_check
    [ "$t" != cortex-m3 ] ||
      spawn verdict "$out/firmware.log" "firmware images within tests/freestanding/firmware.limits" firmware_check
  done
  wait
  local log failed=()
  for log in "$out"/objects/*.log "$out"/*.log; do
    tail -n 1 "$log"
    tail -n 1 "$log" | grep -q '^ok: ' || failed+=("$log")
  done
  for log in "${failed[@]}"; do
    echo "== $log"
    tail -n 40 "$log"
  done
  [ ${#failed[@]} -eq 0 ]
}

# Sourced (by scripts/footprint.sh) it only defines the table and helpers.
if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  main "$@"
fi
