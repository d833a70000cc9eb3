#include "core/file/FileHelpers.h"
#include "core/file/PelkFileFind.h"
#include "core/platform/fs/ProgramFolder.h"

#include "fixtures/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <map>
#include <set>
#include <unistd.h>

namespace {

using Vuxo::Fixtures::TempDir;
using Vuxo::Fixtures::WriteFile;

std::set<std::string> FindAll(PelkFileFind& find, const std::string& pattern) {
    std::set<std::string> names;
    for (bool found = find.FindFirst(pattern); found; found = find.FindNext()) {
        names.insert(find.GetFileName());
    }
    return names;
}

class PelkFileFindTest : public testing::Test {
protected:
    void SetUp() override {
        WriteFile(folder.Path("a.txt"), "12345");
        WriteFile(folder.Path("b.txt"), "");
        WriteFile(folder.Path("c.log"), "x");
        WriteFile(folder.Path(".hidden"), "");
        WriteFile(folder.Path("[ab].txt"), "");
        std::filesystem::create_directory(folder.Path("sub.txt"));
    }
    TempDir folder;
};

TEST_F(PelkFileFindTest, MatchesWildcardsAgainstTheFolder) {
    struct Case {
        std::string pattern;
        std::set<std::string> names;
    };
    const Case cases[] = {
        {"*", {".", "..", ".hidden", "[ab].txt", "a.txt", "b.txt", "c.log", "sub.txt"}},
        {"*.txt", {"[ab].txt", "a.txt", "b.txt", "sub.txt"}},
        {"?.*", {"..", "a.txt", "b.txt", "c.log"}},
        {"*.t?t", {"[ab].txt", "a.txt", "b.txt", "sub.txt"}},
        {"*b*", {"[ab].txt", "b.txt", "sub.txt"}},
        {"c.log", {"c.log"}},
        {"[ab].txt", {"[ab].txt"}}, // brackets are plain characters of a name
        {"*.none", {}},
    };
    for (const Case& c : cases) {
        PelkFileFind find;
        EXPECT_EQ(FindAll(find, folder.Path(c.pattern)), c.names) << c.pattern;
        EXPECT_FALSE(find.FindNext()); // stays at the end
    }
}

TEST_F(PelkFileFindTest, DescribesTheCurrentEntry) {
    PelkFileFind find;
    std::map<std::string, std::pair<int64_t, bool>> seen; // size, folder
    for (bool found = find.FindFirst(folder.Path("*")); found; found = find.FindNext()) {
        seen[find.GetFileName()] = {find.GetFileSize(), find.IsDirectory()};
        EXPECT_EQ(find.IsDots(), find.GetFileName()[0] == '.') << find.GetFileName();
    }
    EXPECT_EQ(seen["a.txt"], std::make_pair(int64_t{5}, false));
    EXPECT_EQ(seen["c.log"], std::make_pair(int64_t{1}, false));
    EXPECT_EQ(seen["sub.txt"], std::make_pair(int64_t{0}, true));
    EXPECT_EQ(seen[".."], std::make_pair(int64_t{0}, true));
}

TEST_F(PelkFileFindTest, FailsOnAMissingFolderAndRestartsCleanly) {
    PelkFileFind find;
    EXPECT_FALSE(find.FindFirst(folder.Path("missing/*")));
    EXPECT_FALSE(find.FindFirst(folder.Path("a.txt/*"))); // a file is no folder
    ASSERT_TRUE(find.FindFirst(folder.Path("a.txt")));
    EXPECT_EQ(find.GetFileName(), "a.txt");
    find.Close();
    EXPECT_FALSE(find.FindNext());
    EXPECT_EQ(find.GetFileSize(), 0);
}

TEST(FileHelpers, SizesAndExistence) {
    TempDir folder;
    WriteFile(folder.Path("five"), "12345");
    ASSERT_EQ(::symlink("five", folder.Path("link").c_str()), 0);
    ASSERT_EQ(::symlink("nowhere", folder.Path("dangling").c_str()), 0);
    struct Case {
        std::string path;
        int64_t size;
        bool exists;
    };
    const Case cases[] = {
        {folder.Path("five"), 5, true},      {folder.Path("link"), 5, true},       {folder.Path(), 0, true},
        {folder.Path("missing"), -1, false}, {folder.Path("dangling"), -1, false}, {"", -1, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Vuxo::GetFileSizeByPath(c.path), c.size) << c.path;
        EXPECT_EQ(FileExists(c.path), c.exists) << c.path;
    }
}

TEST(ProgramFolder, IsTheFolderOfTheRunningExecutable) {
    const std::string folder = Vuxo::GetProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.front(), '/');
    EXPECT_NE(folder.back(), '/');
    EXPECT_TRUE(std::filesystem::equivalent(folder, std::string(CORVANTA_BINARY_DIR) + "/tests"));

    const std::filesystem::path before = std::filesystem::current_path();
    ASSERT_TRUE(Vuxo::SetWorkingDirToProgramFolder());
    EXPECT_TRUE(std::filesystem::equivalent(std::filesystem::current_path(), folder));
    std::filesystem::current_path(before);
}

} // namespace
