#include "core/i18n/FormatConversions.h"
#include "core/i18n/LanguageLine.h"

#include <gtest/gtest.h>

#include <string>

namespace Vuxo {
namespace {

using Kind = LanguageLineKind;

struct LineCase {
    std::string line;
    Kind kind;
    std::string key;
    std::string value;
};

TEST(LanguageLine, ParsesPairsSkipsAndRefuses) {
    const LineCase cases[] = {
        {R"("파일" = "File")", Kind::Pair, "파일", "File"},
        {" \t\"a\"\t=  \"b\" trailing words\r", Kind::Pair, "a", "b"},
        {R"("a=b"="")", Kind::Pair, "a=b", ""},
        {R"("say \"hi\"" = "a\nb\tc\rd\qe\\f")", Kind::Pair, "say \"hi\"", "a\nb\tc\rdqe\\f"},
        {"\"long\" = \"" + std::string(3000, 'v') + "\"", Kind::Pair, "long", std::string(3000, 'v')},
        {"", Kind::Skip, "", ""},
        {"\r", Kind::Skip, "", ""},
        {" \t x", Kind::Skip, "", ""},
        {"# comment", Kind::Error, "", ""},
        {R"("abc = def)", Kind::Error, "", ""},
        {R"("a" "b")", Kind::Error, "", ""},
        {"\"a\" =  \t", Kind::Error, "", ""},
        {R"("a" = b)", Kind::Error, "", ""},
        {"\"a\" = \"b\r", Kind::Error, "", ""},
        // A quote right after a backslash never closes, even when that backslash was itself escaped.
        {R"("a" = "b\\")", Kind::Error, "", ""},
    };
    for (const LineCase& c : cases) {
        std::string key = "-", value = "-";
        EXPECT_EQ(ParseLanguageLine(c.line, key, value), c.kind) << c.line;
        EXPECT_EQ(key, c.kind == Kind::Pair ? c.key : "-") << c.line;
        EXPECT_EQ(value, c.kind == Kind::Pair ? c.value : "-") << c.line;
    }
    EXPECT_EQ(UnescapeLanguageText("a\\"), "a\\");
}

TEST(FormatConversions, TranslationMustReadTheSameArguments) {
    struct Case {
        std::string original, translation;
        bool same;
    };
    const Case cases[] = {
        {"%d개의 파일", "%d files", true},
        {"%s: %d", "%d: %s", false},
        {"%s", "", false},
        {"100%%", "100 %%", true},
        {"%%d", "%d", false},
        {"%-5d %.2f", "%d %f", true},
        {"%*d", "%d", false},
        {"%.*s", "%*s", true},
        {"%ld", "%d", false},
        {"%1$s %2$s", "%2$s %1$s", false},
        {"%s", "%n", false},
        {"50%", "50", false},
        {std::string("%\0d", 3), "%d", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HaveSameFormatConversions(c.original, c.translation), c.same)
            << c.original << " / " << c.translation;
    }
}

} // namespace
} // namespace Vuxo
