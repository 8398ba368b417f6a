/* Reports a fatal signal from inside its handler with kestrix_fnprintf.
 *
 * The report is built in a buffer on the handler's own stack and written
 * with write(2): no stdio, no allocation, no locks, so every call in the
 * handler is safe there. The handler runs on an alternate signal stack, so
 * it can report a stack overflow too. The program is linked with
 * -Wl,-z,now (see CMakeLists.txt): every symbol is bound at start-up, so
 * the handler's first call into kestrix never enters the lazy resolver.
 *
 * The program maps a page with no access rights, prints its address and
 * writes to it. The handler reports the fault; SA_RESETHAND has restored the
 * default action by then, so when the handler returns the write runs again
 * and the process ends by SIGSEGV as it would have without the handler (with
 * a core dump where those are enabled). */
#define _DEFAULT_SOURCE /* MAP_ANONYMOUS, sigaltstack */
#include <kestrix.h>
#include <signal.h>
#include <stdint.h>
#include <sys/mman.h>
#include <unistd.h>

struct report {
    char buf[256];
    unsigned len;
};

/* The sink: stores into the report, dropping what does not fit. */
static void to_report(void *ctx, int32_t c)
{
    struct report *r = (struct report *)ctx;
    if (r->len < sizeof r->buf)
        r->buf[r->len++] = (char)c;
}

static void write_all(int fd, const char *p, unsigned len)
{
    while (len > 0) {
        ssize_t n = write(fd, p, len);
        if (n <= 0)
            return;
        p += n;
        len -= (unsigned)n;
    }
}

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
    struct report r;
    (void)uctx;
    r.len = 0;
    /* Every argument is a 64-bit value: cast ints, pass pointers as they are. */
    kestrix_fnprintf(to_report, &r, "fatal: %s (signal %d, code %d) at address %p in pid %u\n",
                     signal_name(sig), (int64_t)sig, (int64_t)info->si_code, info->si_addr,
                     (uint64_t)getpid());
    write_all(2, r.buf, r.len);
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

    struct report r;
    r.len = 0;
    kestrix_fnprintf(to_report, &r, "writing to the guard page at %p\n", (void *)guard);
    write_all(1, r.buf, r.len);

    *(volatile char *)guard = 1;
    return 0;
}
