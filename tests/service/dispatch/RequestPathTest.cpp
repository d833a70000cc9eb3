#include "service/dispatch/RequestPath.h"
#include "service/dispatch/MapHelpers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Vuxo {
namespace {

TEST(RequestPathTest, SplitsAtTheFirstSlash) {
    const struct {
        std::string path, mount, rest;
    } cases[] = {
        {"", "", ""},    {"pub", "pub", ""}, {"pub/", "pub", ""}, {"pub/a/b.txt", "pub", "a/b.txt"},
        {"/x", "", "x"},
    };
    for (const auto& c : cases) {
        RequestPath path(c.path);
        EXPECT_EQ(path.GetMountName(), c.mount) << c.path;
        EXPECT_EQ(path.GetRest(), c.rest) << c.path;
        EXPECT_EQ(path.GetWhole(), c.path);
    }
}

TEST(RequestPathTest, ValidityAndCanonicalForm) {
    const struct {
        const char* path;
        bool parent;
        bool valid;
        const char* canonical;
    } cases[] = {
        {"", false, true, ""},
        {"pub/a.txt", false, true, "pub/a.txt"},
        {"a//b", false, false, "a/b"},
        {"/pub/x", false, false, "pub/x"},
        {"///pub//x///", false, false, "pub/x/"},
        {"a\\\\b", false, true, "a/b"},
        {"a/../b", true, false, ""},
        {"a\\..\\b", true, false, ""},
        {"..", true, false, ""},
        {"a/..", true, false, ""},
        {"../", true, false, ""},
        {"a/...", false, true, "a/..."},
        {"a/..b/c", false, true, "a/..b/c"},
        {"a/b..", false, true, "a/b.."},
        {"a/./b", false, true, "a/./b"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        RequestPath path(c.path);
        EXPECT_EQ(path.HasParentReference(), c.parent);
        EXPECT_EQ(path.IsValid(), c.valid);
        EXPECT_EQ(path.GetCanonical(), c.canonical);
        // The canonical form of a path without parent references is itself canonical.
        EXPECT_TRUE(RequestPath(path.GetCanonical()).IsValid() || path.HasParentReference());
    }
}

TEST(RequestPathTest, OnlyWellFormedTextCanNameSomething) {
    using namespace std::string_literals;
    EXPECT_TRUE(IsAcceptablePathText(""));
    EXPECT_TRUE(IsAcceptablePathText("pub/한글 이름.txt"));
    EXPECT_TRUE(IsAcceptablePathText("pub/\xF0\x9F\x98\x80.png"));
    EXPECT_FALSE(IsAcceptablePathText("pub/a\0b"s));
    EXPECT_FALSE(IsAcceptablePathText("pub/\xC0\xAE\xC0\xAE/x")); // overlong "."
    EXPECT_FALSE(IsAcceptablePathText("pub/\xE0\x80\xAF"));       // overlong "/"
    EXPECT_FALSE(IsAcceptablePathText("pub/\xC0\x80"));           // overlong NUL
    EXPECT_FALSE(IsAcceptablePathText("pub/\xED\xA0\x80"));       // a surrogate
    EXPECT_FALSE(IsAcceptablePathText("pub/\xE2\x82"));           // cut short
    EXPECT_FALSE(IsAcceptablePathText("pub/\xFF"));
}

TEST(MapHelpersTest, SplitLines) {
    const struct {
        const char* text;
        std::vector<std::string> lines;
    } cases[] = {
        {"", {}},
        {"no line end", {}},
        {"a\n", {"a"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"  a b \t\n\n\r\n  \nc", {"a b"}},
        {"one+two%2Fthree\n%ED%95%9C\n", {"one two/three", "한"}},
        {"dir/\nfile.txt\n", {"dir/", "file.txt"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<std::string> lines = {"kept"};
        SplitLines(lines, c.text);
        std::vector<std::string> expected = {"kept"};
        expected.insert(expected.end(), c.lines.begin(), c.lines.end());
        EXPECT_EQ(lines, expected);
    }
    std::vector<std::string> none;
    SplitLines(none, nullptr);
    EXPECT_TRUE(none.empty());
}

} // namespace
} // namespace Vuxo
