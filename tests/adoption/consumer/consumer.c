/* SPDX-License-Identifier: MIT */
/* Uses the C interface of an installed or fetched kestrix: the library,
 * and the bounded and descriptor calls that each program links in. */
#include <kestrix_fd.h>
#include <stdio.h>
#include <string.h>

#ifndef CONSUMER
#define CONSUMER "consumer_c"
#endif

/* The installed header and the package that found it name one release. */
#if defined(PACKAGE_VERSION_MAJOR) &&                                                     \
    (KESTRIX_VERSION_MAJOR != PACKAGE_VERSION_MAJOR || KESTRIX_VERSION_MINOR != PACKAGE_VERSION_MINOR || \
     KESTRIX_VERSION_PATCH != PACKAGE_VERSION_PATCH)
#error "kestrix.h and the package disagree on the version"
#endif

/* Built by a parent project with no build type (c_parent/): its own flags
 * reach its own code, and no build type or option of kestrix's does. */
#if defined(C_PARENT) && (!defined(PARENT_FLAGS) || defined(NDEBUG) || defined(__OPTIMIZE__) || !__STDC_HOSTED__)
#error "kestrix changed the flags of its parent's own code"
#endif

int main(void)
{
    char buf[64], cut[8];
#ifdef CHECKED_ONLY
    /* The macros' calls alone, none of the seven: -lkestrix must still link
     * them, though the archive's members need the shared library after it. */
    char *end = buf + KESTRIX_SNPRINTF(buf, sizeof buf, "x=%x s=%s d=%d", 0x1FF, "ab", -7);
#else
    char *end = kestrix_sprintf(buf, "x=%x s=%s d=%d", (uint64_t)0x1FF, "ab", (int64_t)-7);
#endif
    size_t len = KESTRIX_SNPRINTF(cut, sizeof cut, "%s", buf);
    if (strcmp(buf, "x=01FF s=ab d=-7") != 0 || end != buf + strlen(buf) || len != strlen(buf) ||
        strcmp(cut, "x=01FF ") != 0) {
        fprintf(stderr, "kestrix_sprintf wrote \"%s\", KESTRIX_SNPRINTF \"%s\"\n", buf, cut);
        return 1;
    }
    return KESTRIX_DPRINTF(1, CONSUMER ": %s\n", buf) < 0;
}
