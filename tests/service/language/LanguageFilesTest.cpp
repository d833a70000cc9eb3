// The language files: which files load and are listed, in what order, how their header lines are read,
// and which file a first start picks for a locale.
#include "service/language/LanguageFiles.h"

#include "core/i18n/LocalizationStringTable.h"
#include "fixtures/support/TempDir.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace Vuxo {
namespace {

using Fixtures::TempDir;

const std::string kBom = "\xEF\xBB\xBF";
const std::string kGoodFile = kBom + "Quillo Corvanta UI Language File\nx\nTest\nLanguage: Test\n"
                                     "\"꺼짐\" = \"Off\"\n\"켜짐\" = \"On\"\n";

class LanguageFiles : public ::testing::Test {
protected:
    void Write(const std::string& name, const std::string& bytes) {
        ASSERT_TRUE(Fixtures::WriteFile(program.Path("Language/" + name), bytes));
    }
    std::string Header(const std::string& displayText) {
        return kBom + "Quillo Corvanta UI Language File\n\nName\n" + displayText + "\n";
    }

    TempDir program;
    LocalizationStringTable table;
};

TEST_F(LanguageFiles, LoadsOnlyWellFormedFilesByPlainName) {
    struct Case {
        const char* what;
        std::string name;
        std::string bytes;
        bool loads;
    };
    const Case cases[] = {
        {"good", "Test.wul", kGoodFile, true},
        {"magic with trailing blank and CR", "Test.wul",
         kBom + "Quillo Corvanta UI Language File \r\n\n\nL\n\"꺼짐\" = \"Off\"\n", true},
        {"no byte-order mark", "Test.wul", kGoodFile.substr(3), false},
        {"magic in other case", "Test.wul", kBom + "quillo corvanta ui language file\n\n\nL\n", false},
        {"header cut short", "Test.wul", kBom + "Quillo Corvanta UI Language File\n", false},
        {"malformed body", "Test.wul", Header("L") + "# comment\n", false},
        {"missing file", "Other.wul", kGoodFile, false},
        {"folder part", "../Language/Test.wul", kGoodFile, false},
        {"parent", "..", kGoodFile, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Write("Test.wul", c.bytes);
        LocalizationStringTable fresh;
        EXPECT_EQ(LoadLanguage(program.Path(), c.name, fresh), c.loads);
        EXPECT_EQ(std::string(fresh.GetTextA("꺼짐")), c.loads ? "Off" : "꺼짐");
    }
}

TEST_F(LanguageFiles, AnEmptyNameKeepsTheTable) {
    std::istringstream body("\"꺼짐\" = \"Off\"\n");
    ASSERT_TRUE(table.Load(body));
    EXPECT_TRUE(LoadLanguage("/nonexistent", "", table));
    EXPECT_EQ(std::string(table.GetTextA("꺼짐")), "Off");
}

TEST_F(LanguageFiles, ListsTheBuiltInEntryThenTheGoodFilesByName) {
    EXPECT_EQ(ListLanguages(program.Path()).size(), 1u); // no folder at all
    Write("b.wul", Header("Language: B"));
    Write("a.wul", Header("Language: A"));
    Write("C.wul", Header("Language: C"));
    Write("nobom.wul", Header("Language: no mark").substr(3));
    Write("wrong.wul", kBom + "Quillo Corvanta UI Language\n\n\nLanguage: wrong\n");
    Write("upper.WUL", Header("Language: upper"));
    Write("notes.txt", Header("Language: text"));

    const std::vector<LanguageInfo> list = ListLanguages(program.Path());
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0].fileName, "");
    EXPECT_EQ(list[0].languageName, u"한국어");
    EXPECT_EQ(list[0].displayText, u"언어: 한국어 (default)");
    EXPECT_EQ(list[1].fileName, "C.wul");
    EXPECT_EQ(list[2].fileName, "a.wul");
    EXPECT_EQ(list[2].displayText, u"Language: A");
    EXPECT_EQ(list[2].languageName, u"Name");
    EXPECT_EQ(list[3].fileName, "b.wul");
}

TEST_F(LanguageFiles, HeaderLinesAreCutWithoutSplittingACharacter) {
    // 126 ASCII bytes, then a three-byte character that would end at byte 129.
    const std::string longLine = std::string(126, 'x') + "한";
    std::istringstream in("Quillo Corvanta UI Language File\n\t note \r\n" + longLine + "\n" + longLine +
                          "yy\nbody");
    LanguageInfo info;
    ASSERT_TRUE(ReadLanguageHeader(in, info));
    EXPECT_EQ(info.note, u"note");
    EXPECT_EQ(info.languageName, std::u16string(126, u'x'));
    EXPECT_EQ(info.displayText, std::u16string(126, u'x'));
    std::string rest;
    std::getline(in, rest);
    EXPECT_EQ(rest, "body");
}

TEST(LanguageFileForLocale, KoreanKeepsTheBuiltInTextsEveryOtherLocaleTakesEnglish) {
    for (const char* korean : {"ko", "ko_KR", "ko_KR.UTF-8", "ko_KR.eucKR", "ko@latin"}) {
        EXPECT_EQ(LanguageFileForLocale(korean), "") << korean;
    }
    for (const char* other : {"", "C", "POSIX", "C.UTF-8", "en_US.UTF-8", "de_DE", "kok_IN"}) {
        EXPECT_EQ(LanguageFileForLocale(other), "English.wul") << other;
    }
}

} // namespace
} // namespace Vuxo
