#include "core/i18n/LocalizationStringTable.h"
#include "core/text/Utf8.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace Vuxo {
namespace {

bool LoadBody(LocalizationStringTable& table, const std::string& body) {
    std::istringstream stream(body);
    return table.Load(stream);
}

TEST(LocalizationStringTable, MissingTextFallsBackAndIsRecordedByCachedLookupsOnly) {
    LocalizationStringTable table;
    EXPECT_STREQ(table.GetTextA("공유 폴더"), "공유 폴더");
    EXPECT_EQ(std::u16string(table.GetTextW("열기 📁")), u"열기 📁");
    EXPECT_EQ(table.GetString("없음S"), "없음S");
    EXPECT_EQ(table.GetWString(u"없음G"), u"없음G");
    EXPECT_STREQ(table.GetTextA(nullptr), "");
    ASSERT_TRUE(LoadBody(table, ""));
    EXPECT_EQ(table.GetMissingKeys(), (std::set<std::string>{"", "공유 폴더", "열기 📁"}));
}

TEST(LocalizationStringTable, LoadsPairsAndAnswersByText) {
    LocalizationStringTable table;
    ASSERT_TRUE(LoadBody(table, "\"파일\" = \"File\"\r\n\r\n  \"파일\" = \"second\"\n"
                                "\"줄\" = \"one\\ntwo \\\"3\\\"\"\n\"끝\" = \"End 📁\""));
    EXPECT_STREQ(table.GetTextA("파일"), "File");
    EXPECT_STREQ(table.GetTextA("줄"), "one\ntwo \"3\"");
    EXPECT_EQ(std::u16string(table.GetTextW("끝")), u"End 📁");
    EXPECT_EQ(table.GetString("끝"), "End 📁");
    EXPECT_EQ(table.GetWString(u"파일"), u"File");
    // The answer follows the text, not the address: equal texts share it, a reused buffer gets a new one.
    char buffer[16] = "파일";
    EXPECT_EQ(table.GetTextA(buffer), table.GetTextA("파일"));
    EXPECT_EQ(table.GetTextW(buffer), table.GetTextW("파일"));
    std::snprintf(buffer, sizeof buffer, "%s", "끝");
    EXPECT_STREQ(table.GetTextA(buffer), "End 📁");
    EXPECT_EQ(std::u16string(table.GetTextW(buffer)), u"End 📁");
}

TEST(LocalizationStringTable, MalformedLineEmptiesTheTable) {
    LocalizationStringTable table;
    ASSERT_TRUE(LoadBody(table, "\"파일\" = \"File\"\n"));
    EXPECT_FALSE(LoadBody(table, "\"폴더\" = \"Folder\"\n# not a pair\n\"열기\" = \"Open\"\n"));
    EXPECT_STREQ(table.GetTextA("파일"), "파일");
    EXPECT_STREQ(table.GetTextA("폴더"), "폴더");
}

TEST(LocalizationStringTable, MismatchedConversionsAreRefusedAndTheRestLoads) {
    LocalizationStringTable table;
    ASSERT_TRUE(LoadBody(table, "\"%d개의 파일\" = \"%s files\"\n\"%s 님\" = \"Mr. %s\"\n"
                                "\"%d개\" = \"%d %s\"\n\"%d개\" = \"%d items\"\n"));
    EXPECT_STREQ(table.GetTextA("%d개의 파일"), "%d개의 파일");
    EXPECT_STREQ(table.GetTextA("%s 님"), "Mr. %s");
    EXPECT_STREQ(table.GetTextA("%d개"), "%d items"); // the refused first value does not count
    EXPECT_EQ(table.GetRefusedKeys(), (std::set<std::string>{"%d개의 파일"}));
}

TEST(LocalizationStringTable, AnswersStayValidAcrossLoads) {
    LocalizationStringTable table;
    ASSERT_TRUE(LoadBody(table, "\"저장\" = \"Save\"\n"));
    const char* narrow = table.GetTextA("저장");
    const char16_t* wide = table.GetTextW("저장");
    const char* builtIn = table.GetTextA("취소");
    ASSERT_TRUE(LoadBody(table, "\"저장\" = \"Store\"\n\"취소\" = \"Cancel\"\n"));
    EXPECT_STREQ(table.GetTextA("저장"), "Store");
    EXPECT_EQ(std::u16string(table.GetTextW("저장")), u"Store");
    EXPECT_FALSE(LoadBody(table, "broken\n"));
    EXPECT_STREQ(narrow, "Save");
    EXPECT_EQ(std::u16string(wide), u"Save");
    EXPECT_STREQ(builtIn, "취소");
}

TEST(LocalizationStringTable, LookupsWhileAnotherThreadLoads) {
    LocalizationStringTable table;
    const std::string bodies[2] = {"\"하나\" = \"one\"\n\"둘\" = \"two\"\n",
                                   "\"하나\" = \"uno\"\n\"둘\" = \"dos\"\n"};
    ASSERT_TRUE(LoadBody(table, bodies[0]));
    std::atomic<bool> stop{false};
    std::atomic<int> wrong{0};
    std::vector<std::vector<const char*>> kept(6);
    std::vector<std::thread> readers;
    for (auto& mine : kept) {
        readers.emplace_back([&] {
            while (!stop) {
                const char* one = table.GetTextA("하나");
                std::string two = WideToUtf8(table.GetTextW("둘"));
                wrong += (std::string(one) != "one" && std::string(one) != "uno") ||
                         (two != "two" && two != "dos");
                if (mine.size() < 10000) {
                    mine.push_back(one);
                }
            }
        });
    }
    for (int i = 0; i < 200; ++i) {
        LoadBody(table, bodies[i % 2]);
    }
    stop = true;
    for (std::thread& reader : readers) {
        reader.join();
    }
    EXPECT_EQ(wrong.load(), 0);
    for (const auto& list : kept) { // still readable: nothing handed out was freed by a load
        for (const char* text : list) {
            ASSERT_TRUE(std::string(text) == "one" || std::string(text) == "uno");
        }
    }
}

TEST(LocalizationStringTable, GlobalInstanceAndShortForm) {
    EXPECT_EQ(&LocalizationStringTable::GetInstance(), &LocalizationStringTable::GetInstance());
    EXPECT_EQ(Tr("확인"), LocalizationStringTable::GetInstance().GetTextA("확인"));
    EXPECT_STREQ(Tr("확인"), "확인");
}

} // namespace
} // namespace Vuxo
