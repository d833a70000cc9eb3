#include "core/text/PathHelpers.h"

#include <gtest/gtest.h>

#include <string>

namespace Vuxo {
namespace {

struct Case {
    std::string path;
    std::string expected;
};

TEST(GetFileName, TakesTheLastComponent) {
    const Case cases[] = {
        {"C:\\dir\\file.txt", "file.txt"},
        {"/", ""},
        {"", ""},
        {"//\\", ""},
        {"a/b/", "b"},
        {"a\\b\\\\", "b"},
        {"name", "name"},
        {"/x", "x"},
        {"dir/sub\\mixed.tar.gz", "mixed.tar.gz"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GetFileName(c.path), c.expected) << c.path;
    EXPECT_EQ(GetFileName(u"/\uD55C/\uAE00.txt/"), u"\uAE00.txt");
}

TEST(GetFileExtension, TakesTheTextAfterTheLastDot) {
    const Case cases[] = {
        {"x.tar.gz", "gz"},
        {".htaccess", "htaccess"},
        {"dir.d/readme", ""},
        {"dir.d\\readme", ""},
        {"readme", ""},
        {"name.", ""},
        {"", ""},
        {"a/b.TXT", "TXT"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GetFileExtension(c.path), c.expected) << c.path;
    EXPECT_EQ(GetFileExtension(u"\uD55C.\uAE00"), u"\uAE00");
}

TEST(CombinePath, JoinsAndNormalises) {
    const struct {
        std::string base, more, expected;
    } cases[] = {
        {"/srv/share", "file.txt", "/srv/share/file.txt"},
        {"/srv/share/", "sub/file.txt", "/srv/share/sub/file.txt"},
        {"/srv/share", "/etc/passwd", "/etc/passwd"},
        {"/srv/share", "", "/srv/share"},
        {"", "rel/x", "rel/x"},
        {"/srv//share/./a", "../b", "/srv/share/b"},
        {"/srv", "../../..", "/"},
        {"/srv", "../../etc", "/etc"},
        {"a", "../../b", "b"},
        {"a", "..", ""},
        {"a/b", "c/", "a/b/c/"},
        {"a/b", "c/..", "a/b"},
        {"a\\b", "c", "a\\b/c"},
        {"/", "", "/"},
        {"", "", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CombinePath(c.base, c.more), c.expected) << c.base << " + " << c.more;
    EXPECT_EQ(CombinePath(u"/\uD55C/./x", u"../\uAE00"), u"/\uD55C/\uAE00");
}

TEST(GetParentDirectory, RemovesTheLastComponent) {
    const Case cases[] = {
        {"/a/b", "/a"}, {"/a/b/", "/a/b"}, {"/a", "/"},   {"/", "/"},   {"a", ""},
        {"", ""},       {"a/b", "a"},      {"a//b", "a"}, {"//a", "/"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GetParentDirectory(c.path), c.expected) << c.path;
    EXPECT_EQ(GetParentDirectory(u"/home/\uD55C/run.sh"), u"/home/\uD55C");
}

TEST(IsContainedPath, RefusesParentComponentsAnywhere) {
    const struct {
        std::string path;
        bool expected;
    } cases[] = {
        {"", true},      {"a/b", true},     {"..", false},       {"../a", false},   {"..\\a", false},
        {"a/..", false}, {"a/../b", false}, {"a\\..\\b", false}, {"/..", false},    {"a..b", true},
        {"a/..b", true}, {"a/b..", true},   {"...", true},       {"a/.../b", true}, {"x/..../y", true},
        {"..a/b", true}, {"a/./b", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsContainedPath(c.path), c.expected) << c.path;
}

} // namespace
} // namespace Vuxo
