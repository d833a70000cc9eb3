#include "core/platform/codepage/CharsetConverter.h"
#include "core/text/CodePage.h"
#include "core/text/Utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace Vuxo {
namespace {

const std::string kHangulName = "\xED\x95\x9C\xEA\xB8\x80 \xED\x8C\x8C\xEC\x9D\xBC.txt"; // "한글 파일.txt"
const std::string kHangulNameCp949 = "\xC7\xD1\xB1\xDB \xC6\xC4\xC0\xCF.txt";

TEST(CodePage, HangulRoundTripsThroughCp949) {
    EXPECT_EQ(Utf8ToCp949(kHangulName), kHangulNameCp949);
    EXPECT_EQ(Cp949ToUtf8(kHangulNameCp949), kHangulName);
    EXPECT_EQ(WideToMultiByte(Utf8ToWide(kHangulName), kCodePageKorean), kHangulNameCp949);
    EXPECT_EQ(MultiByteToWide(kHangulNameCp949, kCodePageKorean), Utf8ToWide(kHangulName));
    // The system's ANSI page is Korean.
    EXPECT_EQ(WideToMultiByte(Utf8ToWide(kHangulName), kCodePageAnsi), kHangulNameCp949);
    EXPECT_EQ(MultiByteToWide(kHangulNameCp949, kCodePageAnsi), Utf8ToWide(kHangulName));
}

TEST(CodePage, CharactersCp949LacksBecomeUnderscore) {
    const struct {
        const char* name;
        std::u16string wide;
        std::string expected;
    } cases[] = {
        {"emoji (one per pair)",
         u"a\xD83D\xDE00"
         "b",
         "a_b"},
        {"two emoji", u"\xD83D\xDE00\xD83D\xDE01", "__"},
        {"latin accent", u"caf\u00E9", "caf_"},
        {"lone high surrogate",
         u"x\xD83D"
         "y",
         "x_y"},
        {"lone high surrogate at end", u"x\xD83D", "x_"},
        {"lone low surrogate", u"\xDE00", "_"},
        {"hangul next to emoji", u"\uD55C\xD83D\xDE00", "\xC7\xD1_"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WideToMultiByte(c.wide, kCodePageKorean), c.expected) << c.name;
    EXPECT_EQ(Utf8ToCp949("\xF0\x9F\x98\x80.txt"), "_.txt");
}

TEST(CodePage, InvalidCp949BytesBecomeReplacementCharacters) {
    const struct {
        const char* name;
        std::string bytes;
        std::u16string expected;
    } cases[] = {
        {"empty", "", u""},
        {"ascii", "plain.txt", u"plain.txt"},
        {"bad byte",
         "a\xFF"
         "b",
         u"a\uFFFD"
         "b"},
        {"lead byte cut at end", "ab\xC7", u"ab\uFFFD"},
        {"bad byte then hangul", "\xFF\xC7\xD1", u"\uFFFD\uD55C"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MultiByteToWide(c.bytes, kCodePageKorean), c.expected) << c.name;
}

TEST(CodePage, Utf8PageKeepsCharactersOutsideTheBmp) {
    const std::u16string wide = u"\uD55C \xD83D\xDE00";
    const std::string utf8 = "\xED\x95\x9C \xF0\x9F\x98\x80";
    EXPECT_EQ(WideToMultiByte(wide, kCodePageUtf8), utf8);
    EXPECT_EQ(MultiByteToWide(utf8, kCodePageUtf8), wide);
    // Korean text takes three bytes per unit in UTF-8; long texts must not be cut.
    const std::u16string longKorean(5000, u'\uD55C');
    EXPECT_EQ(WideToMultiByte(longKorean, kCodePageUtf8).size(), 15000u);
}

TEST(CodePage, EmbeddedNulIsKept) {
    const std::u16string wide(u"a\0b", 3);
    const std::string narrow("a\0b", 3);
    EXPECT_EQ(WideToMultiByte(wide, kCodePageKorean), narrow);
    EXPECT_EQ(MultiByteToWide(narrow, kCodePageKorean), wide);
}

TEST(CodePage, UnknownPagesGiveEmptyText) {
    EXPECT_EQ(WideToMultiByte(u"abc", 12345), "");
    EXPECT_EQ(MultiByteToWide("abc", 12345), u"");
    EXPECT_EQ(WideToMultiByte(u"abc", -1), "");
    EXPECT_EQ(MultiByteToWide("abc", -1), u"");
    // Other pages iconv knows work by number.
    EXPECT_EQ(WideToMultiByte(u"caf\u00E9", 1252), "caf\xE9");
    EXPECT_EQ(MultiByteToWide("caf\xE9", 1252), u"caf\u00E9");
}

// Longer than the converter's working chunk, with substitutions spread over the chunk edges.
TEST(CodePage, LongTextsConvertWhole) {
    std::u16string wide;
    std::string expected;
    for (int i = 0; i < 6000; ++i) {
        if (i % 97 == 0) {
            wide += u"\xD83D\xDE00";
            expected += "_";
        } else {
            wide += u"\uD55C";
            expected += "\xC7\xD1";
        }
    }
    const std::string narrow = WideToMultiByte(wide, kCodePageKorean);
    EXPECT_EQ(narrow, expected);
    std::string invalid = narrow + "\xFF";
    std::u16string back = MultiByteToWide(invalid, kCodePageKorean);
    ASSERT_FALSE(back.empty());
    EXPECT_EQ(back.back(), u'\uFFFD');
    back.pop_back();
    EXPECT_EQ(back, MultiByteToWide(narrow, kCodePageKorean));
    EXPECT_EQ(back.size(), 6000u);
}

TEST(CodePage, ConcurrentConversionsAgree) {
    std::vector<std::thread> threads;
    std::vector<int> failures(8, 0);
    for (size_t t = 0; t < failures.size(); ++t) {
        threads.emplace_back([&failures, t] {
            for (int i = 0; i < 200; ++i) {
                if (Utf8ToCp949(kHangulName) != kHangulNameCp949 ||
                    Cp949ToUtf8(kHangulNameCp949) != kHangulName)
                    ++failures[t];
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    for (int f : failures)
        EXPECT_EQ(f, 0);
}

TEST(CharsetConverter, ReportsUnknownCharsets) {
    EXPECT_TRUE(IsCharsetKnown("CP949"));
    EXPECT_FALSE(IsCharsetKnown("NO-SUCH-CHARSET"));
    EXPECT_FALSE(EncodeFromUtf16(u"a", "NO-SUCH-CHARSET", '_').has_value());
    EXPECT_FALSE(DecodeToUtf16("a", "NO-SUCH-CHARSET", u'?').has_value());
    EXPECT_EQ(EncodeFromUtf16(u"a\u00E9", "ASCII", '*').value_or("none"), "a*");
    EXPECT_EQ(DecodeToUtf16("a\x80", "ASCII", u'?').value_or(u"none"), u"a?");
}

} // namespace
} // namespace Vuxo
