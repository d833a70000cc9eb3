// Walking folders with FindFileIterator: what each entry reports, the shared search of copies, and that
// the directory stream is released by the last copy.
#include "core/file/FindFileIterator.h"

#include "fixtures/support/TempDir.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace Vuxo {
namespace {

using Vuxo::Fixtures::TempDir;
using Vuxo::Fixtures::WriteFile;

int OpenDescriptorCount() {
    int count = 0;
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        while (dirent* entry = ::readdir(dir)) {
            count += entry->d_name[0] != '.';
        }
        ::closedir(dir);
    }
    return count;
}

void SetModificationTime(const std::string& path, time_t seconds) {
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
}

std::map<std::string, FindFileData> Walk(const std::string& folder) {
    std::map<std::string, FindFileData> entries;
    for (const FindFileData& entry : FindFileRange(folder)) {
        EXPECT_TRUE(entries.emplace(entry.name, entry).second) << "yielded twice: " << entry.name;
    }
    return entries;
}

TEST(FindFileIterator, ReportsEveryEntryWithKindSizeAndTime) {
    TempDir folder;
    WriteFile(folder.Path("seven.txt"), "1234567");
    WriteFile(folder.Path("empty.bin"), "");
    WriteFile(folder.Path(".hidden"), "h");
    ASSERT_EQ(::mkdir(folder.Path("sub").c_str(), 0755), 0);
    ASSERT_EQ(::symlink("sub", folder.Path("link-to-sub").c_str()), 0);
    ASSERT_EQ(::symlink("seven.txt", folder.Path("link-to-file").c_str()), 0);
    ASSERT_EQ(::symlink("gone", folder.Path("dangling").c_str()), 0);
    ASSERT_EQ(::mkfifo(folder.Path("pipe").c_str(), 0600), 0);
    SetModificationTime(folder.Path("seven.txt"), 1700000000);
    SetModificationTime(folder.Path("sub"), 1600000000);

    const auto entries = Walk(folder.Path());
    ASSERT_EQ(entries.size(), 8u) << "no \".\" or \"..\", everything else";

    struct Expected {
        const char* name;
        PathKind kind;
        int64_t size;
        bool hidden;
    };
    const Expected table[] = {
        {"seven.txt", PathKind::Regular, 7, false},     {"empty.bin", PathKind::Regular, 0, false},
        {".hidden", PathKind::Regular, 1, true},        {"sub", PathKind::Directory, 0, false},
        {"link-to-sub", PathKind::Directory, 0, false}, {"link-to-file", PathKind::Regular, 7, false},
        {"dangling", PathKind::Missing, 0, false},      {"pipe", PathKind::Other, 0, false},
    };
    for (const Expected& expected : table) {
        SCOPED_TRACE(expected.name);
        const auto found = entries.find(expected.name);
        ASSERT_NE(found, entries.end());
        EXPECT_EQ(found->second.kind, expected.kind);
        EXPECT_EQ(found->second.size, expected.size);
        EXPECT_EQ(found->second.IsHidden(), expected.hidden);
        EXPECT_EQ(found->second.IsDirectory(), expected.kind == PathKind::Directory);
        EXPECT_EQ(found->second.IsRegularFile(), expected.kind == PathKind::Regular);
    }
    EXPECT_EQ(entries.at("seven.txt").lastWriteTime, 1700000000);
    EXPECT_EQ(entries.at("link-to-file").lastWriteTime, 1700000000) << "links are followed";
    EXPECT_EQ(entries.at("sub").lastWriteTime, 1600000000);
    EXPECT_EQ(entries.at("dangling").lastWriteTime, 0);
}

TEST(FindFileIterator, UnreadableOrEmptyFoldersAreAtTheEndAtOnce) {
    TempDir folder;
    WriteFile(folder.Path("file"), "x");
    ASSERT_EQ(::mkdir(folder.Path("empty").c_str(), 0755), 0);
    for (const std::string& path :
         {folder.Path("empty"), folder.Path("missing"), folder.Path("file"), std::string()}) {
        SCOPED_TRACE(path);
        FindFileIterator it(path);
        EXPECT_TRUE(it.AtEnd());
        EXPECT_TRUE(it == FindFileIterator());
        EXPECT_EQ(it->name, "") << "the end dereferences to an empty entry, never to garbage";
        ++it; // stays at the end
        EXPECT_TRUE(it.AtEnd());
    }
}

TEST(FindFileIterator, CopiesShareOneSearchAndTheLastClosesIt) {
    TempDir folder;
    for (int i = 0; i < 5; ++i) {
        WriteFile(folder.Path("f" + std::to_string(i)), "");
    }
    const int before = OpenDescriptorCount();
    std::set<std::string> seen;
    {
        FindFileIterator first(folder.Path());
        EXPECT_EQ(OpenDescriptorCount(), before + 1);
        FindFileIterator copy = first;
        EXPECT_TRUE(copy == first);
        seen.insert(first->name);
        ++copy; // an input iterator: advancing one copy advances the search they share
        EXPECT_EQ(first->name, copy->name);
        seen.insert(copy->name);
        FindFileIterator other(folder.Path());
        EXPECT_FALSE(other == first) << "two searches of one folder are different iterators";
        EXPECT_EQ(OpenDescriptorCount(), before + 2);
        first = FindFileIterator();
        EXPECT_EQ(OpenDescriptorCount(), before + 2) << "the copy still holds the search";
        while (!copy.AtEnd()) {
            seen.insert(copy->name);
            ++copy;
        }
        EXPECT_EQ(OpenDescriptorCount(), before + 1) << "a finished search closes its stream";
    }
    EXPECT_EQ(OpenDescriptorCount(), before);
    EXPECT_EQ(seen, (std::set<std::string>{"f0", "f1", "f2", "f3", "f4"}));
}

TEST(FindFileIterator, WalksALargeFolderCompletely) {
    TempDir folder;
    std::set<std::string> names;
    for (int i = 0; i < 1000; ++i) {
        const std::string name = "entry-" + std::to_string(i) + "-한글";
        WriteFile(folder.Path(name), std::string(static_cast<size_t>(i % 7), 'x'));
        names.insert(name);
    }
    const auto entries = Walk(folder.Path());
    std::set<std::string> walked;
    for (const auto& [name, entry] : entries) {
        walked.insert(name);
        EXPECT_EQ(entry.kind, PathKind::Regular);
    }
    EXPECT_EQ(walked, names);
    EXPECT_EQ(entries.at("entry-13-한글").size, 13 % 7);
}

} // namespace
} // namespace Vuxo
