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

TEST(TextContent, AddRowCopiesAndKeepsTheCurrentRowValid) {
    TextContent content;
    TextContent::Row row{{"$v", "0"}};
    content.AddRow("$l", row);
    row["$v"] = "changed";
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
