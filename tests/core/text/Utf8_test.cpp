#include "core/text/Utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <type_traits>
#include <vector>

namespace Vuxo {
namespace {

// Decodes through an output buffer of exactly `len` units and an input buffer of exactly the
// input's bytes, both on the heap, so the sanitizer sees any access past either end.
std::u16string DecodeExact(const std::string& bytes) {
    std::vector<char> in(bytes.begin(), bytes.end());
    std::vector<char16_t> out(in.size());
    const size_t n = Utf8Decode(out.data(), in.data(), in.size());
    EXPECT_LE(n, in.size());
    return std::u16string(out.data(), n);
}

std::string EncodeExact(const std::u16string& wide) {
    std::vector<char16_t> in(wide.begin(), wide.end());
    std::vector<char> out(in.size() * 3);
    const size_t n = Utf8Encode(out.data(), in.data(), in.size());
    EXPECT_LE(n, out.size());
    return std::string(out.data(), n);
}

template <typename Text> size_t CountAscii(const Text& text) {
    size_t n = 0;
    for (auto c : text)
        n += static_cast<std::make_unsigned_t<decltype(c)>>(c) < 0x80;
    return n;
}

struct DecodeCase {
    const char* name;
    std::string bytes;
    std::u16string expected;
};

TEST(Utf8Decode, WellFormedInput) {
    const std::vector<DecodeCase> cases = {
        {"empty", "", u""},
        {"ascii", "a/b.txt", u"a/b.txt"},
        {"two bytes", "\xC3\xA9", u"\u00E9"},
        {"euro sign", "\xE2\x82\xAC", u"\u20AC"},
        {"hangul", "\xED\x95\x9C\xEA\xB8\x80", u"\uD55C\uAE00"},
        {"last before surrogates", "\xED\x9F\xBF", u"\uD7FF"},
        {"first after surrogates", "\xEE\x80\x80", u"\uE000"},
        {"replacement char itself", "\xEF\xBF\xBD", u"\uFFFD"},
        {"emoji as pair", "\xF0\x9F\x98\x80", u"\xD83D\xDE00"},
        {"highest code point", "\xF4\x8F\xBF\xBF", u"\xDBFF\xDFFF"},
        {"embedded nul kept", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DecodeExact(c.bytes), c.expected) << c.name;
        EXPECT_TRUE(IsValidUtf8(c.bytes)) << c.name;
        EXPECT_EQ(Utf8ToWide(c.bytes), c.expected) << c.name;
    }
}

TEST(Utf8Decode, IllFormedSequencesBecomeReplacementCharacters) {
    const std::u16string r1 = u"\uFFFD";
    const std::u16string r2 = r1 + r1;
    const std::u16string r3 = r2 + r1;
    const std::u16string r4 = r3 + r1;
    const std::vector<DecodeCase> cases = {
        {"overlong dot", "\xC0\xAE", r2},
        {"overlong nul", "\xC0\x80", r2},
        {"overlong slash C1", "\xC1\xAF", r2},
        {"three-byte overlong dot", "\xE0\x80\xAE", r3},
        {"four-byte overlong", "\xF0\x80\x80\xAE", r4},
        {"high surrogate", "\xED\xA0\x80", r3},
        {"low surrogate", "\xED\xB0\x80", r3},
        {"encoded pair (CESU)", "\xED\xA0\xBD\xED\xB8\x80", r3 + r3},
        {"above U+10FFFF", "\xF4\x90\x80\x80", r4},
        {"F5 lead", "\xF5\x80\x80\x80", r4},
        {"five-byte form", "\xF8\x88\x80\x80\x80", r4 + r1},
        {"lone continuation", "\x80", r1},
        {"FE and FF", "\xFE\xFF", r2},
        {"two-byte cut at end", "\xC3", r1},
        {"three-byte cut at end", "\xE2\x82", r1},
        {"four-byte cut at end", "\xF0\x9F\x98", r1},
        {"cut before ascii",
         "\xE2\x82"
         "A",
         r1 + u"A"},
        {"cut before nul", std::string("\xE2\x82\0", 3), r1 + std::u16string(1, u'\0')},
        {"lead followed by lead", "\xC3\xC3\xA9", r1 + u"\u00E9"},
        {"bad byte then ascii",
         "\xFF"
         "a",
         r1 + u"a"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DecodeExact(c.bytes), c.expected) << c.name;
        EXPECT_FALSE(IsValidUtf8(c.bytes)) << c.name;
    }
}

// A request path like "%C0%AE%C0%AE/" must never come out as "../".
TEST(Utf8Decode, NoMultiByteSequenceYieldsAscii) {
    std::string bytes(2, '\0');
    for (int a = 0x80; a < 0x100; ++a) {
        for (int b = 0; b < 0x100; ++b) {
            bytes[0] = static_cast<char>(a);
            bytes[1] = static_cast<char>(b);
            ASSERT_EQ(CountAscii(DecodeExact(bytes)), CountAscii(bytes)) << a << " " << b;
        }
    }
    bytes.resize(3);
    for (int a = 0xE0; a < 0x100; ++a) {
        for (int b = 0x80; b < 0xC0; ++b) {
            for (int c = 0; c < 0x100; ++c) {
                bytes = {static_cast<char>(a), static_cast<char>(b), static_cast<char>(c)};
                ASSERT_EQ(CountAscii(Utf8ToWide(bytes)), CountAscii(bytes)) << a << " " << b << " " << c;
            }
        }
    }
}

TEST(Utf8, EveryCodePointRoundTrips) {
    for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF)
            continue;
        std::u16string wide;
        if (cp < 0x10000) {
            wide.push_back(static_cast<char16_t>(cp));
        } else {
            wide.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            wide.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        }
        const size_t expectedBytes = cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
        const std::string utf8 = WideToUtf8(wide);
        ASSERT_EQ(utf8.size(), expectedBytes) << std::hex << static_cast<uint32_t>(cp);
        ASSERT_TRUE(IsValidUtf8(utf8)) << std::hex << static_cast<uint32_t>(cp);
        ASSERT_EQ(Utf8ToWide(utf8), wide) << std::hex << static_cast<uint32_t>(cp);
    }
}

TEST(Utf8Encode, KnownEncodingsAndLoneSurrogates) {
    const std::string fffd = "\xEF\xBF\xBD";
    const struct {
        const char* name;
        std::u16string wide;
        std::string expected;
    } cases[] = {
        {"euro sign", u"\u20AC", "\xE2\x82\xAC"},
        {"latin", u"\u00E9", "\xC3\xA9"},
        {"pair to four bytes", u"\xD83D\xDE00", "\xF0\x9F\x98\x80"},
        {"pair between text", u"a\xD83D\xDE00z", "a\xF0\x9F\x98\x80z"},
        {"lone high at end", u"a\xD83D", "a" + fffd},
        {"lone low",
         u"\xDE00"
         "b",
         fffd + "b"},
        {"reversed pair", u"\xDE00\xD83D", fffd + fffd},
        {"high then ascii",
         u"\xD83D"
         "x",
         fffd + "x"},
        {"two highs then low", u"\xD83D\xD83D\xDE00", fffd + "\xF0\x9F\x98\x80"},
        {"nul kept", std::u16string(u"a\0b", 3), std::string("a\0b", 3)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EncodeExact(c.wide), c.expected) << c.name;
        EXPECT_EQ(WideToUtf8(c.wide), c.expected) << c.name;
    }
}

// Worst cases for the documented buffer sizes: every unit three bytes, every byte one unit.
TEST(Utf8, DocumentedBufferSizesSuffice) {
    EXPECT_EQ(EncodeExact(std::u16string(50, u'\uFFFF')).size(), 150u);
    EXPECT_EQ(EncodeExact(std::u16string(50, u'\xD800')).size(), 150u);
    EXPECT_EQ(DecodeExact(std::string(50, '\xFF')).size(), 50u);
    std::string emoji;
    for (int i = 0; i < 10; ++i)
        emoji += "\xF0\x9F\x98\x80";
    EXPECT_EQ(DecodeExact(emoji).size(), 20u);
}

} // namespace
} // namespace Vuxo
