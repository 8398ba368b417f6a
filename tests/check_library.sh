#!/bin/sh
# SPDX-License-Identifier: MIT
# Inspects the built shared library: it exports exactly the seven functions,
# needs nothing, has no writable data, no init code, no text relocations, an
# executable-free stack, unwind tables, load-time binding, interposable
# internal calls, and no FP/SIMD register use; and the static archive: no
# undefined symbols (but the few of the C library's that descriptor output
# calls), hidden names for the calls beside the seven, nothing writable, no
# constructors, no FP/SIMD register.
# usage: check_library.sh LIB ARCHIVE ARCH OBJDUMP NM SOURCE_DIR TEXT_LIMIT
#   LIB         the shared library, or - to inspect ARCHIVE (or one object)
#               alone
#   ARCH        CMAKE_SYSTEM_PROCESSOR: x86_64 i686 aarch64 arm riscv64 s390x
#               ppc64le
#   TEXT_LIMIT  most aarch64 .text bytes allowed; 0 for no limit (builds
#               that are not optimised)
set -u
lib=$1 archive=$2 arch=$3 objdump=$4 nm=$5 src=$6 text_limit=$7

# What differs by target: the FP/SIMD registers and the mnemonics that use
# them (as objdump prints them), the unwind tables' section, the names the
# archive's object may import because the linker defines them (or, on Arm,
# the unwind tables' personality markers), and a writable section it may
# have that only the linker fills (POWER's table of contents).
unwind=".eh_frame .eh_frame_hdr" imports='^$' writable='^$'
case $arch in
x86_64 | i?86)
  fp_regs='^%([xyz]mm[0-9]+|st|mm[0-7]|k[0-7])$' fp_mnem='^f'
  imports='^_GLOBAL_OFFSET_TABLE_$' ;;
aarch64)
  fp_regs='^([qdshb]([0-9]|[12][0-9]|3[01])|[vz]([0-9]|[12][0-9]|3[01])(\..*)?|fpcr|fpsr)$' fp_mnem='^f' ;;
arm* | cortex-m*)
  fp_regs='^([sd]([0-9]|[12][0-9]|3[01])|q([0-9]|1[0-5])|fpscr|fpexc)$' fp_mnem='^[vf]' unwind=.ARM.exidx
  # Firmware (cortex-m*) is built without unwind tables.
  case $arch in arm*) imports='^__aeabi_unwind_cpp_pr[01]$' ;; esac ;;
riscv*)
  fp_regs='^(f[0-9]+|f[tsa][0-9]+|fcsr|frm|fflags|v[0-9]+)$' fp_mnem='^(f[a-df-z]|fe[^n]|v)' ;;
s390x)
  fp_regs='^%[fv][0-9]+$' fp_mnem='^([sel]fpc|stfpc|srnmb?|lfas|sfasr)$' ;;
ppc64*)
  fp_regs='^(f|v|vs)[0-9]+$' fp_mnem='^(f|v|x[sv]|xx|lf|stf|lxv|stxv|lxs|stxs|mffs|mtfs)'
  imports='^(\.TOC\.|_(save|rest)gpr[01]_[0-9]+)$' writable='^\.toc$' ;;
*)
  echo "FAIL: no inspection data for $arch"; exit 1 ;;
esac
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }

[ "$lib" = - ] || [ -f "$lib" ] || { echo "FAIL: no library at $lib"; exit 1; }
[ -f "$archive" ] || { echo "FAIL: no archive at $archive"; exit 1; }

# FP/SIMD registers and instructions never appear in the code of FILE. Each
# instruction is read without its branch target (a hex address may look
# like a register), <symbol> and comment; its first word is the mnemonic.
check_fp_simd() { # FILE
  local dis found
  dis=$($objdump -d --no-show-raw-insn "$1" | grep -E '^ +[0-9a-f]+:')
  [ -n "$dis" ] || { fail "no disassembly of $1 from $objdump"; return; }
  found=$(echo "$dis" | sed -E -e 's/^ +[0-9a-f]+:\s+//' -e 's/[0-9a-f]+ <[^>]*>//g' -e 's/<[^>]*>//g' \
            -e 's,(//|#|@|;).*,,' |
          awk -v regs="$fp_regs" -v mnem="$fp_mnem" '
            $1 ~ mnem { print $1 }
            { n = split(substr($0, length($1) + 1), t, /[ \t,()\[\]{}!+*:-]+/)
              for (i = 1; i <= n; i++) if (t[i] ~ regs) print t[i] }' | sort -u | tr '\n' ' ')
  [ -z "$found" ] && ok "no FP/SIMD registers in $arch code of $(basename "$1")" ||
    fail "FP/SIMD use in $arch code of $(basename "$1"): $found"
}

# The archive: the library's object imports nothing; the calls' objects
# (the bounded call, descriptor output) import only what the archive defines
# and, for descriptor output, the C library's write(2), fcntl(2) and errno,
# and keep every name they define hidden, so that no shared object a program
# links them into exports them. Nothing has a writable or thread-local
# section with contents (so no state) or constructors, and the code uses no
# FP/SIMD register either. nm -A prefixes each line with "archive:member:".
posix='^(write|fcntl(64)?|__errno_location)$'
symbols() { $nm -A "$@" "$archive" 2>/dev/null | awk -F: '{n = split($NF, w, " "); print (NF > 2 ? $(NF - 1) : $1), w[n]}'; }
defined=$(symbols --defined-only | awk '{print $2}' | sort -u | tr '\n' ' ')
undef=$(symbols -u | awk -v ok="$imports" -v posix="$posix" -v defined=" $defined" '
  $2 !~ ok && index(defined, " " $2 " ") == 0 && !($1 ~ /dprintf/ && $2 ~ posix) {print $1 ": " $2}' | tr '\n' ' ')
members=$(symbols | awk '{print $1}' | sort -u | tr '\n' ' ')
[ -n "$members" ] || fail "nm reads no member in $archive"
[ -z "$undef" ] && ok "archive: no undefined symbols in $members" || fail "archive: undefined symbols: $undef"
# The bounded and descriptor calls make every byte themselves: they reach
# no function of the library, so none that a program puts in its place can
# change their output. Only kestrix_fnprintf_array and _counted, which
# have no bound and write through the caller's sink with the emitters as
# kestrix_fnprintf does, call the library. objdump -dr names each function, then each
# relocation in it (and, on some targets, local labels, which belong to the
# function before them).
reach=$($objdump -dr "$archive" 2>/dev/null | awk '
  /file format/ { member = $1 }
  /^[0-9a-f]+ <[^>]+>:$/ { name = $2; gsub(/[<>:]/, "", name); if (name !~ /^\./) fn = name }
  member ~ /(snprintf|dprintf)/ && fn !~ /^kestrix_fnprintf_(array|counted)/ &&
    /R_[A-Z0-9_]+[ \t]+kestrix_(str|hex|dec|vfnprintf|fnprintf|sprintf|vsprintf)([-+@ \t]|$)/ { print fn }' |
  sort -u | tr '\n' ' ')
[ -z "$reach" ] && ok "archive: the bounded and descriptor calls call no function of the library" ||
  fail "archive: these call the library: $reach"
# readelf -s: "Num: Value Size Type Bind Vis Ndx Name" under "File: archive(member)".
visible=$(readelf -W -s "$archive" | awk '/^File: / {member = $2} $5 == "GLOBAL" && $7 != "UND" && $6 != "HIDDEN" &&
  member ~ /(snprintf|dprintf)/ {print $8}' | tr '\n' ' ')
[ -z "$visible" ] && ok "archive: the calls' names are hidden" || fail "archive: names not hidden: $visible"
# The calls the checks above are about are there, each defined and hidden
# (a build that left one out would pass them empty).
linked_in="kestrix_snprintf kestrix_vsnprintf kestrix_snprintf_array kestrix_snprintf_counted
  kestrix_bprintf kestrix_vbprintf kestrix_bprintf_array kestrix_bprintf_counted kestrix_vbprintf_counted"
# The name is the last word: ppc64le puts a [<localentry>: N] before the
# section index.
hidden=$(readelf -W -s "$archive" | awk '$5 == "GLOBAL" && $6 == "HIDDEN" && $0 !~ / UND / {print $NF}' | sort -u)
missing=$(for f in $linked_in; do echo "$hidden" | grep -qx "$f" || echo "$f"; done | tr '\n' ' ')
[ -z "$missing" ] && ok "archive: $linked_in defined and hidden" || fail "archive: not defined hidden: $missing"
# Section lines are "[Nr] Name Type Address Off Size ES Flg ..."; W is
# writable, T thread-local.
stateful=$(readelf -W -S "$archive" | sed 's/^ *\[ *[0-9]*\] //' |
  awk -v ok="$writable" '$1 ~ /^\./ && $7 ~ /[WT]/ && $5 !~ /^0+$/ && $1 !~ ok {print $1}' | sort -u | tr '\n' ' ')
[ -z "$stateful" ] && ok "archive: no writable or thread-local contents" || fail "archive: writable sections: $stateful"
ctors=$(readelf -W -S "$archive" | grep -oE '\.(init_array|fini_array|ctors|dtors|preinit_array)[^ ]*' | sort -u | tr '\n' ' ')
[ -z "$ctors" ] && ok "archive: no constructors" || fail "archive: constructor sections: $ctors"
check_fp_simd "$archive"

# The library's source includes nothing beyond <stdarg.h> and <stdint.h>,
# and the bounded call's nothing beyond those, <stddef.h> and its own; in
# kernel code the headers take <linux/stdarg.h> and <linux/types.h> instead.
hosted() { sed '/^#ifdef __KERNEL__$/,/^#else$/d' "$@"; }
incs=$(sed -n '/^#ifdef __KERNEL__$/,/^#else$/p' "$src/include/kestrix.h" "$src/include/kestrix_checked.h" |
       grep -E '^\s*#\s*include' | grep -vE '<linux/stdarg.h>|<linux/types.h>')
[ -z "$incs" ] && ok "in kernel code the headers include only <linux/stdarg.h> and <linux/types.h>" ||
  fail "in kernel code the headers include: $incs"
incs=$(hosted "$src/src/kestrix.cpp" "$src/src/conversions.h" "$src/include/kestrix.h" | grep -E '^\s*#\s*include' |
       grep -vE '<stdarg.h>|<stdint.h>|"(kestrix|conversions).h"')
[ -z "$incs" ] && ok "source includes only <stdarg.h> and <stdint.h>" || fail "source includes: $incs"
incs=$(hosted "$src/src/kestrix_snprintf.cpp" "$src/src/bounded.h" "$src/include/kestrix_checked.h" |
         grep -E '^\s*#\s*include' | grep -vE '<stdarg.h>|<stddef.h>|<stdint.h>|"(kestrix|kestrix_checked|bounded|conversions).h"')
[ -z "$incs" ] && ok "the bounded call includes only <stdarg.h>, <stddef.h> and <stdint.h>" ||
  fail "the bounded call includes: $incs"

if [ "$lib" = - ]; then
  echo "$failures failure(s)"
  exit $((failures != 0))
fi

want="kestrix_dec kestrix_fnprintf kestrix_hex kestrix_sprintf kestrix_str kestrix_vfnprintf kestrix_vsprintf"

# Dynamic symbols: every defined one must be one of the seven, GLOBAL FUNC
# DEFAULT; nothing may be undefined. POWER's local entry offset and RISC-V's
# section symbol are left out.
syms=$(readelf -W --dyn-syms "$lib" | sed 's/\[<localentry>: [0-9]*\] //' |
       awk '$1 ~ /^[0-9]+:$/ && $1 != "0:" && !($4 == "SECTION" && $5 == "LOCAL")')
defined=$(echo "$syms" | awk '$7 != "UND" {print $8}' | sed 's/@.*//' | sort | tr '\n' ' ' | sed 's/ $//')
[ "$defined" = "$want" ] && ok "exports exactly: $defined" || fail "exports '$defined', want '$want'"
bad=$(echo "$syms" | awk '$7 != "UND" && ($4 != "FUNC" || $5 != "GLOBAL" || $6 != "DEFAULT")')
[ -z "$bad" ] && ok "all exports are GLOBAL FUNC DEFAULT" || fail "exports not GLOBAL FUNC DEFAULT: $bad"
undef=$(echo "$syms" | awk '$7 == "UND" {print $8}')
[ -z "$undef" ] && ok "no undefined symbols" || fail "undefined symbols: $undef"
if readelf -W --dyn-syms "$lib" | grep -q _kestrix_out_char; then fail "_kestrix_out_char is exported"; else ok "_kestrix_out_char is internal"; fi

dyn=$(readelf -d "$lib")
echo "$dyn" | grep -q NEEDED && fail "NEEDED entries: $(echo "$dyn" | grep NEEDED)" || ok "no NEEDED entries"
echo "$dyn" | grep -q 'Library soname: \[libkestrix.so.1\]' && ok "SONAME libkestrix.so.1" || fail "SONAME is not libkestrix.so.1"
echo "$dyn" | grep -qE '\((INIT|FINI|INIT_ARRAY|FINI_ARRAY|PREINIT_ARRAY)\)' && fail "init/fini entries present" || ok "no init/fini entries"
echo "$dyn" | grep -qE 'TEXTREL' && fail "text relocations" || ok "no text relocations"
echo "$dyn" | grep -qE 'SYMBOLIC' && fail "bound symbolically (-Bsymbolic)" || ok "not -Bsymbolic"
echo "$dyn" | grep -qE 'BIND_NOW|Flags:.* NOW' && ok "bound at load time (BIND_NOW)" || fail "no BIND_NOW"

phdrs=$(readelf -W -l "$lib")
echo "$phdrs" | grep -q GNU_RELRO && ok "RELRO" || fail "no GNU_RELRO segment"
stack=$(echo "$phdrs" | awk '$1 == "GNU_STACK" {print $7}')
[ "$stack" = "RW" ] && ok "stack not executable" || fail "GNU_STACK flags '$stack'"

# No writable data of the library's own: .data/.bss absent or empty.
sections=$(readelf -W -S "$lib" | sed 's/^ *\[ *[0-9]*\] //')
size_of() { echo "$sections" | awk -v n="$1" '$1 == n {print $5}'; }
for s in .data .bss .tdata .tbss .init_array .fini_array .ctors .dtors; do
  sz=$(size_of "$s")
  if [ -n "$sz" ] && [ "$((0x$sz))" -ne 0 ]; then fail "$s has $((0x$sz)) bytes"; fi
done
ok "no .data/.bss/TLS/constructor contents"
for s in $unwind; do
  sz=$(size_of "$s")
  [ -n "$sz" ] && [ "$((0x$sz))" -gt 0 ] && ok "$s present" || fail "$s missing: no unwind tables"
done

# Tiny: optimised, the aarch64 code stays within its limit.
if [ "$arch" = aarch64 ] && [ "$text_limit" -gt 0 ]; then
  text=$((0x$(size_of .text)))
  [ "$text" -le "$text_limit" ] && ok ".text is $text bytes (at most $text_limit)" ||
    fail ".text is $text bytes, over $text_limit"
fi

# Calls between exported functions go through a PLT slot, or a GOT entry
# where the build uses -fno-plt: interposable either way.
rel=$(readelf -W -r "$lib")
for f in kestrix_str kestrix_vfnprintf kestrix_hex kestrix_dec; do
  echo "$rel" | grep -E '_(JUMP_SLOT|JMP_SLOT|GLOB_DAT)' | grep -qw "$f" && ok "$f called through its PLT or GOT slot" ||
    fail "$f not called through the PLT or GOT"
done

check_fp_simd "$lib"

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
