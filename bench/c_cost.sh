#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# What the checked C macros cost where a C team pays it: a file of N calls
# of KESTRIX_SNPRINTF with five arguments, against the same calls of the
# host's snprintf under -Wformat. Prints, for GCC and Clang at -O0 and -O2,
# the CPU time of compiling each file (the least of three runs) and its
# ratio, as it is and with KESTRIX_FORMAT_CHECK=0; the preprocessed bytes
# per call; for GCC at -g -O0 the object's size; then the frame of a
# function with 1 and with 100 calls, and the lines of diagnostics for a
# call that leaves out KESTRIX_SNPRINTF's size.
#
# usage: bench/c_cost.sh [N]     (default 1000; a benchmark, not a test)
set -euo pipefail
. "$(dirname "$0")/../scripts/ensure.sh"
ensure time /usr/bin/time
root=$(cd "$(dirname "$0")/.." && pwd)
n=${1:-1000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

gen() { # kind: kestrix | host
  {
    if [ "$1" = kestrix ]; then echo '#include <kestrix_checked.h>'; else echo '#include <stdio.h>'; fi
    echo 'void calls(char *b, const char *name, int err, void *at, unsigned count, unsigned flags);'
    echo 'void calls(char *b, const char *name, int err, void *at, unsigned count, unsigned flags) {'
    for ((i = 0; i < n; ++i)); do
      if [ "$1" = kestrix ]; then
        echo "    KESTRIX_SNPRINTF(b, 64, \"open %s: error %d at %p, %u of %x ($i)\", name, err, at, count, flags);"
      else
        echo "    snprintf(b, 64, \"open %s: error %d at %p, %u of %x ($i)\", name, err, at, count, flags);"
      fi
    done
    echo '}'
  } >"$work/$1.c"
}
gen kestrix
gen host

cpu() { # seconds of user and system time of a command, the least of three runs
  local best=
  for _ in 1 2 3; do
    /usr/bin/time -f '%U %S' -o "$work/time" "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
    best=$(awk -v b="$best" '{t = $1 + $2; if (b == "" || t < b) b = t; printf "%.2f", b}' "$work/time")
  done
  echo "$best"
}

printf 'CPU: %s\n' "$(lscpu | sed -n 's/^Model name: *//p' | head -1)"
printf '%d calls of five arguments, KESTRIX_SNPRINTF against snprintf -Wformat\n' "$n"
printf '(unread: with -DKESTRIX_FORMAT_CHECK=0, the literal checked as the call runs)\n'
printf '%-10s %-4s %10s %10s %7s %10s %7s\n' compiler opt kestrix_s host_s ratio unread_s ratio
for cc in gcc clang; do
  for opt in -O0 -O2; do
    k=$(cpu $cc -std=c11 $opt -Wall -I"$root/include" -c "$work/kestrix.c" -o "$work/k.o")
    u=$(cpu $cc -std=c11 $opt -Wall -DKESTRIX_FORMAT_CHECK=0 -I"$root/include" -c "$work/kestrix.c" -o "$work/k.o")
    h=$(cpu $cc -std=c11 $opt -Wall -Wformat -c "$work/host.c" -o "$work/h.o")
    printf '%-10s %-4s %10s %10s %7.2f %10s %7.2f\n' "$cc" "$opt" "$k" "$h" "$(awk "BEGIN{print $k / $h}")" \
      "$u" "$(awk "BEGIN{print $u / $h}")"
  done
  kb=$($cc -std=c11 -E -P -I"$root/include" "$work/kestrix.c" | wc -c)
  hb=$($cc -std=c11 -E -P "$work/host.c" | wc -c)
  # Less the headers' own text: a file with the include and no call.
  k0=$(printf '#include <kestrix_checked.h>\n' | $cc -std=c11 -E -P -I"$root/include" -x c - | wc -c)
  h0=$(printf '#include <stdio.h>\n' | $cc -std=c11 -E -P -x c - | wc -c)
  printf '%-10s preprocessed bytes per call: kestrix %d, host %d\n' "$cc" $(((kb - k0) / n)) $(((hb - h0) / n))
done
gcc -std=c11 -g -O0 -I"$root/include" -c "$work/kestrix.c" -o "$work/k.o"
gcc -std=c11 -g -O0 -c "$work/host.c" -o "$work/h.o"
ks=$(stat -c %s "$work/k.o"); hs=$(stat -c %s "$work/h.o")
printf 'gcc -g -O0 object: kestrix %d B, host %d B, ratio %.2f\n' "$ks" "$hs" "$(awk "BEGIN{print $ks / $hs}")"

# The frame of a function with one call and with 100: each call's values
# live for that call alone.
for calls in 1 100; do
  {
    echo '#include <kestrix_checked.h>'
    echo 'void frame(char *b, const char *s, int e, void *p, unsigned c, unsigned f);'
    echo 'void frame(char *b, const char *s, int e, void *p, unsigned c, unsigned f) {'
    for ((i = 0; i < calls; ++i)); do
      echo "    KESTRIX_SNPRINTF(b, 64, \"%s %d %p %u %x $i\", s, e + $i, p, c, f);"
    done
    echo '}'
  } >"$work/frame$calls.c"
done
for cc in gcc clang; do
  for opt in -O1 -O2 -O3; do
    line="$cc $opt frame:"
    for calls in 1 100; do
      $cc -std=c11 $opt -fstack-usage -I"$root/include" -c "$work/frame$calls.c" -o "$work/frame$calls.o"
      line="$line $(awk -F'\t' '/frame/ {print $2}' "$work/frame$calls.su") B ($calls)"
    done
    echo "$line"
  done
done

# The size left out, as a sprintf habit writes it: one error, in few lines.
printf '#include <kestrix_checked.h>\nvoid f(char *buf);\nvoid f(char *buf) { KESTRIX_SNPRINTF(buf, "%%d", 1); }\n' >"$work/miss.c"
for cc in gcc clang; do
  $cc -std=c11 -Wall -Wextra -I"$root/include" -c "$work/miss.c" -o "$work/miss.o" >"$work/miss.log" 2>&1 && exit 1
  echo "$cc size left out: $(grep -c 'error:' "$work/miss.log") error, $(wc -l <"$work/miss.log") lines"
done
