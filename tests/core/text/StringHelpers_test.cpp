#include "core/text/StringHelpers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace Vuxo {
namespace {

constexpr int64_t kMax = std::numeric_limits<int64_t>::max();

TEST(ParseInt64, ReadsTheFirstRunOfDigits) {
    const struct {
        std::string text;
        int64_t expected;
    } cases[] = {
        {"", 0},
        {"abc", 0},
        {"-", 0},
        {"0", 0},
        {"bytes=100-", 100},
        {"-5", 5},
        {"+42", 42},
        {" 007 ", 7},
        {"12abc34", 12},
        {"bytes=500-999", 500},
        {"9223372036854775806", kMax - 1},
        {"9223372036854775807", kMax},
        {"9223372036854775808", kMax},
        {"18446744073709551616", kMax},
        {"99999999999999999999999999999999", kMax},
        {"00000000000000000000000000000012", 12},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseInt64(c.text), c.expected) << c.text;
}

TEST(FormatString, FormatsWithinTheBuffer) {
    EXPECT_EQ(FormatString(64, "%d-%s-%05.1f", 42, "x", 3.14159), "42-x-003.1");
    EXPECT_EQ(FormatString(64, "Quillo Corvanta  (Revision %d)", 1095), "Quillo Corvanta  (Revision 1095)");
    EXPECT_EQ(FormatString(64, "%lld", static_cast<long long>(INT64_MIN)), "-9223372036854775808");
    EXPECT_EQ(FormatString(6000, "%05000d", 1).size(), 5000u);
}

TEST(FormatString, CutsLongOutputAtTheBufferSize) {
    EXPECT_EQ(FormatString(0, "%s", "abc"), "");
    EXPECT_EQ(FormatString(1, "%s", "abc"), "");
    EXPECT_EQ(FormatString(4, "%s", "abc"), "abc");
    EXPECT_EQ(FormatString(5, "%s", "abcdefgh"), "abcd");
    EXPECT_EQ(FormatString(8, "%d", 123456789), "1234567");
}

TEST(FormatString, CutNeverSplitsAUtf8Sequence) {
    const char* hangul = "\xED\x95\x9C\xEA\xB8\x80"; // two characters of three bytes
    EXPECT_EQ(FormatString(3, "%s", hangul), "");
    EXPECT_EQ(FormatString(4, "%s", hangul), "\xED\x95\x9C");
    EXPECT_EQ(FormatString(6, "a%s", hangul), "a\xED\x95\x9C");
    EXPECT_EQ(FormatString(7, "%s", hangul), hangul);
    EXPECT_EQ(FormatString(4, "%s", "\xF0\x9F\x98\x80"), "");
    EXPECT_EQ(FormatString(5, "%s", "\xF0\x9F\x98\x80"), "\xF0\x9F\x98\x80");
}

TEST(FormatString, ResultEndsAtTheFirstNul) {
    EXPECT_EQ(FormatString(16, "a%cb", 0), "a");
}

TEST(GroupDigits, InsertsCommasFromTheRight) {
    const struct {
        std::string text;
        int n;
        std::string expected;
    } cases[] = {
        {"", 3, ""},
        {"1", 3, "1"},
        {"123", 3, "123"},
        {"1234", 3, "1,234"},
        {"123456", 3, "123,456"},
        {"1234567", 3, "1,234,567"},
        {"1234567", 2, "1,23,45,67"},
        {"1234", 1, "1,2,3,4"},
        {"1234", 0, "1234"},
        {"1234", -2, "1234"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GroupDigits(c.text, c.n), c.expected) << c.text << " " << c.n;
}

TEST(Trim, RemovesSetCharactersAtBothEnds) {
    const struct {
        std::string text;
        std::string set;
        std::string expected;
    } cases[] = {
        {"  a b  ", " ", "a b"}, {"\t\r\n x \r\n", " \t\r\n", "x"},
        {"    ", " ", ""},       {"", " ", ""},
        {"abc", "", "abc"},      {"xxaxx", "x", "a"},
        {"-=a=-", "=-", "a"},    {"a", "a", ""},
    };
    for (const auto& c : cases) {
        std::string text = c.text;
        Trim(text, c.set);
        EXPECT_EQ(text, c.expected) << '"' << c.text << '"';
    }
    std::u16string wide = u" \uD55C\uAE00\t";
    Trim(wide, u" \t");
    EXPECT_EQ(wide, u"\uD55C\uAE00");
    std::u16string blank = u"   ";
    Trim(blank, u" ");
    EXPECT_EQ(blank, u"");
}

TEST(ToLower, ChangesOnlyAsciiLetters) {
    std::string text = "AbC-Z@[\xC3\x80\xED\x95\x9C]";
    ToLower(text);
    EXPECT_EQ(text, "abc-z@[\xC3\x80\xED\x95\x9C]");
    ToUpper(text);
    EXPECT_EQ(text, "ABC-Z@[\xC3\x80\xED\x95\x9C]");
}

TEST(IgnoringCase, OnlyAsciiLettersFold) {
    EXPECT_TRUE(EqualsIgnoringCase("Content-TYPE", "content-type"));
    EXPECT_FALSE(EqualsIgnoringCase("\xC3\x80", "\xC3\xA0")); // À and à stay apart
    EXPECT_FALSE(EqualsIgnoringCase("ab", "abc"));
    // "[" (0x5B) sorts between "Z" and "a": letters are folded before they are compared.
    EXPECT_GT(CompareIgnoringCase("Z", "["), 0);
    EXPECT_LT(CompareIgnoringCase("ab", "AbC"), 0);
    EXPECT_GT(CompareIgnoringCase("\xFF", "a"), 0); // bytes compare unsigned
    EXPECT_EQ(FindIgnoringCase("multipart/Form-Data; boundary=x", "form-data"), 10u);
    EXPECT_EQ(FindIgnoringCase("abc", "abcd"), std::string_view::npos);
    EXPECT_EQ(FindIgnoringCase("abc", ""), 0u);
}

TEST(ReplaceAll, ReplacesLeftToRightWithoutRescanning) {
    const struct {
        std::string text, from, to, expected;
    } cases[] = {
        {"a-b-c", "-", "+", "a+b+c"},
        {"aaa", "a", "aa", "aaaaaa"},
        {"aaa", "aa", "b", "ba"},
        {"abc", "", "x", "abc"},
        {"abc", "abc", "", ""},
        {"", "a", "b", ""},
        {"$name and $name", "$name", "Kim", "Kim and Kim"},
        {"no match", "zz", "y", "no match"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReplaceAll(c.text, c.from, c.to), c.expected) << c.text;
}

} // namespace
} // namespace Vuxo
