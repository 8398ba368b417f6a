#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Prints the library's footprint on x86-64 and aarch64 as Markdown: .text
# bytes of the shared library, of the library's object in the archive and
# of the bounded call's (kestrix_snprintf.cpp) beside it, each function's
# code bytes, and each function's stack frame from -fstack-usage, plus the
# deepest call chains. Builds the library alone, as the default build does
# (RelWithDebInfo), with -fstack-usage added. Then, for every target of
# scripts/targets.sh, the code bytes of the library's object and of the
# bounded call's, and the deepest chain's stack of the library, as the
# archive is built, by GCC and by Clang at -Os and at -O2; and the .text of
# a Cortex-M3 unit with one bounded call (tests/freestanding/bounded_caller.c);
# and the firmware images of tests/freestanding/firmware.c on the Cortex-M0,
# the Cortex-M3 and rv32imac (scripts/targets.sh's firmware_sizes).
# Installs the compilers it needs when missing.
# Exits non-zero when aarch64 .text exceeds 2,048 bytes, Cortex-M3's at GCC
# -Os 1,536, or the Cortex-M3 caller's 160.
#
# usage: scripts/footprint.sh
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
out=${KESTRIX_FOOTPRINT_DIR:-$root/build-footprint}
limit=2048 cortex_m3_limit=1536

. "$root/scripts/targets.sh"
ensure binutils c++filt
ensure_targets

build() { # name, extra cmake args...
  local name=$1
  shift
  cmake -S "$root" -B "$out/$name" -DKESTRIX_BUILD_TESTS=OFF -DKESTRIX_BUILD_EXAMPLES=OFF \
        -DCMAKE_CXX_FLAGS=-fstack-usage "$@" >"$out/$name.configure.log" 2>&1 ||
    { cat "$out/$name.configure.log" >&2; exit 1; }
  cmake --build "$out/$name" --target kestrix kestrix_static -j 2 >"$out/$name.build.log" 2>&1 ||
    { cat "$out/$name.build.log" >&2; exit 1; }
}

# "name bytes" per line: .text of the library, then each function's code.
text_bytes() {
  local hex
  hex=$(readelf -W -S "$1" | sed 's/^ *\[ *[0-9]*\] //' | awk '$1 == ".text" {print $5}')
  echo $((16#$hex))
}
function_bytes() {
  readelf -W -s "$1" | awk '$4 == "FUNC" && $7 != "UND" {print $8, $3}' | sed 's/@.*//' | sort -u |
    while read -r sym size; do echo "$(echo "$sym" | c++filt | sed 's/(.*//') $size"; done
}
lookup() { awk -v n="$1" '$1 == n {print $2; exit}' <<<"$2"; }

mkdir -p "$out"
build x86-64
build aarch64 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/aarch64-linux-gnu.cmake"

declare -A text archive_text bounded_text fns frames
for arch in x86-64 aarch64; do
  lib=$out/$arch/libkestrix.so
  archive_text[$arch]=$(text_bytes "$out/$arch/CMakeFiles/kestrix_objects.dir/src/kestrix.cpp.o")
  bounded_text[$arch]=$(text_bytes "$out/$arch/CMakeFiles/kestrix_call_objects.dir/src/kestrix_snprintf.cpp.o")
  su=$(find "$out/$arch" -name 'kestrix.cpp.su' | head -n 1)
  [ -f "$lib" ] && [ -n "$su" ] || { echo "no library or stack usage for $arch" >&2; exit 1; }
  text[$arch]=$(text_bytes "$lib")
  fns[$arch]=$(function_bytes "$lib")
  frames[$arch]=$(frame_bytes "$su")
done

echo "| | x86-64 | aarch64 |"
echo "|---|---:|---:|"
echo "| .text of libkestrix.so, bytes | ${text[x86-64]} | ${text[aarch64]} |"
echo "| .text of the library's object in libkestrix.a, bytes | ${archive_text[x86-64]} | ${archive_text[aarch64]} |"
echo "| .text of the bounded call's object beside it, bytes | ${bounded_text[x86-64]} | ${bounded_text[aarch64]} |"
echo
echo "| function | x86-64 code | x86-64 stack frame | aarch64 code | aarch64 stack frame |"
echo "|---|---:|---:|---:|---:|"
names=$(for a in x86-64 aarch64; do echo "${frames[$a]}"; done | awk '{print $1}' | awk '!seen[$0]++')
for f in $names; do
  echo "| \`$f\` | $(lookup "$f" "${fns[x86-64]}") | $(lookup "$f" "${frames[x86-64]}") |" \
       "$(lookup "$f" "${fns[aarch64]}") | $(lookup "$f" "${frames[aarch64]}") |"
done
echo
chain() { # arch, functions...
  local arch=$1 sum=0 f
  shift
  for f in "$@"; do sum=$((sum + $(lookup "$f" "${frames[$arch]}"))); done
  echo "$sum"
}
echo "| deepest call chain, sum of its frames in bytes | x86-64 | aarch64 |"
echo "|---|---:|---:|"
echo "| ${buffer_chain// / → } | $(chain x86-64 $buffer_chain) | $(chain aarch64 $buffer_chain) |"
echo "| ${sink_chain// / → } | $(chain x86-64 $sink_chain) | $(chain aarch64 $sink_chain) |"


footprint_job() { # TARGET COMPILER LEVEL
  select_target "$1"
  library_object "$2" "$3" "$out/targets/$1-$2-$3" >"$out/targets/$1-$2-$3.log" 2>&1
}
mkdir -p "$out/targets"
mapfile -t target_list < <(target_names)
for t in "${target_list[@]}"; do
  for c in gcc clang; do
    for l in Os O2; do spawn footprint_job "$t" $c $l; done
  done
done
wait
echo
echo "| target | GCC -Os | GCC -O2 | Clang -Os | Clang -O2 |"
echo "|---|---:|---:|---:|---:|"
for t in "${target_list[@]}"; do
  row="| $t |"
  for c in gcc clang; do
    for l in Os O2; do
      o=$out/targets/$t-$c-$l.o
      [ -f "$o" ] || { cat "${o%.o}.log" >&2; exit 1; }
      row="$row $(code_bytes "$o") / $(code_bytes "${o%.o}_snprintf.o") / $(deepest_stack "${o%.o}.su") |"
    done
  done
  echo "$row"
done
echo
echo "Each cell: bytes of code of the library / of the bounded call / the library's deepest call chain's"
echo "stack in bytes."
caller=$(caller_text "$out/targets/bounded_caller.o")
echo
echo "A Cortex-M3 unit with one KESTRIX_SNPRINTF call of two arguments (GCC -Os): $caller bytes of .text."
echo
echo "| firmware image, .text bytes it adds (GCC -Os, --gc-sections) | Cortex-M0 | Cortex-M3 | rv32imac |"
echo "|---|---:|---:|---:|"
declare -A image
for t in cortex-m0 cortex-m3 rv32imac; do image[$t]=$(firmware_sizes $t "$out/firmware/$t"); done
k=1
for what in "\`KESTRIX_SNPRINTF\` alone" "\`KESTRIX_FNPRINTF\` alone (a sink)" "both, and \`KESTRIX_SPRINTF\`" \
    "\`KESTRIX_BPRINTF\` alone (16 bytes, a flush)"; do
  row="| $what |"
  for t in cortex-m0 cortex-m3 rv32imac; do row="$row $(echo ${image[$t]} | cut -d' ' -f$k) |"; done
  echo "$row"
  k=$((k + 1))
done
echo
echo "One call of six conversions (%s %d %u %x %p %c) each (tests/freestanding/firmware.c); the limits the"
echo "targets leg holds are in tests/freestanding/firmware.limits."

if [ "${text[aarch64]}" -gt "$limit" ]; then
  echo "aarch64 .text is ${text[aarch64]} bytes, above $limit" >&2
  exit 1
fi
m3=$(code_bytes "$out/targets/cortex-m3-gcc-Os.o")
if [ "$m3" -gt "$cortex_m3_limit" ]; then
  echo "Cortex-M3 .text at GCC -Os is $m3 bytes, above $cortex_m3_limit" >&2
  exit 1
fi
if [ "$caller" -gt "$caller_limit" ]; then
  echo "the Cortex-M3 unit with one bounded call has $caller bytes of .text, above $caller_limit" >&2
  exit 1
fi
