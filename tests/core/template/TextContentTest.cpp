#include <gtest/gtest.h>

#include <string>

#include "core/template/TextContent.h"

namespace {

using Vuxo::TextContent;

TEST(TextContent, SelectRowIsBoundsChecked) {
    TextContent content;
    content.AddRow("$l", {{"$v", "a"}});
    content.AddRow("$l", {{"$v", "b"}});
    struct Case {
        const char* list;
        int index;
        bool ok;
    };
    const Case cases[] = {{"$l", 0, true},   {"$l", 1, true},        {"$l", 2, false},
                          {"$l", -1, false}, {"$l", 1 << 30, false}, {"$none", 0, false}};
    for (const Case& c : cases) {
        ASSERT_TRUE(content.SelectRow("$l", 0)); // something current before each try
        EXPECT_EQ(content.SelectRow(c.list, c.index), c.ok) << c.list << " " << c.index;
        std::string value;
        EXPECT_EQ(content.GetValue("$v", value), c.ok);
        if (c.ok) {
            EXPECT_EQ(value, c.index == 0 ? "a" : "b");
        } else {
            EXPECT_EQ(content.CurrentRow(), nullptr);
        }
    }
}

TEST(TextContent, LookupTriesTheCurrentRowThenTheVariables) {
    TextContent content;
    content.SetValue("$name", "global");
    content.SetValue("$only", "variable");
    content.SetValue("$name", "replaced");
    content.AddRow("$files", {{"$name", "row"}});
    std::string value;
    EXPECT_TRUE(content.GetValue("$name", value));
    EXPECT_EQ(value, "replaced");
    ASSERT_TRUE(content.SelectRow("$files", 0));
    EXPECT_TRUE(content.GetValue("$name", value));
    EXPECT_EQ(value, "row");
    EXPECT_TRUE(content.GetValue("$only", value));
    EXPECT_EQ(value, "variable");
    value = "untouched";
    EXPECT_FALSE(content.GetValue("$missing", value));
    EXPECT_EQ(value, "untouched");
    content.ClearCurrentRow();
    EXPECT_TRUE(content.GetValue("$name", value));
    EXPECT_EQ(value, "replaced");
    EXPECT_EQ(content.RowCount("$files"), 1);
    EXPECT_EQ(content.RowCount("$name"), 0);
}

TEST(TextContent, ARowKeepsTheFirstValueOfANameAsAMapWould) {
    TextContent::Row row{{"$a", "1"}, {"$b", "2"}, {"$a", "3"}};
    EXPECT_EQ(row.size(), 2u);
    EXPECT_FALSE(row.emplace("$b", "4").second);
    EXPECT_TRUE(row.emplace("$c", "5").second);
    TextContent content;
    content.SetValue("$d", "outside");
    content.AddRow("$l", row);
    ASSERT_TRUE(content.SelectRow("$l", 0));
    std::string value;
    for (const auto& [name, expected] : {std::pair{"$a", "1"}, {"$b", "2"}, {"$c", "5"}, {"$d", "outside"}}) {
        ASSERT_TRUE(content.GetValue(name, value)) << name;
        EXPECT_EQ(value, expected) << name;
    }
    EXPECT_FALSE(content.GetValue("$", value)); // no prefix matching
}

TEST(TextContent, AddRowCopiesAndKeepsTheCurrentRowValid) {
    TextContent content;
    TextContent::Row row{{"$v", "0"}};
    content.AddRow("$l", row);
    row = TextContent::Row{{"$v", "changed"}};
    ASSERT_TRUE(content.SelectRow("$l", 0));
    for (int i = 1; i < 1000; ++i) { // forces the row storage to move several times
        content.AddRow("$l", {{"$v", std::to_string(i)}});
    }
    std::string value;
    ASSERT_TRUE(content.GetValue("$v", value));
    EXPECT_EQ(value, "0");
    EXPECT_EQ(content.RowCount("$l"), 1000);
    ASSERT_TRUE(content.SelectRow("$l", 999));
    ASSERT_TRUE(content.GetValue("$v", value));
    EXPECT_EQ(value, "999");
}

TEST(TextContent, CopiesAndMovesNeverPointIntoAnotherContent) {
    TextContent content;
    content.AddRow("$l", {{"$v", "a"}});
    ASSERT_TRUE(content.SelectRow("$l", 0));

    TextContent copy(content);
    EXPECT_EQ(copy.CurrentRow(), nullptr);
    TextContent assigned;
    assigned = content;
    EXPECT_EQ(assigned.CurrentRow(), nullptr);

    TextContent moved(std::move(content));
    std::string value;
    ASSERT_TRUE(moved.GetValue("$v", value)); // the row moved with its list
    EXPECT_EQ(value, "a");
    TextContent target;
    target = std::move(moved);
    ASSERT_TRUE(target.GetValue("$v", value));
    EXPECT_EQ(value, "a");
}

} // namespace
