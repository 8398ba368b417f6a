#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds and runs the benchmark of kestrix beside the host's snprintf,
# stb_sprintf and {fmt}, installing Debian's packages for them when missing.
# Prints every run, then the tables of ratios from this one run (each time
# the fastest of its repetitions): the unbounded calls, the bounded call
# into a buffer the line fits and one that cuts it, KESTRIX_DPRINTF beside
# the host's dprintf to /dev/null, the pieces case (KESTRIX_BPRINTF beside
# stbsp_vsprintfcb and kestrix_fnprintf, each piece copied out) and the sink case.
#
# usage: scripts/bench.sh [BENCHMARK FLAGS...]
#   default flags: --benchmark_repetitions=9 --benchmark_min_time=0.1
#   e.g. scripts/bench.sh --benchmark_filter='^(dec|hex)/'
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
out=${KESTRIX_BENCH_DIR:-$root/build-bench}

. "$root/scripts/ensure.sh"
ensure cmake cmake g++ g++ libbenchmark-dev /usr/include/benchmark/benchmark.h \
       libfmt-dev /usr/include/fmt/format.h libstb-dev /usr/include/stb/stb_sprintf.h

cmake -S "$root" -B "$out" -DKESTRIX_BUILD_BENCH=ON -DKESTRIX_BUILD_TESTS=OFF -DKESTRIX_BUILD_EXAMPLES=OFF >/dev/null
cmake --build "$out" -j 2 --target kestrix-bench
[ $# -gt 0 ] || set -- --benchmark_repetitions=9 --benchmark_min_time=0.1
exec "$out/bench/kestrix-bench" --benchmark_enable_random_interleaving=true \
     --benchmark_report_aggregates_only=true "$@"
