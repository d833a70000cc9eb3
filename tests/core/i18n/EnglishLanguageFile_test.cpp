// The shipped English language file: every helper appends to it, so check that it still loads whole.
#include "core/i18n/LanguageLine.h"
#include "core/i18n/LocalizationStringTable.h"
#include "core/loader/Loaders.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>

namespace Vuxo {
namespace {

class EnglishLanguageFile : public testing::Test {
protected:
    void SetUp() override {
        std::string text;
        ASSERT_TRUE(LoadUtf8TextFile(text, std::string(CORVANTA_SOURCE_DIR "/Language/English.wul")));
        std::istringstream stream(text);
        for (std::string& line : m_header) {
            std::getline(stream, line);
        }
        m_body.assign(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
    }
    std::string m_header[4];
    std::string m_body;
};

TEST_F(EnglishLanguageFile, HeaderAndEveryBodyLineLoad) {
    EXPECT_EQ(m_header[0], "Quillo Corvanta UI Language File");
    EXPECT_EQ(m_header[3], "Language: English");
    LocalizationStringTable table;
    std::istringstream body(m_body);
    ASSERT_TRUE(table.Load(body));
    EXPECT_TRUE(table.GetRefusedKeys().empty()) << "a translation has other printf conversions than its key";
    std::map<std::string, std::string> pairs;
    std::istringstream lines(m_body);
    for (std::string line, key, value; std::getline(lines, line);) {
        if (ParseLanguageLine(line, key, value) == LanguageLineKind::Pair) {
            pairs.emplace(key, value);
        }
    }
    for (const auto& [key, value] : pairs) {
        EXPECT_STREQ(table.GetTextA(key.c_str()), value.c_str()) << key;
    }
}

TEST_F(EnglishLanguageFile, KnownKeyTranslatesAndMismatchedTranslationIsRefused) {
    std::istringstream body(m_body + "\n\"%s 항목 %d개 (점검)\" = \"%s: %d items (check)\"\n"
                                     "\"%d개 파일 (점검)\" = \"%s files (check)\"\n");
    LocalizationStringTable table;
    ASSERT_TRUE(table.Load(body));
    EXPECT_STREQ(table.GetTextA("%s 항목 %d개 (점검)"), "%s: %d items (check)");
    EXPECT_STREQ(table.GetTextA("%d개 파일 (점검)"), "%d개 파일 (점검)");
    EXPECT_EQ(table.GetRefusedKeys(), (std::set<std::string>{"%d개 파일 (점검)"}));
}

} // namespace
} // namespace Vuxo
