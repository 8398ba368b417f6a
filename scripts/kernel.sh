#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The kernel leg: examples/kernel built by kernel/kestrix.kbuild against
# Debian's x86-64 and arm64 kernels, each booted under QEMU (TCG) with a
# busybox initramfs that loads and unloads the module. Fails on any warning
# in the build, on a line the module prints that differs from
# examples/kernel/expected.txt, on library code without the kernel's
# mitigations (x86-64: return thunks, retpolines, -mfentry; arm64: pac-ret)
# or without objtool's ORC data (x86-64), and on a stack trace taken in a
# flush with an unreliable ('?') frame or none of the library's.
# The arm64 packages are unpacked, not installed, and kept under
# $out/kernel, so a second run downloads nothing.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
out=${KESTRIX_TEST_DIR:-$root/build-test}
jobs=${KESTRIX_JOBS:-2}
dir=$out/kernel
. "$root/scripts/ensure.sh"

ensure linux-headers-amd64 /usr/share/doc/linux-headers-amd64/copyright \
       linux-image-amd64 /usr/share/doc/linux-image-amd64/copyright \
       busybox-static /bin/busybox cpio cpio g++-12 g++-12 binutils objdump \
       qemu-system-x86 qemu-system-x86_64 qemu-system-arm qemu-system-aarch64 \
       g++-aarch64-linux-gnu aarch64-linux-gnu-g++-12
ver=$(dpkg-query -W -f='${Depends}' linux-headers-amd64 | sed -n 's/^linux-headers-\([^ ,]*\)-amd64 .*/\1/p')
kbuild=$(dirname "$(readlink -f "/usr/src/linux-headers-$ver-amd64/scripts")")

fail() { echo "FAIL: $*"; exit 1; }

# Debian's arm64 kernel, headers and busybox, with apt's lists for arm64
# kept apart from the system's; the headers' scripts and tools are the
# host's (the amd64 linux-kbuild).
arm=$dir/arm64-$ver
if [ ! -e "$arm/unpacked" ]; then
  echo "== kernel: unpacking Debian's arm64 $ver packages into $arm"
  rm -rf "$arm"
  mkdir -p "$arm/apt/lists/partial" "$arm/apt/cache/archives/partial" "$arm/deb"
  : >"$arm/apt/status"
  apt=(-q -o "Dir::State::Lists=$arm/apt/lists" -o "Dir::Cache=$arm/apt/cache" -o "Dir::State::status=$arm/apt/status"
    -o APT::Architecture=arm64 -o APT::Architectures::=arm64 -o APT::Sandbox::User=root)
  apt-get "${apt[@]}" update >"$arm/apt.log" 2>&1 || { cat "$arm/apt.log"; exit 1; }
  (cd "$arm/deb" && apt-get "${apt[@]}" download "linux-headers-$ver-arm64" "linux-image-$ver-arm64" busybox-static) \
    >>"$arm/apt.log" 2>&1 || { cat "$arm/apt.log"; exit 1; }
  for deb in "$arm"/deb/*.deb; do dpkg-deb -x "$deb" "$arm/root"; done
  mkdir -p "$arm/root/usr/lib"
  ln -sfn "$kbuild" "$arm/root/usr/lib/$(basename "$kbuild")"
  touch "$arm/unpacked"
fi

# docs/kernel.md prints the example's Kbuild as it is (less its licence line).
while IFS= read -r line; do
  [[ $line == '# SPDX-License-Identifier:'* ]] && continue
  grep -qxF "$line" "$root/docs/kernel.md" || fail "docs/kernel.md lacks the example's Kbuild line: $line"
done <"$root/examples/kernel/Kbuild"

build() { # name kernel-build-dir make-args...
  local name=$1 b=$dir/$1 kdir=$2
  shift 2
  rm -rf "$b" && mkdir -p "$b"
  cp "$root"/examples/kernel/{Kbuild,main.c} "$b/"
  echo "== kernel: $name: make -C $kdir M=$b KESTRIX_DIR=$root $* modules"
  make -j"$jobs" -C "$kdir" M="$b" KESTRIX_DIR="$root" "$@" modules >"$b.log" 2>&1 || { cat "$b.log"; exit 1; }
  ! grep -i 'warning' "$b.log" || fail "$name: the build warns"
  grep -q "CXX \[M\]  *$b/kestrix_snprintf.o" "$b.log" || fail "$name: no C++ object in the build log"
}

# Boots the kernel with an initramfs that loads the module and unloads it,
# then compares the module's lines and checks the trace taken in the flush.
boot() { # name busybox qemu-command...
  local name=$1 b=$dir/$1 bb=$2 log=$dir/$1.console
  shift 2
  rm -rf "$b/initramfs" && mkdir -p "$b/initramfs"/{bin,dev,proc,sys}
  cp "$bb" "$b/initramfs/bin/busybox"
  for t in sh mount insmod rmmod poweroff; do ln -s busybox "$b/initramfs/bin/$t"; done
  cp "$b/kestrix_example.ko" "$b/initramfs/"
  printf '%s\n' '#!/bin/sh' 'mount -t proc proc /proc' 'mount -t sysfs sys /sys' 'mount -t devtmpfs dev /dev' \
    'insmod /kestrix_example.ko && rmmod kestrix_example' 'poweroff -f' >"$b/initramfs/init"
  chmod +x "$b/initramfs/init"
  (cd "$b/initramfs" && find . | cpio -o -H newc --quiet | gzip) >"$b/initrd.gz"
  echo "== kernel: $name: boot"
  timeout 180 "$@" -m 512M -nographic -no-reboot -initrd "$b/initrd.gz" </dev/null 2>&1 | tr -d '\r' >"$log" ||
    { tail -40 "$log"; fail "$name: QEMU failed or timed out"; }
  # The kernel's own lines about an unsigned out-of-tree module are not ours.
  sed -n 's/^\(\[[ 0-9.]*\] \)\{0,1\}kestrix_example: //p' "$log" |
    grep -vE 'taints kernel|module verification failed' >"$b/lines.txt" || true
  diff -u "$root/examples/kernel/expected.txt" "$b/lines.txt" || { tail -40 "$log"; fail "$name: the module's lines differ"; }
  sed -n '/kestrix_example: trace begins/,/kestrix_example: trace ends/p' "$log" >"$b/trace.txt"
  # A '?' marks a word on the stack that the unwinder did not reach as a
  # frame: none may be a return address into the module, and the frames
  # from the flush through the library to the kernel's caller must all be
  # reached. A word that points at a function's first byte (sym+0, or
  # sym+size/size, the next one's) is a function pointer, such as the
  # sink's, that a callee saved with its registers: no call returns there.
  ! awk '/\] +\? .*\[kestrix_example\]/ { split($0, w, "+"); split(w[2], o, "[/ ]");
        if (o[1] != "0x0" && o[1] != o[2]) { print; bad = 1 } } END { exit !bad }' "$b/trace.txt" ||
    fail "$name: unreliable frames of the module's"
  # The flush is called from the bounded pass (a local C++ function, by its
  # mangled name) under kestrix_bprintf_array.
  for f in 'kestrix_bprintf_array|_ZN12_GLOBAL__N_16pieces[[:alnum:]_]*' do_one_initcall; do
    grep -qE "\]  ($f)\+" "$b/trace.txt" || { cat "$b/trace.txt"; fail "$name: no reliable $f frame in the trace"; }
  done
  echo "ok: $name: $(wc -l <"$b/lines.txt") lines as expected; the trace passes through the library to do_one_initcall"
}

# Two drivers built into the kernel (obj-y) and the image's one copy of the
# library (kernel/Kbuild), each directory's built-in.a made by kbuild, then
# linked as vmlinux.o is: ld -r with the archives whole. No multiple
# definition, each of the library's functions defined once and called
# from both drivers, none left undefined; the drivers' archives hold no
# copy, their objects were compiled as the kernel's (no -DMODULE). The same
# link with a module's copy added must fail, so the link does see a clash.
builtin() { # name kernel-build-dir linker make-args...
  local name=$1 b=$dir/builtin-$1 kdir=$2 ld=$3 nm=${3%ld}nm d f n
  shift 3
  rm -rf "$b" && mkdir -p "$b"/{image,drv_a,drv_b}
  echo "include \$(KESTRIX_DIR)/kernel/Kbuild" >"$b/image/Kbuild"
  for d in drv_a drv_b; do
    cp "$root/examples/kernel/main.c" "$b/$d/"
    sed 's/^obj-m /obj-y /' "$root/examples/kernel/Kbuild" >"$b/$d/Kbuild"
  done
  for d in image drv_a drv_b; do
    make -j"$jobs" -C "$kdir" M="$b/$d" KESTRIX_DIR="$root" "$@" built-in.a >"$b/$d.log" 2>&1 || { cat "$b/$d.log"; exit 1; }
    ! grep -i 'warning' "$b/$d.log" || fail "builtin-$name: $d's build warns"
    ! grep -q -- '-DMODULE' "$b/$d"/.*.o.cmd || fail "builtin-$name: $d compiled as a module's"
  done
  for d in drv_a drv_b; do
    [ "$(ar t "$b/$d/built-in.a" | xargs -n1 basename | xargs)" = main.o ] ||
      fail "builtin-$name: $d's built-in.a holds $(ar t "$b/$d/built-in.a" | xargs)"
  done
  "$ld" -r -o "$b/vmlinux.o" --whole-archive "$b/drv_a/built-in.a" "$b/drv_b/built-in.a" "$b/image/built-in.a" \
    --no-whole-archive >"$b/ld.log" 2>&1 || { cat "$b/ld.log"; fail "builtin-$name: the two drivers do not link"; }
  n=0
  for f in $(funcs "$b/image/kestrix.o" "$b/image/kestrix_snprintf.o" | grep '^kestrix_'); do
    [ "$("$nm" "$b/vmlinux.o" | grep -c " T $f\$")" = 1 ] || fail "builtin-$name: $f is not defined once"
    n=$((n + 1))
  done
  ! "$nm" -u "$b/vmlinux.o" | grep kestrix_ || fail "builtin-$name: the library's functions left undefined"
  for d in drv_a drv_b; do
    "$nm" -u "$b/$d/main.o" | grep -q ' kestrix_' || fail "builtin-$name: $d calls no kestrix function"
  done
  ! "$ld" -r -o "$b/clash.o" --whole-archive "$b/drv_a/built-in.a" "$b/image/built-in.a" --no-whole-archive \
    "$dir/$name/kestrix.o" >"$b/clash.log" 2>&1 || fail "builtin-$name: a second copy links without a clash"
  grep -q "multiple definition of \`kestrix_" "$b/clash.log" || { cat "$b/clash.log"; fail "builtin-$name: no clash"; }
  echo "ok: $name: two built-in drivers and the image's copy link as vmlinux.o does, $n functions defined once;" \
    "a module's copy added clashes"
}

funcs() { # objects...: the functions in the library's objects
  local o
  for o; do readelf -sW "$o" | awk '$4 == "FUNC" && $8 !~ /\.cold/ { print $8 }'; done
}

# x86-64: no bare return or indirect branch, __fentry__ and the return
# thunk called; an ORC entry at the start of every function in the module.
x=$dir/x86_64
build x86_64 "/usr/src/linux-headers-$ver-amd64"
dis=$(objdump -dr "$x/kestrix.o" "$x/kestrix_snprintf.o")
! grep -E $'\t(ret|retq) *$' <<<"$dis" | head -3 | grep . || fail "x86_64: bare ret in the library"
! grep -E $'\t(cs )?(call|jmp)[a-z]* +\\*' <<<"$dis" | head -3 | grep . || fail "x86_64: indirect branch in the library"
for sym in __x86_return_thunk __fentry__; do grep -q "R_X86_64_PLT32[[:space:]]*$sym" <<<"$dis" || fail "x86_64: no call to $sym"; done
# objtool writes an ORC entry wherever the frame changes, so every function
# that pushes or makes room on the stack has one inside it.
orc=$(readelf -rW "$x/kestrix_example.ko" | awk '/^Relocation section/ { on = /\.rela\.orc_unwind_ip/ }
                                              on && NF == 7 { print $5 "/" $7 }')
missing=$(objdump -d "$x/kestrix_example.ko" | awk -v want="$(funcs "$x/kestrix.o" "$x/kestrix_snprintf.o")" -v orc="$orc" '
  function done() { if (name in wanted && framed) { nframed++; if (!covered) print name }; name = "" }
  BEGIN { n = split(want, w, "\n"); for (i = 1; i <= n; i++) wanted[w[i]] = 1
          n = split(orc, w, "\n"); for (i = 1; i <= n; i++) ip[w[i]] = 1 }
  /^Disassembly of section / { done(); sec = substr($4, 1, length($4) - 1) }
  /^[0-9a-f]+ <.*>:$/ { done(); name = substr($2, 2, length($2) - 3); framed = covered = 0 }
  /^ *[0-9a-f]+:\t/ { a = $1; sub(/:$/, "", a); if ((sec "/" a) in ip) covered = 1
                      if (/\tpush|\tsub +\$0x[0-9a-f]+,%rsp/) framed = 1 }
  END { done(); if (!nframed) print "(no function of the library'\''s with a frame)" }' | tr '\n' ' ')
[ -z "$missing" ] || fail "x86_64: no ORC data for: $missing"
echo "ok: x86_64: thunks and __fentry__ in the library's $(funcs "$x/kestrix.o" "$x/kestrix_snprintf.o" | wc -l) functions, ORC data in each with a frame"
builtin x86_64 "/usr/src/linux-headers-$ver-amd64" ld
boot x86_64 /bin/busybox qemu-system-x86_64 -accel tcg -cpu max -kernel "/boot/vmlinuz-$ver-amd64" \
  -append "console=ttyS0 panic=-1 loglevel=7 rdinit=/init"

# arm64: every function signs its return address.
a=$dir/arm64
build arm64 "$arm/root/usr/src/linux-headers-$ver-arm64" ARCH=arm64 CROSS_COMPILE=aarch64-linux-gnu-
unsigned=$(aarch64-linux-gnu-objdump -d "$a/kestrix.o" "$a/kestrix_snprintf.o" |
  awk '/^[0-9a-f]+ <.*>:$/ { if (f != "" && !pac) print f; f = substr($2, 2, length($2) - 3); pac = 0
                             if (f ~ /\.cold/) f = "" }
       /\tpaciasp/ { pac = 1 } END { if (f != "" && !pac) print f }' | tr '\n' ' ')
[ -z "$unsigned" ] || fail "arm64: no paciasp in: $unsigned"
builtin arm64 "$arm/root/usr/src/linux-headers-$ver-arm64" aarch64-linux-gnu-ld ARCH=arm64 CROSS_COMPILE=aarch64-linux-gnu-
echo "ok: arm64: paciasp in $(funcs "$a/kestrix.o" "$a/kestrix_snprintf.o" | wc -l) functions"
boot arm64 "$arm/root/bin/busybox" qemu-system-aarch64 -M virt -cpu max,pauth-impdef=on \
  -kernel "$arm/root/boot/vmlinuz-$ver-arm64" -append "console=ttyAMA0 panic=-1 loglevel=7 rdinit=/init"
