// SPDX-License-Identifier: MIT
// The buffer front ends store straight into the buffer instead of calling
// the buffer sink, and copy text and strings several bytes per loop turn.
// Their bytes must equal what is expected and what the same call sends
// through a caller's sink, for every run length and every byte value, and no
// byte past a format's or a string's terminating NUL may ever be read.
#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include "support.h"

namespace {

using u64 = uint64_t;

// Bytes 1..255 without '%', starting at `from`: every value, including the
// ones below '%' that the text copy tests twice.
std::string text(size_t len, size_t from)
{
    std::string s;
    for (size_t i = 0; s.size() < len; ++i) {
        const auto b = static_cast<unsigned char>(1 + (from + i) % 255);
        if (b != '%')
            s.push_back(static_cast<char>(b));
    }
    return s;
}

template <typename... Args>
void expect_same(const std::string &expected, const char *fmt, Args... args)
{
    kt::Guarded g;
    EXPECT_TRUE(g.check(kestrix_sprintf(g.buf(), fmt, args...), expected)) << "length " << std::strlen(fmt);
    EXPECT_EQ(kt::record(fmt, args...).text(), expected) << "length " << std::strlen(fmt);
}

TEST(FastPath, TextRunsOfEveryLengthAroundConversions)
{
    for (size_t len = 0; len <= 40; ++len) {
        const std::string a = text(len, len * 7), b = text(40 - len, len);
        expect_same(a, a.c_str());
        expect_same(a + "-42" + b, (a + "%d" + b).c_str(), u64(-42));
        expect_same(a + "%?Z" + b + "!", (a + "%%%q%c" + b + "%s").c_str(), u64{7}, u64{'Z'}, "!");
        expect_same(a, (a + "%").c_str());
    }
}

TEST(FastPath, StringsOfEveryLengthAndAlignment)
{
    char storage[64 + 8];
    for (size_t len = 0; len <= 40; ++len)
        for (size_t offset = 0; offset < 8; ++offset) {
            const std::string s = text(len, len + offset);
            char *at = storage + offset;
            std::memcpy(at, s.c_str(), len + 1);
            expect_same("<" + s + ">", "<%s>", at);
            expect_same(s + s, "%s%s", at, at);
        }
}

// A page whose last bytes hold a NUL-terminated string, followed by a page
// that faults on any access.
class PageEnd {
public:
    PageEnd() : page_(static_cast<size_t>(sysconf(_SC_PAGESIZE)))
    {
        void *m = mmap(nullptr, 2 * page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (m == MAP_FAILED)
            return;
        base_ = static_cast<char *>(m);
        if (mprotect(base_ + page_, page_, PROT_NONE) != 0) {
            munmap(base_, 2 * page_);
            base_ = nullptr;
        }
    }
    ~PageEnd()
    {
        if (base_)
            munmap(base_, 2 * page_);
    }
    bool ok() const { return base_ != nullptr; }
    // Places s so that its NUL is the last readable byte.
    const char *place(const std::string &s)
    {
        char *at = base_ + page_ - s.size() - 1;
        std::memcpy(at, s.c_str(), s.size() + 1);
        return at;
    }

private:
    size_t page_;
    char *base_ = nullptr;
};

TEST(FastPath, NothingIsReadPastTheTerminatingNul)
{
    PageEnd fmt_page, str_page;
    ASSERT_TRUE(fmt_page.ok() && str_page.ok());
    for (size_t len = 0; len <= 24; ++len) {
        const std::string t = text(len, 3 * len);
        expect_same(t, fmt_page.place(t));
        expect_same(t, fmt_page.place(t + "%"));
        expect_same("7" + t, fmt_page.place("%u" + t), u64{7});
        expect_same("[" + t, "[%s", str_page.place(t));
        expect_same(t + t, fmt_page.place("%s" + t), str_page.place(t));
    }
}

} // namespace
