// The sub-folder list end to end: the shares at the root, the sub-folders of a folder, the refusals,
// and names that must stay inside their script strings.
#include "UploadSupport.h"
#include "fixtures/support/FixtureServer.h"
#include "fixtures/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace Vuxo::Fixtures {
namespace {

namespace fs = std::filesystem;

// The entries of the array, unescaped: each is a double-quoted script string.
std::vector<std::string> Entries(const std::string& body) {
    std::vector<std::string> entries;
    for (size_t i = 0; i < body.size(); ++i) {
        if (body[i] != '"') {
            continue;
        }
        std::string entry;
        for (++i; i < body.size() && body[i] != '"'; ++i) {
            if (body[i] != '\\' || i + 1 >= body.size()) {
                entry.push_back(body[i]);
                continue;
            }
            const char c = body[++i];
            if (c == 'n') {
                entry.push_back('\n');
            } else if (c == 'r') {
                entry.push_back('\r');
            } else if (c == 't') {
                entry.push_back('\t');
            } else if (c == 'u') {
                entry.push_back(static_cast<char>(std::stoi(body.substr(i + 1, 4), nullptr, 16)));
                i += 4;
            } else {
                entry.push_back(c);
            }
        }
        entries.push_back(entry);
    }
    return entries;
}

// The folder entries without the closing "/", sorted (a folder's order is the file system's).
std::vector<std::string> Folders(const std::string& body) {
    std::vector<std::string> entries = Entries(body);
    EXPECT_FALSE(entries.empty());
    if (!entries.empty()) {
        EXPECT_EQ(entries.back(), "/");
        entries.pop_back();
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

class SubdirTest : public ::testing::Test {
protected:
    void SetUp() override {
        pub = fixture.MakeShare("pub");
        docs = fixture.MakeShare("docs");
        ASSERT_FALSE(pub.empty());
        ASSERT_FALSE(docs.empty());
        single = fixture.Root() + "/single.txt";
        ASSERT_TRUE(WriteFile(single, "x"));
        ASSERT_TRUE(fixture.Share(single, "single"));
        for (const char* share : {"pub", "docs", "single"}) {
            ASSERT_TRUE(fixture.SetRights(".anonymous", share, "L"));
        }
    }

    HttpResponse Get(const std::string& target) { return HttpGet(fixture.Port(), target); }

    FixtureServer fixture;
    std::string pub;
    std::string docs;
    std::string single;
};

TEST_F(SubdirTest, TheRootListsTheFolderShares) {
    ASSERT_TRUE(fixture.Start());
    HttpResponse r = Get("/?action=Subdir");
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.Header("Content-Type"), "text/xml");
    EXPECT_EQ(Entries(r.body), (std::vector<std::string>{"docs", "pub", "/"}));
    EXPECT_EQ(r.body.front(), '[');

    // A share whose folder has gone is left out.
    fs::remove(docs);
    EXPECT_EQ(Entries(Get("/?action=Subdir").body), (std::vector<std::string>{"pub", "/"}));
}

TEST_F(SubdirTest, AFolderListsItsSubFolders) {
    fs::create_directories(pub + "/b/deeper");
    fs::create_directories(pub + "/a");
    fs::create_directories(pub + "/.hidden");
    ASSERT_TRUE(WriteFile(pub + "/file.txt", "not a folder"));
    ASSERT_TRUE(fixture.Start());
    HttpResponse r = Get("/pub/?action=Subdir");
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.Header("Content-Type"), "text/plain");
    EXPECT_EQ(Folders(r.body), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(Folders(Get("/pub/b/?action=Subdir").body), std::vector<std::string>{"deeper"});
    EXPECT_EQ(Folders(Get("/pub/b?action=Subdir").body), std::vector<std::string>{"deeper"});

    fixture.Config().showHiddenFiles = true;
    EXPECT_EQ(Folders(Get("/pub/?action=Subdir").body), (std::vector<std::string>{".hidden", "a", "b"}));
}

TEST_F(SubdirTest, EmptyAndMissingFoldersGiveOnlyTheClosingEntry) {
    fs::create_directories(pub + "/empty");
    ASSERT_TRUE(fixture.Start());
    EXPECT_EQ(Entries(Get("/pub/empty/?action=Subdir").body), std::vector<std::string>{"/"});
    HttpResponse missing = Get("/pub/missing/?action=Subdir");
    EXPECT_EQ(missing.status, 200);
    EXPECT_EQ(Entries(missing.body), std::vector<std::string>{"/"});
}

TEST_F(SubdirTest, AFileIsNotFound) {
    ASSERT_TRUE(WriteFile(pub + "/file.txt", "x"));
    ASSERT_TRUE(fixture.Start());
    for (const char* target : {"/pub/file.txt?action=Subdir", "/single?action=Subdir"}) {
        HttpResponse r = Get(target);
        EXPECT_EQ(r.status, 404) << target;
        EXPECT_EQ(r.reason, "Not found");
        EXPECT_EQ(r.body, "['404 Not found :(']");
        EXPECT_FALSE(r.HasHeader("Content-Type"));
    }
}

TEST_F(SubdirTest, WithoutTheListRightTheAnswerIsUnauthorized) {
    fs::create_directories(pub + "/a");
    ASSERT_TRUE(fixture.SetRights(".anonymous", "pub", "D"));
    fixture.Config().canRootAccess = false;
    ASSERT_TRUE(fixture.Start());
    for (const char* target : {"/pub/?action=Subdir", "/?action=Subdir"}) {
        HttpResponse r = Get(target);
        EXPECT_EQ(r.status, 200) << target;
        EXPECT_EQ(r.Header("Content-Type"), "text/xml");
        EXPECT_EQ(r.body, "'UNAUTHORIZED'");
    }
    // With a second parameter it is no sub-folder list.
    EXPECT_NE(Get("/pub/?action=Subdir&skin=x").body, "'UNAUTHORIZED'");
}

TEST_F(SubdirTest, NamesStayInsideTheirStrings) {
    const std::vector<std::string> names = {"say \"hi\"", "back\\slash", "line\nbreak", "<script>",
                                            "\xED\x95\x9C"};
    for (const std::string& name : names) {
        fs::create_directories(pub + "/" + name);
    }
    ASSERT_TRUE(fixture.Start());
    HttpResponse r = Get("/pub/?action=Subdir");
    EXPECT_EQ(r.body.find("<script>"), std::string::npos);
    // Every line holds one whole entry: no name's quote or line break ends or splits one.
    std::istringstream lines(r.body);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty() || line == "[" || line == "\"/\"]") {
            continue;
        }
        ASSERT_GE(line.size(), 3u) << line;
        EXPECT_EQ(line.front(), '"') << line;
        EXPECT_EQ(line.substr(line.size() - 2), "\",") << line;
        EXPECT_EQ(Entries(line).size(), 1u) << line;
    }
    std::vector<std::string> expected = names;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Folders(r.body), expected);
}

} // namespace
} // namespace Vuxo::Fixtures
