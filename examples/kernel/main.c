// SPDX-License-Identifier: MIT OR GPL-2.0
/*
 * kestrix in a kernel module: lines through a sink that hands whole lines
 * to printk, a bounded buffer cut short, a call from hard-IRQ context and a
 * stack trace taken inside a sink. Every line it prints is the same on each
 * load, so a test compares them byte for byte.
 */
#define pr_fmt(fmt) KBUILD_MODNAME ": " fmt

#include <linux/completion.h>
#include <linux/hrtimer.h>
#include <linux/module.h>
#include <linux/printk.h>
#include <linux/types.h>

#include <kestrix_checked.h>

/* Collects characters and printk's each line at its '\n', so that lines
 * from other CPUs never land inside ours. A line longer than the buffer is
 * printed in pieces. */
struct line {
	char buf[96];
	unsigned int len;
	bool trace; /* dump_stack() at the next '\n' */
};

static void line_out(void *ctx, int32_t c)
{
	struct line *l = ctx;

	if (c != '\n' && l->len < sizeof(l->buf) - 1) {
		l->buf[l->len++] = (char)c;
		return;
	}
	if (l->trace) {
		l->trace = false;
		pr_info("trace begins\n");
		dump_stack();
		pr_info("trace ends\n");
	}
	l->buf[l->len] = '\0';
	pr_info("%s\n", l->buf);
	l->len = 0;
	if (c != '\n')
		l->buf[l->len++] = (char)c;
}

static struct hrtimer timer;
static DECLARE_COMPLETION(timer_done);

static enum hrtimer_restart timer_fired(struct hrtimer *t)
{
	struct line l = { .len = 0 };

	KESTRIX_FNPRINTF(line_out, &l, "hard irq: %d, irqs off: %d\n", in_hardirq() != 0,
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

	KESTRIX_FNPRINTF(line_out, &l, "hello from %s: %d %u %x %c\n", "a kernel module", neg,
			 flags, flags, 'k');
	KESTRIX_FNPRINTF(line_out, &l, "limits: %d %u %X\n", (s64)S64_MIN, (u64)U64_MAX,
			 (u64)U64_MAX);
	KESTRIX_FNPRINTF(line_out, &l, "%%p %p, %%s %s\n", (void *)0xffff800012345678ul, (const char *)NULL);

	len = KESTRIX_SNPRINTF(small, sizeof(small), "cut to fit: %s %d", "abcdefghij", 12345);
	KESTRIX_FNPRINTF(line_out, &l, "snprintf: \"%s\" needs %u of %u\n", small, len, sizeof(small));

	hrtimer_init(&timer, CLOCK_MONOTONIC, HRTIMER_MODE_REL_HARD);
	timer.function = timer_fired;
	hrtimer_start(&timer, ms_to_ktime(1), HRTIMER_MODE_REL_HARD);
	wait_for_completion(&timer_done);

	l.trace = true;
	KESTRIX_FNPRINTF(line_out, &l, "traced from inside a sink\n");
	return 0;
}

static void __exit kestrix_example_exit(void)
{
	struct line l = { .len = 0 };

	hrtimer_cancel(&timer);
	KESTRIX_FNPRINTF(line_out, &l, "unloaded\n");
}

module_init(kestrix_example_init);
module_exit(kestrix_example_exit);
MODULE_DESCRIPTION("kestrix in a kernel module");
MODULE_LICENSE("Dual MIT/GPL");
