// SPDX-License-Identifier: MIT OR GPL-2.0
/*
 * kestrix in a kernel module: lines formatted into a buffer and handed to
 * printk whole, a bounded buffer cut short, a call from hard-IRQ context and
 * a stack trace taken inside the flush. Every line it prints is the same on
 * each load, so a test compares them byte for byte.
 */
#define pr_fmt(fmt) KBUILD_MODNAME ": " fmt

#include <linux/completion.h>
#include <linux/hrtimer.h>
#include <linux/module.h>
#include <linux/printk.h>
#include <linux/types.h>

#include <kestrix_checked.h>

/* Each line goes to printk in one piece, so that lines from other CPUs
 * never land inside ours: the buffer is longer than any line here (a
 * longer one would be printed in pieces of the buffer's size). */
#define LINE_MAX_BYTES 96
struct line {
	bool trace; /* dump_stack() at the next piece */
};

static int32_t line_out(void *ctx, const char *bytes, size_t len)
{
	struct line *l = ctx;

	if (l->trace) {
		l->trace = false;
		pr_info("trace begins\n");
		dump_stack();
		pr_info("trace ends\n");
	}
	pr_info("%.*s", (int)len, bytes);
	return 0;
}

#define PRINT_LINE(l, ...)                                                         \
	do {                                                                       \
		char buf_[LINE_MAX_BYTES];                                         \
		KESTRIX_BPRINTF(line_out, (l), buf_, sizeof(buf_), __VA_ARGS__);   \
	} while (0)

static struct hrtimer timer;
static DECLARE_COMPLETION(timer_done);

static enum hrtimer_restart timer_fired(struct hrtimer *t)
{
	struct line l = { .trace = false };

	PRINT_LINE(&l, "hard irq: %d, irqs off: %d\n", in_hardirq() != 0,
			 irqs_disabled() != 0);
	complete(&timer_done);
	return HRTIMER_NORESTART;
}

static int __init kestrix_example_init(void)
{
	static struct line l;
	char small[16];
	size_t len;
	s64 neg = -42;
	u32 flags = 0x1FF;

	PRINT_LINE(&l, "hello from %s: %d %u %x %c\n", "a kernel module", neg,
			 flags, flags, 'k');
	PRINT_LINE(&l, "limits: %d %u %X\n", (s64)S64_MIN, (u64)U64_MAX,
			 (u64)U64_MAX);
	PRINT_LINE(&l, "%%p %p, %%s %s\n", (void *)0xffff800012345678ul, (const char *)NULL);

	len = KESTRIX_SNPRINTF(small, sizeof(small), "cut to fit: %s %d", "abcdefghij", 12345);
	PRINT_LINE(&l, "snprintf: \"%s\" needs %u of %u\n", small, len, sizeof(small));

	hrtimer_init(&timer, CLOCK_MONOTONIC, HRTIMER_MODE_REL_HARD);
	timer.function = timer_fired;
	hrtimer_start(&timer, ms_to_ktime(1), HRTIMER_MODE_REL_HARD);
	wait_for_completion(&timer_done);

	l.trace = true;
	PRINT_LINE(&l, "traced from inside a flush\n");
	return 0;
}

static void __exit kestrix_example_exit(void)
{
	struct line l = { .trace = false };

	hrtimer_cancel(&timer);
	PRINT_LINE(&l, "unloaded\n");
}

module_init(kestrix_example_init);
module_exit(kestrix_example_exit);
MODULE_DESCRIPTION("kestrix in a kernel module");
MODULE_LICENSE("Dual MIT/GPL");
