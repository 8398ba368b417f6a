#!/bin/sh
# Inspects the built shared library: it exports exactly the seven functions,
# needs nothing, has no writable data, no init code, no text relocations, an
# executable-free stack, unwind tables, load-time binding, interposable
# internal calls, and no FP/SIMD register use; and the static archive: no
# undefined symbols, nothing writable, no constructors, no FP/SIMD register.
# usage: check_library.sh LIB ARCHIVE ARCH OBJDUMP NM SOURCE_DIR TEXT_LIMIT
#   TEXT_LIMIT  most aarch64 .text bytes allowed; 0 for no limit (builds
#               that are not optimised)
set -u
lib=$1 archive=$2 arch=$3 objdump=$4 nm=$5 src=$6 text_limit=$7
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }

[ -f "$lib" ] || { echo "FAIL: no library at $lib"; exit 1; }
[ -f "$archive" ] || { echo "FAIL: no archive at $archive"; exit 1; }

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
  echo "$rel" | grep -E '_(JUMP_SLOT|GLOB_DAT)' | grep -qw "$f" && ok "$f called through its PLT or GOT slot" ||
    fail "$f not called through the PLT or GOT"
done

# FP/SIMD registers never appear in the code of FILE.
check_fp_simd() { # FILE
  local dis regs mnem
  dis=$($objdump -d --no-show-raw-insn "$1" | grep -E '^ +[0-9a-f]+:')
  [ -n "$dis" ] || { fail "no disassembly of $1 from $objdump"; return; }
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
  [ -z "$regs$mnem" ] && ok "no FP/SIMD registers in $arch code of $(basename "$1")" ||
    fail "FP/SIMD use in $arch code of $(basename "$1"): $regs $mnem"
}
check_fp_simd "$lib"

# The archive: its object imports nothing, has no writable or thread-local
# section with contents (so no state) and no constructors, and its code
# uses no FP/SIMD register either.
undef=$($nm -u "$archive" 2>/dev/null | awk 'NF == 2 {print $2}' | tr '\n' ' ')
members=$($nm -A "$archive" 2>/dev/null | cut -d: -f2 | sort -u | tr '\n' ' ')
[ -n "$members" ] || fail "nm reads no member in $archive"
[ -z "$undef" ] && ok "archive: no undefined symbols in $members" || fail "archive: undefined symbols: $undef"
# Section lines are "[Nr] Name Type Address Off Size ES Flg ..."; W is
# writable, T thread-local.
stateful=$(readelf -W -S "$archive" | sed 's/^ *\[ *[0-9]*\] //' |
  awk '$1 ~ /^\./ && $7 ~ /[WT]/ && $5 !~ /^0+$/ {print $1}' | sort -u | tr '\n' ' ')
[ -z "$stateful" ] && ok "archive: no writable or thread-local contents" || fail "archive: writable sections: $stateful"
ctors=$(readelf -W -S "$archive" | grep -oE '\.(init_array|fini_array|ctors|dtors|preinit_array)[^ ]*' | sort -u | tr '\n' ' ')
[ -z "$ctors" ] && ok "archive: no constructors" || fail "archive: constructor sections: $ctors"
check_fp_simd "$archive"

# The library's source includes nothing beyond <stdarg.h> and <stdint.h>.
incs=$(grep -hE '^\s*#\s*include' "$src/src/kestrix.cpp" "$src/include/kestrix.h" |
       grep -vE '<stdarg.h>|<stdint.h>|"kestrix.h"')
[ -z "$incs" ] && ok "source includes only <stdarg.h> and <stdint.h>" || fail "source includes: $incs"

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
