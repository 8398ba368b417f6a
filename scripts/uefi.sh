#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The uefi leg: docs/uefi.md run as written. The example application
# (examples/uefi/uefi_app.c) is built as a PE image by clang and lld-link and
# by gnu-efi, each for x86-64 and aarch64, with the compile, link
# and boot lines of that page, whose compile lines must carry exactly the
# flags cmake/KestrixFlags.cmake prints for SYSTEM=UEFI. Each image boots
# under OVMF or AAVMF and must print the page's output block exactly, then
# switch the machine off. The x86-64 images' code must reach nothing below
# the stack pointer, a reading held to catching the library built without
# -mno-red-zone.
#
# usage: scripts/uefi.sh    (output under $KESTRIX_TEST_DIR/uefi, default build-test/uefi)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
out=${KESTRIX_TEST_DIR:-$root/build-test}/uefi
doc=$root/docs/uefi.md

. "$root/scripts/ensure.sh"

# The first code block of docs/uefi.md whose first line starts with PREFIX,
# each line continued with a backslash joined to the next.
doc_block() { # PREFIX
  awk -v p="$1" '/^```/ { if (!inside) { inside = 1; first = 1 } else if (found) exit; else inside = 0; next }
    inside && first { first = 0; found = index($0, p) == 1 } inside && found' "$doc" |
    sed -e ':a' -e '/\\$/N; s/\\\n//; ta'
}

# What the application prints: the page's one text block.
expected() {
  awk '/^```text$/ { inside = 1; next } inside && /^```/ { exit } inside' "$doc"
}

# Reads `objdump -d` of x86-64 code and prints each instruction that reaches
# below the stack pointer: a negative offset from %rsp, or one from %rbp
# past what a frame set up by `mov %rsp,%rbp` has allocated since (its
# pushes and `sub $N,%rsp`). Compilers address the stack through these two
# alone, so code with no such instruction keeps nothing below %rsp. A `ret`
# ends the frame: a stripped image has no names between functions, and what
# follows may be a jump table decoded as code, or code that keeps no frame
# in %rbp. A `lea` computes an address and reads nothing.
below_stack_pointer() {
  awk 'function hex(s,  i, n) { n = 0; for (i = 1; i <= length(s); i++) n = n * 16 + index("0123456789abcdef", substr(s, i, 1)) - 1; return n }
    function offset(  m) { m = substr($0, RSTART, RLENGTH); return hex(substr(m, 4, index(m, "(") - 4)) }
    /^[0-9a-f]+ <[^>]*>:$/ || /\tret/ { frame = 0; next }
    /\tlea / { next }
    /\tmov +%rsp,%rbp$/ { frame = 1; low = 0; next }
    frame && /\tpush +%/ { low += 8 }
    frame && match($0, /\tsub +\$0x[0-9a-f]+,%rsp$/) { m = substr($0, RSTART, RLENGTH); sub(/^.*\$0x/, "", m); sub(/,.*/, "", m); low += hex(m) }
    /-0x[0-9a-f]+\(%rsp[,)]/ { print; next }
    frame && match($0, /-0x[0-9a-f]+\(%rbp[,)]/) && offset() > low { print }'
}

# route: prefix of its compile block in the page, compiler id, processor,
# the compile line's words before the library's flags, the image's name.
declare -A routes=(
  [pe-x86_64]="clang++ --target=x86_64-unknown-windows|Clang|x86_64|-std=c++11 -O2|BOOTX64.EFI"
  [pe-aarch64]="clang++ --target=aarch64-unknown-windows|Clang|aarch64|-std=c++11 -O2|BOOTAA64.EFI"
  [gnu-efi]="g++ -std=c++11|GNU|x86_64|-O2 -fpic|BOOTX64.EFI"
  [gnu-efi-aarch64]="aarch64-linux-gnu-g++ -std=c++11|GNU|aarch64|-O2 -fpic|BOOTAA64.EFI"
)

# Debian's arm64 gnu-efi, unpacked as docs/uefi.md says into a folder kept
# between runs (beside $out, which each run starts afresh), so that a
# second run downloads nothing.
unpack_arm64_gnu_efi() { # DIR
  local arm=$1
  [ -e "$arm/unpacked" ] && return 0
  echo "== uefi: unpacking Debian's arm64 gnu-efi into $arm"
  rm -rf "$arm"
  mkdir -p "$arm/apt/lists/partial" "$arm/apt/cache/archives/partial" "$arm/deb"
  : >"$arm/apt/status"
  local apt=(-q -o "Dir::State::Lists=$arm/apt/lists" -o "Dir::Cache=$arm/apt/cache"
    -o "Dir::State::status=$arm/apt/status" -o APT::Architecture=arm64 -o APT::Architectures::=arm64
    -o APT::Sandbox::User=root)
  { apt-get "${apt[@]}" update && (cd "$arm/deb" && apt-get "${apt[@]}" download gnu-efi); } >"$arm/apt.log" 2>&1 ||
    { cat "$arm/apt.log"; return 1; }
  dpkg-deb -x "$arm"/deb/gnu-efi_*_arm64.deb "$arm/arm64"
  [ -e "$arm/arm64/usr/lib/elf_aarch64_efi.lds" ] || { echo "FAIL: no elf_aarch64_efi.lds in Debian's arm64 gnu-efi"; return 1; }
  touch "$arm/unpacked"
}

# Builds ROUTE's image with the page's lines in a copy of the tree, boots
# it, and compares what it printed.
route_checks() { # ROUTE
  local dir=$out/$1 prefix id proc words image block line want run start status got
  IFS='|' read -r prefix id proc words image <<<"${routes[$1]}"
  mkdir -p "$dir"
  cp -r "$root/include" "$root/src" "$root/examples" "$dir"
  [ "$1" != gnu-efi-aarch64 ] || ln -s "$arm_gnu_efi/arm64" "$dir/arm64"
  block=$(doc_block "$prefix ")
  line=$(grep -F src/kestrix.cpp <<<"$block" | xargs)
  want="$prefix $words $(cmake -D ID="$id" -D PROCESSOR="$proc" -D SYSTEM=UEFI -P "$root/cmake/KestrixFlags.cmake")"
  want="$want -Iinclude -c src/kestrix.cpp src/kestrix_snprintf.cpp"
  printf 'docs/uefi.md: %s\nthe flags:    %s\n' "$line" "$want"
  [ "$line" = "$want" ] || { echo "FAIL: $1: the page's compile line is not the library's flags"; return 1; }
  (cd "$dir" && sh -ex <<<"$block")
  [ -s "$dir/$image" ]

  # The boot, each QEMU bounded in time: it ends only by the application's
  # ResetSystem, with status 0.
  run=$(doc_block "mkdir -p esp/EFI/BOOT && cp $image " | sed 's/^qemu-system-/timeout 120 qemu-system-/')
  start=$SECONDS status=0
  (cd "$dir" && sh -ex <<<"$run") </dev/null >"$dir/boot.out" 2>&1 || status=$?
  echo "== uefi: $1: booted in $((SECONDS - start)) s, QEMU exit status $status"
  got=$(tr -d '\r' <"$dir/boot.out" | awk -v first="$(expected | head -n 1)" -v last="$(expected | tail -n 1)" \
    '$0 == first { on = 1 } on { print } on && $0 == last { exit }')
  if [ "$status" -ne 0 ] || [ "$got" != "$(expected)" ]; then
    tail -n 30 "$dir/boot.out"
    diff <(expected) <(printf '%s\n' "$got") || true
    echo "FAIL: $1: the application's output under $([ "$proc" = x86_64 ] && echo OVMF || echo AAVMF)"
    return 1
  fi
  echo "ok: $1: $image printed the page's $(expected | wc -l) lines and switched the machine off"
}

# No x86-64 image's code reaches below %rsp (gnu-efi's from the ELF object
# before objcopy, with its symbols), nor does the library's built by GCC
# unoptimised with the printed flags; without -mno-red-zone the same build
# must be caught, so the reading does see red-zone use.
red_zone_checks() {
  local dir=$out/red-zone flags source found
  mkdir -p "$dir"
  found=$(objdump -d --no-show-raw-insn "$out/gnu-efi/uefi_app.so" "$out/pe-x86_64/BOOTX64.EFI" |
    below_stack_pointer)
  [ -z "$found" ] || { echo "FAIL: below the stack pointer in the x86-64 images:"; echo "$found"; return 1; }
  flags=$(cmake -D ID=GNU -D PROCESSOR=x86_64 -D SYSTEM=UEFI -P "$root/cmake/KestrixFlags.cmake")
  [[ " $flags " == *" -mno-red-zone "* ]] || { echo "FAIL: no -mno-red-zone in: $flags"; return 1; }
  for source in kestrix kestrix_snprintf; do
    # shellcheck disable=SC2086 # the flags are words
    g++ -std=c++11 -O0 -fpic $flags -I"$root/include" -c "$root/src/$source.cpp" -o "$dir/$source.o"
    # shellcheck disable=SC2086
    g++ -std=c++11 -O0 -fpic ${flags/-mno-red-zone/} -I"$root/include" -c "$root/src/$source.cpp" \
      -o "$dir/$source-red-zone.o"
  done
  found=$(objdump -d --no-show-raw-insn "$dir/kestrix.o" "$dir/kestrix_snprintf.o" | below_stack_pointer)
  [ -z "$found" ] || { echo "FAIL: below the stack pointer with the printed flags at -O0:"; echo "$found"; return 1; }
  found=$(objdump -d --no-show-raw-insn "$dir/kestrix-red-zone.o" "$dir/kestrix_snprintf-red-zone.o" |
    below_stack_pointer | wc -l)
  [ "$found" -gt 0 ] || { echo "FAIL: the reading finds nothing in the library built without -mno-red-zone"; return 1; }
  echo "ok: no access below %rsp in the x86-64 images nor at -O0 with the printed flags;" \
    "$found without -mno-red-zone"
}

main() {
  ensure cmake cmake clang clang lld lld-link gnu-efi /usr/lib/elf_x86_64_efi.lds binutils objdump \
    ovmf /usr/share/OVMF/OVMF_CODE_4M.fd qemu-efi-aarch64 /usr/share/qemu-efi-aarch64/QEMU_EFI.fd \
    qemu-system-x86 qemu-system-x86_64 qemu-system-arm qemu-system-aarch64 g++ g++ \
    g++-aarch64-linux-gnu aarch64-linux-gnu-g++
  local start=$SECONDS route failed=0
  arm_gnu_efi=$out-gnu-efi-arm64
  unpack_arm64_gnu_efi "$arm_gnu_efi"
  rm -rf "$out"
  mkdir -p "$out"
  for route in pe-x86_64 pe-aarch64 gnu-efi gnu-efi-aarch64; do
    route_checks "$route" >"$out/$route.log" 2>&1 || failed=1
    grep -E '^(== uefi|ok|FAIL)' "$out/$route.log" || true
    [ "$failed" -eq 0 ] || { tail -n 40 "$out/$route.log"; return 1; }
  done
  red_zone_checks
  echo "== uefi: every route in $((SECONDS - start)) s"
}

main "$@"
