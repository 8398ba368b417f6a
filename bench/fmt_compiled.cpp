// SPDX-License-Identifier: MIT
// {fmt}'s cases against the compiled libfmt (fmt::fmt), in a shared library
// of their own: the benchmark itself uses {fmt} header-only, and one
// program cannot hold both builds of the same inline functions.
#include "cases.h"

extern "C" __attribute__((visibility("default"))) const FmtCases libfmt_cases = {f_char, f_dec,   f_hex,
                                                                                   f_log,  f_plain, f_str};
