#include "base/WideString.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <thread>
#include <vector>

namespace {

TEST(WideString, CopiesShareUntilOneChanges) {
    WideString a(L"abc");
    WideString b = a;
    EXPECT_TRUE(b.sharesBufferWith(a));
    EXPECT_EQ(a.referenceCount(), 2);

    b += L"d";
    EXPECT_STREQ(a.c_str(), L"abc");
    EXPECT_STREQ(b.c_str(), L"abcd");
    EXPECT_FALSE(b.sharesBufferWith(a));
    EXPECT_EQ(a.referenceCount(), 1);

    WideString c = a;
    c.setAt(0, L'X');
    EXPECT_STREQ(a.c_str(), L"abc");
    EXPECT_STREQ(c.c_str(), L"Xbc");

    WideString d = a;
    EXPECT_EQ(d.replace(L'b', L'B'), 1);
    EXPECT_STREQ(a.c_str(), L"abc");

    WideString e = a;
    wchar_t* raw = e.writableBuffer(10);
    raw[0] = L'Z';
    e.releaseBuffer(3);
    EXPECT_STREQ(a.c_str(), L"abc");
    EXPECT_STREQ(e.c_str(), L"Zbc");
}

TEST(WideString, EmptyStringsShareOneBufferThatIsNeverWritten) {
    WideString a;
    WideString b(L"");
    WideString c(static_cast<const wchar_t*>(nullptr));
    EXPECT_TRUE(a.sharesBufferWith(b));
    EXPECT_TRUE(a.sharesBufferWith(c));
    EXPECT_EQ(a.referenceCount(), 0);
    {
        WideString copy = a;
        WideString moved = std::move(copy);
        EXPECT_EQ(a.referenceCount(), 0);
    }
    EXPECT_EQ(a.referenceCount(), 0);

    // Writers get a buffer of their own, even for zero characters.
    WideString w;
    wchar_t* raw = w.writableBuffer(0);
    EXPECT_FALSE(w.sharesBufferWith(a));
    raw[0] = L'\0';
    w.releaseBuffer(0);

    WideString x;
    x.setAt(0, L'Q');  // out of range: ignored, not written into the shared buffer
    x += L"";
    x.append(L"abc", 0);
    x.trim();
    x.replace(L'\0', L'a');
    EXPECT_TRUE(x.sharesBufferWith(a));
    EXPECT_EQ(a.c_str()[0], L'\0');
    EXPECT_EQ(a.length(), 0);

    WideString cleared(L"text");
    cleared.clear();
    EXPECT_TRUE(cleared.sharesBufferWith(a));
}

TEST(WideString, FormatsWideStringsNumbersAnd64BitValues) {
    EXPECT_STREQ(WideString::format(L"%ls|%d|%.2f", L"Speed", -42, 3.14159).c_str(), L"Speed|-42|3.14");
    EXPECT_STREQ(WideString::format(L"%lld %llu", INT64_MIN, UINT64_MAX).c_str(),
                 L"-9223372036854775808 18446744073709551615");
    EXPECT_STREQ(WideString::format(L"0x%08X:%ls", 0x5u, L"Access is denied.").c_str(), L"0x00000005:Access is denied.");
    EXPECT_STREQ(WideString::format(L"%3.3f", 12345.0 / 1024).c_str(), L"12.056");
    EXPECT_TRUE(WideString::format(L"").isEmpty());

    // Long output is not cut at some internal buffer size.
    WideString big = WideString::format(L"%ls%ls", WideString(L'x', 3000).c_str(), L"!");
    EXPECT_EQ(big.length(), 3001);
    EXPECT_EQ(big[3000], L'!');

    WideString s(L"n=");
    s.appendFormat(L"%d/%d", 1, 2);
    EXPECT_STREQ(s.c_str(), L"n=1/2");
}

TEST(WideString, FindsAtBothEnds) {
    WideString s(L"abcabc");
    EXPECT_EQ(s.find(L'a'), 0);
    EXPECT_EQ(s.find(L'c'), 2);
    EXPECT_EQ(s.find(L'c', 3), 5);
    EXPECT_EQ(s.find(L'a', 6), WideString::npos);
    EXPECT_EQ(s.find(L'z'), WideString::npos);
    EXPECT_EQ(s.find(L"abc"), 0);
    EXPECT_EQ(s.find(L"abc", 1), 3);
    EXPECT_EQ(s.find(L"bc", 5), WideString::npos);
    EXPECT_EQ(s.find(L"abcabcd"), WideString::npos);
    EXPECT_EQ(s.reverseFind(L'a'), 3);
    EXPECT_EQ(s.reverseFind(L'c'), 5);
    EXPECT_EQ(s.reverseFind(L"abc"), 3);
    EXPECT_EQ(WideString(L"xabc").reverseFind(L'x'), 0);
    EXPECT_EQ(s.reverseFind(L"cab"), 2);
    EXPECT_EQ(WideString().find(L'a'), WideString::npos);
    EXPECT_EQ(WideString().reverseFind(L"a"), WideString::npos);
}

TEST(WideString, PartsAreClampedToTheText) {
    WideString s(L"Brindlecrest");
    EXPECT_STREQ(s.left(5).c_str(), L"Brind");
    EXPECT_STREQ(s.right(5).c_str(), L"crest");
    EXPECT_STREQ(s.mid(5, 3).c_str(), L"lec");
    EXPECT_STREQ(s.mid(5).c_str(), L"lecrest");
    EXPECT_STREQ(s.left(100).c_str(), L"Brindlecrest");
    EXPECT_STREQ(s.right(100).c_str(), L"Brindlecrest");
    EXPECT_TRUE(s.left(0).isEmpty());
    EXPECT_TRUE(s.right(-1).isEmpty());
    EXPECT_TRUE(s.mid(12).isEmpty());
    EXPECT_STREQ(s.mid(-3, 2).c_str(), L"Br");
    EXPECT_STREQ(s.mid(10, 50).c_str(), L"st");
}

TEST(WideString, ConcatenatesAndAppendsEvenFromItself) {
    WideString a(L"ab");
    WideString b = a + L"cd" + WideString(L"ef") + L'g';
    EXPECT_STREQ(b.c_str(), L"abcdefg");
    EXPECT_STREQ((L">" + a).c_str(), L">ab");

    WideString self(L"xy");
    self += self;
    EXPECT_STREQ(self.c_str(), L"xyxy");
    self.append(self.c_str() + 1, 2);
    EXPECT_STREQ(self.c_str(), L"xyxyyx");
    self = self.c_str() + 2;
    EXPECT_STREQ(self.c_str(), L"xyyx");

    WideString grown;
    for (int i = 0; i < 1000; ++i) {
        grown += L'0' + static_cast<wchar_t>(i % 10);
    }
    EXPECT_EQ(grown.length(), 1000);
    EXPECT_EQ(grown[999], L'9');
    EXPECT_EQ(grown.c_str()[1000], L'\0');
}

TEST(WideString, ComparesReplacesAndTrims) {
    EXPECT_TRUE(WideString(L"abc") == L"abc");
    EXPECT_FALSE(WideString(L"abc") == WideString(L"abd"));
    EXPECT_TRUE(WideString(L"abc") < WideString(L"abd"));
    EXPECT_LT(WideString(L"ab").compare(L"abc"), 0);
    EXPECT_EQ(WideString(L"Program").compareNoCase(L"PROGRAM"), 0);
    EXPECT_NE(WideString(L"Program").compareNoCase(L"Programs"), 0);

    WideString r(L"a--b--c");
    EXPECT_EQ(r.replace(L"--", L"+"), 2);
    EXPECT_STREQ(r.c_str(), L"a+b+c");
    EXPECT_EQ(r.replace(L"+", L"<->"), 2);
    EXPECT_STREQ(r.c_str(), L"a<->b<->c");
    EXPECT_EQ(r.replace(L"zz", L"y"), 0);
    EXPECT_EQ(r.replace(L"<->", L""), 2);
    EXPECT_STREQ(r.c_str(), L"abc");

    WideString t(L" \t\r\nvalue \r\n");
    EXPECT_STREQ(WideString(t).trimLeft().c_str(), L"value \r\n");
    EXPECT_STREQ(WideString(t).trimRight().c_str(), L" \t\r\nvalue");
    EXPECT_STREQ(t.trim().c_str(), L"value");
    WideString blanks(L"   ");
    EXPECT_TRUE(blanks.trim().isEmpty());
}

TEST(WideString, ChangesCaseBeyondAscii) {
    WideString s(L"Gr\u00f6\u00dfe ram");
    EXPECT_STREQ(s.toUpper().c_str(), L"GR\u00d6\u00dfE RAM");
    EXPECT_STREQ(s.toLower().c_str(), L"gr\u00f6\u00dfe ram");
    EXPECT_STREQ(s.c_str(), L"Gr\u00f6\u00dfe ram");
}

TEST(WideString, ConvertsAnsiTextWithTheAnsiCodePage) {
    if (GetACP() != 1252) {
        GTEST_SKIP() << "ANSI code page is " << GetACP() << ", the expectations are for 1252";
    }
    WideString s("Gr\xF6\xDF" "e \x80 \xE4");
    EXPECT_STREQ(s.c_str(), L"Gr\u00f6\u00dfe \u20ac \u00e4");
    EXPECT_EQ(s.length(), 9);
    EXPECT_STREQ(WideString("abcdef", 3).c_str(), L"abc");
    EXPECT_TRUE(WideString(static_cast<const char*>(nullptr)).isEmpty());
}

TEST(WideString, ReferenceCountSurvivesManyThreads) {
    WideString shared(L"shared between threads");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&shared] {
            for (int i = 0; i < 100000; ++i) {
                WideString copy = shared;
                WideString another(copy);
                another += L'!';  // private copy: must not disturb the shared buffer
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(shared.referenceCount(), 1);
    EXPECT_STREQ(shared.c_str(), L"shared between threads");
}

}  // namespace
