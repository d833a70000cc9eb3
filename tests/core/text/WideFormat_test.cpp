#include "core/text/StringHelpers.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>

namespace Vuxo {
namespace {

TEST(FormatWideString, NumericConversionsFollowPrintf) {
    EXPECT_EQ(FormatWideString(64, u"%d|%i|%u", -42, 7, 42u), u"-42|7|42");
    EXPECT_EQ(FormatWideString(64, u"%x|%X|%#o", 255u, 255u, 8u), u"ff|FF|010");
    EXPECT_EQ(FormatWideString(64, u"%lld", static_cast<long long>(INT64_MIN)), u"-9223372036854775808");
    EXPECT_EQ(FormatWideString(64, u"%llu", static_cast<unsigned long long>(UINT64_MAX)),
              u"18446744073709551615");
    EXPECT_EQ(FormatWideString(64, u"%zu|%ld|%jd", size_t{5}, 6L, intmax_t{-7}), u"5|6|-7");
    EXPECT_EQ(FormatWideString(64, u"%hhd|%hd", 300, 70000), u"44|4464");
    EXPECT_EQ(FormatWideString(64, u"%5d|%-5d|%05d|%+d", 42, 42, 42, 42), u"   42|42   |00042|+42");
    EXPECT_EQ(FormatWideString(64, u"%*d|%-*d|%*d", 4, 1, 3, 2, -3, 3), u"   1|2  |3  ");
    EXPECT_EQ(FormatWideString(64, u"%.3f|%08.2f|%e", 3.14159, -2.5, 1000.0), u"3.142|-0002.50|1.000000e+03");
    EXPECT_EQ(FormatWideString(64, u"%.*f", 1, 2.25), u"2.2");
    EXPECT_EQ(FormatWideString(64, u"%Lg", 0.5L), u"0.5");
    EXPECT_EQ(FormatWideString(64, u"%.1f KB/s", 12.34), u"12.3 KB/s");
}

TEST(FormatWideString, StringsAndCharacters) {
    const char16_t* hangul = u"\uD55C\uAE00";
    EXPECT_EQ(FormatWideString(64, u"[%s]", hangul), u"[\uD55C\uAE00]");
    EXPECT_EQ(FormatWideString(64, u"[%ls]", hangul), u"[\uD55C\uAE00]");
    EXPECT_EQ(FormatWideString(64, u"[%hs]", "\xED\x95\x9C\xEA\xB8\x80"), u"[\uD55C\uAE00]");
    EXPECT_EQ(FormatWideString(64, u"[%4s|%-4s]", hangul, hangul), u"[  \uD55C\uAE00|\uD55C\uAE00  ]");
    EXPECT_EQ(FormatWideString(64, u"[%.1s]", hangul), u"[\uD55C]");
    EXPECT_EQ(FormatWideString(64, u"[%.1s]", u"\xD83D\xDE00"), u"[]");
    EXPECT_EQ(FormatWideString(64, u"[%s]", static_cast<const char16_t*>(nullptr)), u"[(null)]");
    EXPECT_EQ(FormatWideString(64, u"[%c%3c%hc]", u'\uAC00', u'x', 'y'), u"[\uAC00  xy]");
    EXPECT_EQ(FormatWideString(64, u"100%%"), u"100%");
    EXPECT_EQ(FormatWideString(64, u"%s: %d", u"count", 3), u"count: 3");
}

TEST(FormatWideString, OddConversionsKeepLaterArgumentsInStep) {
    int ignored = 0;
    EXPECT_EQ(FormatWideString(64, u"%y%d", 5), u"%y5");
    EXPECT_EQ(FormatWideString(64, u"%Ld|%hf|%lp|%d", 5), u"%Ld|%hf|%lp|5");
    EXPECT_EQ(FormatWideString(64, u"a%n%d", &ignored, 7), u"a7");
    EXPECT_EQ(ignored, 0);
    EXPECT_EQ(FormatWideString(64, u"tail %"), u"tail %");
    EXPECT_EQ(FormatWideString(64, u"tail %5"), u"tail %5");
}

TEST(FormatWideString, CutsAtTheBufferSize) {
    EXPECT_EQ(FormatWideString(0, u"%s", u"abc"), u"");
    EXPECT_EQ(FormatWideString(1, u"%s", u"abc"), u"");
    EXPECT_EQ(FormatWideString(4, u"%s", u"abc"), u"abc");
    EXPECT_EQ(FormatWideString(4, u"%s", u"abcdef"), u"abc");
    EXPECT_EQ(FormatWideString(4, u"abcdef%d", 1), u"abc");
    EXPECT_EQ(FormatWideString(5, u"%d", 123456789), u"1234");
    EXPECT_EQ(FormatWideString(3, u"a%s", u"\xD83D\xDE00"), u"a");
    EXPECT_EQ(FormatWideString(4, u"a%s", u"\xD83D\xDE00"), u"a\xD83D\xDE00");
    EXPECT_EQ(FormatWideString(10, u"%*d", INT_MAX, 1), u"         ");
    EXPECT_EQ(FormatWideString(10, u"%-*d|", INT_MIN, 1), u"1        ");
}

TEST(FormatWideString, ResultEndsAtTheFirstNul) {
    EXPECT_EQ(FormatWideString(16, u"a%cb", 0), u"a");
}

} // namespace
} // namespace Vuxo
