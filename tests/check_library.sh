#!/bin/sh
# Inspects the built shared library: it exports exactly the seven functions,
# needs nothing, has no writable data, no init code, no text relocations, an
# executable-free stack, unwind tables, load-time binding, interposable
# internal calls, and no FP/SIMD register use.
# usage: check_library.sh LIB ARCH OBJDUMP SOURCE_DIR
set -u
lib=$1 arch=$2 objdump=$3 src=$4
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }

[ -f "$lib" ] || { echo "FAIL: no library at $lib"; exit 1; }

want="kestrix_dec kestrix_fnprintf kestrix_hex kestrix_sprintf kestrix_str kestrix_vfnprintf kestrix_vsprintf"

# Dynamic symbols: every defined one must be one of the seven, GLOBAL FUNC
# DEFAULT; nothing may be undefined.
syms=$(readelf -W --dyn-syms "$lib" | awk '$1 ~ /^[0-9]+:$/ && $1 != "0:"')
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
for s in .eh_frame .eh_frame_hdr; do
  sz=$(size_of "$s")
  [ -n "$sz" ] && [ "$((0x$sz))" -gt 0 ] && ok "$s present" || fail "$s missing: no unwind tables"
done

# Tiny: the aarch64 code stays within 2 KiB.
if [ "$arch" = aarch64 ]; then
  text=$((0x$(size_of .text)))
  [ "$text" -le 2048 ] && ok ".text is $text bytes (at most 2048)" || fail ".text is $text bytes, over 2048"
fi

# Calls between exported functions go through the PLT (interposable).
rel=$(readelf -W -r "$lib")
for f in kestrix_str kestrix_vfnprintf kestrix_hex kestrix_dec; do
  echo "$rel" | grep -E 'JUMP_SLOT' | grep -qw "$f" && ok "$f called through its PLT slot" || fail "$f not called through the PLT"
done

# FP/SIMD registers never appear in the code.
dis=$($objdump -d --no-show-raw-insn "$lib" | grep -E '^ +[0-9a-f]+:')
[ -n "$dis" ] || fail "no disassembly from $objdump"
case $arch in
  aarch64)
    # Operands only, without branch targets (a hex address may look like b20)
    # and without <symbol> and // comments.
    regs=$(echo "$dis" | cut -f2- | awk -F'\t' '$1 !~ /^(b|bl|b\..*|cbn?z|tbn?z|adrp?)$/ {print $2}' |
           sed -e 's/<[^>]*>//g' -e 's://.*::' | tr ',[]{}! ' '\n' |
           grep -E '^([qdshb]([0-9]|[12][0-9]|3[01])|v([0-9]|[12][0-9]|3[01])\..*|fpcr|fpsr)$' | sort -u | tr '\n' ' ')
    mnem=$(echo "$dis" | cut -f2 | grep -E '^f[a-z]+' | sort -u | tr '\n' ' ')
    ;;
  *)
    regs=$(echo "$dis" | grep -oE '%([xyz]mm[0-9]+|st(\([0-7]\))?|mm[0-7])' | sort -u | tr '\n' ' ')
    mnem=""
    ;;
esac
[ -z "$regs$mnem" ] && ok "no FP/SIMD registers in $arch code" || fail "FP/SIMD use in $arch code: $regs $mnem"

# The library's source includes nothing beyond <stdarg.h> and <stdint.h>.
incs=$(grep -hE '^\s*#\s*include' "$src/src/kestrix.cpp" "$src/include/kestrix.h" |
       grep -vE '<stdarg.h>|<stdint.h>|"kestrix.h"')
[ -z "$incs" ] && ok "source includes only <stdarg.h> and <stdint.h>" || fail "source includes: $incs"

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
