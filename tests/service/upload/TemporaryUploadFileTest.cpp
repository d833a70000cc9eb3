// The temporary file of an upload: created under a free name, never replacing anything when it gets its
// final name, and removed on every way out but success.
#include "service/upload/TemporaryUploadFile.h"
#include "core/platform/fs/NoReplaceCalls.h"
#include "fixtures/support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace Vuxo {
namespace {

using Fixtures::ReadFile;
using Fixtures::TempDir;
using Fixtures::WriteFile;
namespace fs = std::filesystem;

std::set<std::string> Names(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

bool Store(TemporaryUploadFile& file, const std::string& content, std::string& finalName) {
    return file.Write(content.data(), content.size()) && file.Close() && file.Commit(finalName);
}

TEST(TemporaryUploadFileTest, ArrivesUnderTheTemporaryNameAndEndsUnderTheFinalOne) {
    TempDir folder;
    TemporaryUploadFile file;
    ASSERT_TRUE(file.Create(folder.Path(), "a.txt"));
    EXPECT_EQ(file.GetPath(), folder.Path("uploading_a.txt.CORVANTA"));
    EXPECT_TRUE(fs::exists(file.GetPath()));
    std::string finalName;
    ASSERT_TRUE(Store(file, "content", finalName));
    EXPECT_EQ(finalName, "a.txt");
    EXPECT_EQ(ReadFile(folder.Path("a.txt")), "content");
    EXPECT_EQ(Names(folder.Path()), (std::set<std::string>{"a.txt"}));
    EXPECT_EQ(file.GetPath(), "");
}

TEST(TemporaryUploadFileTest, EveryWayOutButCommitRemovesTheTemporaryFile) {
    TempDir folder;
    {
        TemporaryUploadFile file;
        ASSERT_TRUE(file.Create(folder.Path(), "a.txt"));
        ASSERT_TRUE(file.Write("x", 1));
    }
    EXPECT_TRUE(Names(folder.Path()).empty());

    TemporaryUploadFile discarded;
    ASSERT_TRUE(discarded.Create(folder.Path(), "b.txt"));
    EXPECT_TRUE(discarded.Discard());
    EXPECT_TRUE(Names(folder.Path()).empty());

    // A file still open cannot be given its final name: it may not be complete.
    TemporaryUploadFile open;
    ASSERT_TRUE(open.Create(folder.Path(), "c.txt"));
    std::string finalName;
    EXPECT_FALSE(open.Commit(finalName));
    EXPECT_TRUE(fs::exists(open.GetPath()));
}

TEST(TemporaryUploadFileTest, TakenNamesGetTheNextNumber) {
    TempDir folder;
    ASSERT_TRUE(WriteFile(folder.Path("a.txt"), "old"));
    ASSERT_TRUE(WriteFile(folder.Path("a(1).txt"), "old1"));
    ASSERT_TRUE(WriteFile(folder.Path("uploading_a.txt.CORVANTA"), "other upload"));
    TemporaryUploadFile file;
    ASSERT_TRUE(file.Create(folder.Path(), "a.txt"));
    EXPECT_EQ(file.GetPath(), folder.Path("uploading_a.txt(1).CORVANTA"));
    std::string finalName;
    ASSERT_TRUE(Store(file, "new", finalName));
    EXPECT_EQ(finalName, "a(2).txt");
    EXPECT_EQ(ReadFile(folder.Path("a.txt")), "old");
    EXPECT_EQ(ReadFile(folder.Path("a(1).txt")), "old1");
    EXPECT_EQ(ReadFile(folder.Path("uploading_a.txt.CORVANTA")), "other upload");
    EXPECT_EQ(ReadFile(folder.Path("a(2).txt")), "new");
}

TEST(TemporaryUploadFileTest, AFileThatAppearsDuringTheUploadIsNeverReplaced) {
    TempDir folder;
    TempDir outside;
    TemporaryUploadFile file;
    ASSERT_TRUE(file.Create(folder.Path(), "a.txt"));
    ASSERT_TRUE(WriteFile(folder.Path("a.txt"), "theirs"));
    // A link whose target does not exist yet is taken too: a rename onto it would not follow it, but a
    // later writer might.
    fs::create_symlink(outside.Path("target"), folder.Path("a(1).txt"));
    std::string finalName;
    ASSERT_TRUE(Store(file, "mine", finalName));
    EXPECT_EQ(finalName, "a(2).txt");
    EXPECT_EQ(ReadFile(folder.Path("a.txt")), "theirs");
    EXPECT_TRUE(fs::is_symlink(folder.Path("a(1).txt")));
    EXPECT_FALSE(fs::exists(outside.Path("target")));
    EXPECT_EQ(ReadFile(folder.Path("a(2).txt")), "mine");
}

TEST(TemporaryUploadFileTest, ALinkUnderTheTemporaryNameIsNotFollowed) {
    TempDir folder;
    TempDir outside;
    fs::create_symlink(outside.Path("victim"), folder.Path("uploading_a.txt.CORVANTA"));
    TemporaryUploadFile file;
    ASSERT_TRUE(file.Create(folder.Path(), "a.txt"));
    EXPECT_EQ(file.GetPath(), folder.Path("uploading_a.txt(1).CORVANTA"));
    std::string finalName;
    ASSERT_TRUE(Store(file, "data", finalName));
    EXPECT_FALSE(fs::exists(outside.Path("victim")));
}

TEST(TemporaryUploadFileTest, EveryNameTheFolderCanHoldArrivesEvenTwice) {
    TempDir folder;
    const std::string longest = std::string(251, 'n') + ".txt"; // the longest name the folder takes
    TemporaryUploadFile first;
    TemporaryUploadFile second;
    ASSERT_TRUE(first.Create(folder.Path(), longest));
    ASSERT_TRUE(second.Create(folder.Path(), longest));
    for (const TemporaryUploadFile* file : {&first, &second}) {
        const std::string temporary = fs::path(file->GetPath()).filename().string();
        EXPECT_EQ(temporary.size(), 255u) << temporary;
        EXPECT_EQ(temporary.rfind("uploading_nnn", 0), 0u) << temporary;
    }
    EXPECT_NE(first.GetPath(), second.GetPath());
    std::string firstName;
    std::string secondName;
    ASSERT_TRUE(Store(first, "one", firstName) && Store(second, "two", secondName));
    EXPECT_EQ(ReadFile(folder.Path(longest)), "one");
    EXPECT_EQ(ReadFile(folder.Path(std::string(248, 'n') + "(1).txt")), "two");
    // A name the folder cannot hold has no temporary file either.
    TemporaryUploadFile tooLong;
    EXPECT_FALSE(tooLong.Create(folder.Path(), longest + "x"));
}

TEST(TemporaryUploadFileTest, NoFolderNoFile) {
    TempDir folder;
    TemporaryUploadFile file;
    EXPECT_FALSE(file.Create(folder.Path("missing"), "a.txt"));
    EXPECT_EQ(file.GetPath(), "");
    EXPECT_FALSE(file.Write("x", 1));
}

TEST(TemporaryUploadFileTest, SimultaneousUploadsOfOneNameAllArriveIntact) {
    TempDir folder;
    constexpr int kUploads = 12;
    std::vector<std::string> finalNames(kUploads);
    std::vector<int> stored(kUploads, 0);
    std::vector<std::thread> threads;
    for (int i = 0; i < kUploads; ++i) {
        threads.emplace_back([&, i] {
            TemporaryUploadFile file;
            const std::string content(1000 + i, static_cast<char>('a' + i));
            stored[i] = file.Create(folder.Path(), "same.txt") && Store(file, content, finalNames[i]);
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    std::set<std::string> distinct;
    for (int i = 0; i < kUploads; ++i) {
        ASSERT_TRUE(stored[i]) << i;
        distinct.insert(finalNames[i]);
        EXPECT_EQ(ReadFile(folder.Path(finalNames[i])), std::string(1000 + i, static_cast<char>('a' + i)));
    }
    EXPECT_EQ(distinct.size(), static_cast<size_t>(kUploads));
    EXPECT_EQ(Names(folder.Path()), distinct); // no temporary file left over
}

TEST(NoReplaceCallsTest, NeitherCreateNorRenameReplaces) {
    TempDir folder;
    ASSERT_TRUE(WriteFile(folder.Path("taken"), "keep"));
    int error = 0;
    EXPECT_FALSE(CreateNewFile(folder.Path("taken"), &error).IsValid());
    EXPECT_EQ(error, EEXIST);
    FileDescriptor made = CreateNewFile(folder.Path("new"), &error);
    ASSERT_TRUE(made.IsValid());
    EXPECT_TRUE(made.Close());

    EXPECT_EQ(RenameNoReplace(folder.Path("new"), folder.Path("taken")), EEXIST);
    EXPECT_EQ(ReadFile(folder.Path("taken")), "keep");
    EXPECT_TRUE(fs::exists(folder.Path("new")));
    EXPECT_EQ(RenameNoReplace(folder.Path("new"), folder.Path("moved")), 0);
    EXPECT_FALSE(fs::exists(folder.Path("new")));
    EXPECT_TRUE(fs::exists(folder.Path("moved")));
    EXPECT_EQ(RenameNoReplace(folder.Path("gone"), folder.Path("other")), ENOENT);
}

} // namespace
} // namespace Vuxo
