/* SPDX-License-Identifier: MIT */
/* Reports a fatal signal from inside its handler with KESTRIX_DPRINTF from
 * kestrix_fd.h, which widens each argument by its type (no casts) and
 * writes the report with write(2) in one piece.
 *
 * The report is built in a buffer on the handler's own stack: no stdio, no
 * allocation, no locks, so every call in the handler is safe there. The
 * handler runs on an alternate signal stack, so it can report a stack
 * overflow too. The program is linked with -Wl,-z,now (kestrix::kestrix adds it):
 * every symbol is bound at start-up, so the handler's first call into
 * kestrix never enters the lazy resolver.
 *
 * The program maps a page with no access rights, prints its address and
 * writes to it. The handler reports the fault; SA_RESETHAND has restored the
 * default action by then, so when the handler returns the write runs again
 * and the process ends by SIGSEGV as it would have without the handler (with
 * a core dump where those are enabled). */
#define _DEFAULT_SOURCE /* MAP_ANONYMOUS, sigaltstack */
#include <kestrix_fd.h>
#include <signal.h>
#include <stdint.h>
#include <sys/mman.h>
#include <unistd.h>

static const char *signal_name(int sig)
{
    switch (sig) {
    case SIGSEGV: return "SIGSEGV";
    case SIGBUS: return "SIGBUS";
    case SIGILL: return "SIGILL";
    case SIGFPE: return "SIGFPE";
    default: return "signal";
    }
}

static void on_fault(int sig, siginfo_t *info, void *uctx)
{
    (void)uctx;
    /* int, pid_t and pointers as they are. */
    KESTRIX_DPRINTF(2, "fatal: %s (signal %d, code %d) at address %p in pid %u\n", signal_name(sig), sig,
                    info->si_code, info->si_addr, getpid());
}

static char alt_stack[64 * 1024];

int main(void)
{
    stack_t ss;
    ss.ss_sp = alt_stack;
    ss.ss_size = sizeof alt_stack;
    ss.ss_flags = 0;
    sigaltstack(&ss, NULL);

    struct sigaction sa;
    sa.sa_sigaction = on_fault;
    sa.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGSEGV, &sa, NULL);
    sigaction(SIGBUS, &sa, NULL);

    const long page_size = sysconf(_SC_PAGESIZE);
    char *guard = mmap(NULL, (size_t)page_size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (guard == MAP_FAILED)
        return 1;

    KESTRIX_DPRINTF(1, "writing to the guard page at %p\n", guard);

    *(volatile char *)guard = 1;
    return 0;
}
