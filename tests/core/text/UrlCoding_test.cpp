#include "core/text/UrlCoding.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Vuxo {
namespace {

struct Case {
    std::string input;
    std::string expected;
};

TEST(UrlEncode, KeepsOnlyLettersDigitsDotSlashUnderscore) {
    const Case cases[] = {
        {"", ""},
        {"a b-c~d.txt", "a%20b%2dc%7ed.txt"},
        {"\xEA", "%ea"},
        {"/dir/sub_1/File.TXT", "/dir/sub_1/File.TXT"},
        {"100%", "100%25"},
        {"a+b&c=d?e#f", "a%2bb%26c%3dd%3fe%23f"},
        {std::string("\0", 1), "%00"},
        {"\xED\x95\x9C", "%ed%95%9c"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(UrlEncode(c.input), c.expected) << c.input;
}

TEST(UrlDecode, DecodesEscapesAndKeepsMalformedOnes) {
    const Case cases[] = {
        {"", ""},
        {"%", "%"},
        {"%4", "%4"},
        {"%%", "%%"},
        {"%%41", "%A"},
        {"%41%4", "A%4"},
        {"100%", "100%"},
        {"a+b", "a+b"},
        {"%zz%4g", "%zz%4g"},
        {"%2F%2f", "//"},
        {"%ED%95%9c", "\xED\x95\x9C"},
        {"%C0%AE%C0%AE/", "\xC0\xAE\xC0\xAE/"},
        {"a%00b", std::string("a\0b", 3)},
        {"%252e", "%2e"}, // one level only
    };
    for (const auto& c : cases)
        EXPECT_EQ(UrlDecode(c.input), c.expected) << c.input;
}

// Exactly sized heap buffers, so the sanitizer sees a read past the end of a short escape.
TEST(UrlDecode, ShortEscapesAtTheEndStayInsideTheInput) {
    const Case cases[] = {{"", ""}, {"%", "%"}, {"%4", "%4"}, {"a%", "a%"}, {"%41", "A"}, {"a%4", "a%4"}};
    for (const auto& c : cases) {
        const std::vector<char> exact(c.input.begin(), c.input.end());
        EXPECT_EQ(UrlDecode(std::string_view(exact.data(), exact.size())), c.expected) << c.input;
        EXPECT_EQ(FormDecode(std::string_view(exact.data(), exact.size())), c.expected) << c.input;
    }
}

TEST(FormDecode, PlusIsSpaceButEscapedPlusIsNot) {
    EXPECT_EQ(FormDecode("a+b%2B"), "a b+");
    EXPECT_EQ(FormDecode("+"), " ");
    EXPECT_EQ(FormDecode("%"), "%");
    EXPECT_EQ(FormDecode(""), "");
}

TEST(UrlCoding, EveryByteRoundTrips) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    const std::string encoded = UrlEncode(all);
    for (char c : encoded)
        EXPECT_LT(static_cast<unsigned char>(c), 0x80);
    EXPECT_EQ(UrlDecode(encoded), all);
}

} // namespace
} // namespace Vuxo
