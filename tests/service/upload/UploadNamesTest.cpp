// The names an upload chooses: numbered variants, temporary names, and the client's name made safe.
#include "service/upload/UploadNames.h"

#include <gtest/gtest.h>

#include <string>

namespace Vuxo {
namespace {

TEST(UploadNamesTest, NumberGoesBeforeTheLastDotOrAtTheEnd) {
    const struct {
        const char* name;
        uint32_t n;
        const char* expected;
    } cases[] = {
        {"a.txt", 0, "a.txt"},           {"a.txt", 2, "a(2).txt"},
        {"README", 1, "README(1)"},      {"archive.tar.gz", 3, "archive.tar(3).gz"},
        {".hidden", 1, "(1).hidden"},    {"uploading_a.txt.CORVANTA", 1, "uploading_a.txt(1).CORVANTA"},
        {"a.txt", 1000, "a(1,000).txt"}, {"a", 1234567, "a(1,234,567)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AddNumberSuffix(c.name, c.n), c.expected) << c.name << " " << c.n;
    }
}

TEST(UploadNamesTest, NamesTooLongForTheirNumberedOrTemporaryFormAreCutToFit) {
    const std::string korean = "\xED\x95\x9C"; // three bytes
    const struct {
        std::string name;
        uint32_t n;
        size_t limit;
        std::string numbered;
        std::string temporary;
    } cases[] = {
        {"a.txt", 0, 255, "a.txt", "uploading_a.txt.CORVANTA"},
        {"a.txt", 2, 255, "a(2).txt", "uploading_a.txt(2).CORVANTA"},
        {"abcdef.txt", 0, 10, "abcdef.txt", ""}, // not one character of it beside prefix and suffix
        {"abcdef.txt", 1, 12, "abcde(1).txt", ""},
        {"abcdef.txt", 0, 23, "abcdef.txt", "uploading_abc~.CORVANTA"},
        {"abcdef.txt", 1, 26, "abcdef(1).txt", "uploading_abc~(1).CORVANTA"},
        {korean + korean + ".t", 1, 10, korean + "(1).t", ""}, // never inside a character
        {korean + korean + ".t", 0, 25, korean + korean + ".t", "uploading_" + korean + "~.CORVANTA"},
        {".abcdefgh", 1, 8, ".abcd(1)", ""}, // the part after the dot alone is too long
        {"a.toolongtail", 1, 8, "a.too(1)", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name + " " + std::to_string(c.n) + " " + std::to_string(c.limit));
        EXPECT_EQ(AddNumberSuffixWithin(c.name, c.n, c.limit), c.numbered);
        EXPECT_EQ(MakeTempUploadName(c.name, c.n, c.limit), c.temporary);
    }
    // A name of the longest kind: its temporary name fits and keeps its shape, whatever the number.
    const std::string longest(251, 'n');
    for (uint32_t n : {0u, 1u, 1000000u}) {
        const std::string temporary = MakeTempUploadName(longest + ".txt", n, 255);
        EXPECT_EQ(temporary.size(), 255u);
        EXPECT_EQ(temporary.rfind("uploading_nnn", 0), 0u);
        EXPECT_EQ(temporary.substr(temporary.size() - 9), ".CORVANTA");
    }
}

TEST(UploadNamesTest, NumbersWithCommas) {
    EXPECT_EQ(FormatNumberWithCommasW(0), u"0");
    EXPECT_EQ(FormatNumberWithCommasW(999), u"999");
    EXPECT_EQ(FormatNumberWithCommasW(1000), u"1,000");
    EXPECT_EQ(FormatNumberWithCommasW(-1234567), u"-1,234,567");
    EXPECT_EQ(FormatNumberWithCommasW(INT32_MIN), u"-2,147,483,648");
}

TEST(UploadNamesTest, PathHelpers) {
    EXPECT_EQ(FirstPathSegment("pub/sub/"), "pub");
    EXPECT_EQ(FirstPathSegment("pub"), "pub");
    EXPECT_EQ(FirstPathSegment(""), "");
    EXPECT_TRUE(HasParentReference(".."));
    EXPECT_TRUE(HasParentReference("a/../b"));
    EXPECT_TRUE(HasParentReference("a\\..\\b"));
    EXPECT_TRUE(HasParentReference("a/.."));
    EXPECT_FALSE(HasParentReference("a/..b/c"));
    EXPECT_FALSE(HasParentReference("...")); // a name made of three dots is a name
    EXPECT_EQ(JoinFolderName("/x/pub/", "a"), "/x/pub/a");
    EXPECT_EQ(JoinFolderName("/x/pub/sub", "a"), "/x/pub/sub/a");
}

TEST(UploadNamesTest, ClientNamesAreMadeOneSafeName) {
    const struct {
        std::string client;
        UploadNameCheck check;
        std::string name;
    } cases[] = {
        {"a.txt", UploadNameCheck::Ok, "a.txt"},
        {"C:\\Users\\me\\a.txt", UploadNameCheck::Ok, "a.txt"},
        {"/home/me/a.txt", UploadNameCheck::Ok, "a.txt"},
        {"dir\\sub/b.bin", UploadNameCheck::Ok, "b.bin"},
        {"  \t padded.txt \r\n", UploadNameCheck::Ok, "padded.txt"},
        {"inner  blanks.txt", UploadNameCheck::Ok, "inner  blanks.txt"},
        {"\xED\x95\x9C\xEA\xB8\x80.txt", UploadNameCheck::Ok, "\xED\x95\x9C\xEA\xB8\x80.txt"},
        {"bad\xFF.txt", UploadNameCheck::Ok, "bad\xEF\xBF\xBD.txt"},
        {"", UploadNameCheck::Empty, ""},
        {" \t ", UploadNameCheck::Empty, ""},
        {"C:\\folder\\", UploadNameCheck::Empty, ""},
        {".", UploadNameCheck::Invalid, "."},
        {"..", UploadNameCheck::Invalid, ".."},
        {"x/..", UploadNameCheck::Invalid, ".."},
        {" .. ", UploadNameCheck::Invalid, ".."},
        {std::string("a\0b", 3), UploadNameCheck::Invalid, std::string("a\0b", 3)},
        // A control character inside could forge a line of the day log.
        {"x\n[12-09 00:00:00] FORGED.txt", UploadNameCheck::Invalid, "x\n[12-09 00:00:00] FORGED.txt"},
        {"a\rb.txt", UploadNameCheck::Invalid, "a\rb.txt"},
        {"tab\there.txt", UploadNameCheck::Invalid, "tab\there.txt"},
        {"esc\x1b[31m.txt", UploadNameCheck::Invalid, "esc\x1b[31m.txt"},
        {"del\x7f.txt", UploadNameCheck::Invalid, "del\x7f.txt"},
    };
    for (const auto& c : cases) {
        std::string name;
        EXPECT_EQ(CleanUploadFileName(c.client, name), c.check) << c.client;
        EXPECT_EQ(name, c.name) << c.client;
    }
}

} // namespace
} // namespace Vuxo
