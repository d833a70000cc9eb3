// The name-level file-system calls, over real files in a temporary folder.
#include "core/platform/fs/PathCalls.h"
#include "core/platform/fs/FileCalls.h"

#include "fixtures/support/TempDir.h"

#include <cerrno>
#include <filesystem>
#include <set>
#include <string>

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace Vuxo {
namespace {

using Vuxo::Fixtures::ReadFile;
using Vuxo::Fixtures::TempDir;
using Vuxo::Fixtures::WriteFile;

namespace fs = std::filesystem;

unsigned ModeOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

TEST(PathCallsTest, CheckPathAccessGivesTheErrnoValueOfWhatIsInTheWay) {
    TempDir folder;
    WriteFile(folder.Path("file"), "x");
    EXPECT_EQ(CheckPathAccess(folder.Path("file"), PathAccess::Exists), 0);
    EXPECT_EQ(CheckPathAccess(folder.Path("file"), PathAccess::Write), 0);
    EXPECT_EQ(CheckPathAccess(folder.Path(), PathAccess::Write), 0);
    EXPECT_EQ(CheckPathAccess(folder.Path("missing"), PathAccess::Exists), ENOENT);
    EXPECT_EQ(CheckPathAccess(folder.Path("missing"), PathAccess::Write), ENOENT);
    EXPECT_EQ(CheckPathAccess(folder.Path("file/below"), PathAccess::Exists), ENOTDIR);
}

TEST(PathCallsTest, QueryLinkStatusLooksAtTheNameItself) {
    TempDir folder;
    WriteFile(folder.Path("file"), "x");
    fs::create_directory(folder.Path("sub"));
    fs::create_symlink("file", folder.Path("link"));
    fs::create_symlink("nowhere", folder.Path("dangling"));
    fs::create_directory_symlink("sub", folder.Path("folder-link"));
    const struct {
        std::string path;
        LinkStatus expected;
    } cases[] = {
        {folder.Path("file"), LinkStatus::NotLink},
        {folder.Path("sub"), LinkStatus::NotLink},
        {folder.Path("link"), LinkStatus::SymbolicLink},
        {folder.Path("dangling"), LinkStatus::SymbolicLink},
        {folder.Path("folder-link"), LinkStatus::SymbolicLink},
        {folder.Path("missing"), LinkStatus::Missing},
        {folder.Path("missing/below"), LinkStatus::Missing},
        {folder.Path("file/below"), LinkStatus::Missing}, // ENOTDIR: nothing can exist there either
        {folder.Path(std::string(5000, 'n')), LinkStatus::Unknown},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(QueryLinkStatus(c.path), c.expected) << c.path.substr(0, 200);
    }
}

TEST(PathCallsTest, ResolveRealPathFollowsLinksAndDotsOrGivesNothing) {
    TempDir folder;
    const std::string root = fs::canonical(folder.Path()).string();
    fs::create_directories(folder.Path("a/b"));
    WriteFile(folder.Path("a/b/file"), "x");
    fs::create_directory_symlink("a/b", folder.Path("to-b"));
    fs::create_symlink("to-b/file", folder.Path("chain"));
    fs::create_symlink("nowhere", folder.Path("dangling"));
    EXPECT_EQ(ResolveRealPath(folder.Path("chain")), root + "/a/b/file");
    EXPECT_EQ(ResolveRealPath(folder.Path("a/b/../b/./file")), root + "/a/b/file");
    EXPECT_EQ(ResolveRealPath(folder.Path("to-b/..")), root + "/a");
    EXPECT_EQ(ResolveRealPath("/"), "/");
    EXPECT_EQ(ResolveRealPath(folder.Path("dangling")), "");
    EXPECT_EQ(ResolveRealPath(folder.Path("a/missing")), "");
    EXPECT_EQ(ResolveRealPath(""), "");
}

TEST(PathCallsTest, CreateUniqueFileMakesAPrivateNewFileEachTime) {
    TempDir folder;
    const std::string prefix = folder.Path(".mount.ini.");
    std::set<std::string> names;
    for (int i = 0; i < 3; ++i) {
        std::string path;
        FileDescriptor file = CreateUniqueFile(prefix, path);
        ASSERT_TRUE(file.IsValid());
        EXPECT_EQ(path.size(), prefix.size() + 6);
        EXPECT_EQ(path.compare(0, prefix.size(), prefix), 0) << path;
        EXPECT_EQ(ModeOf(path), 0600u);
        EXPECT_EQ(fs::file_size(path), 0u);
        EXPECT_EQ(WriteFully(file.Get(), "abc", 3), 3u); // open for writing
        names.insert(path);
    }
    EXPECT_EQ(names.size(), 3u);

    std::string untouched = "before";
    EXPECT_FALSE(CreateUniqueFile(folder.Path("missing/x."), untouched).IsValid());
    EXPECT_EQ(untouched, "before");
}

TEST(PathCallsTest, SetDescriptorModeChangesThePermissionBits) {
    TempDir folder;
    std::string path;
    FileDescriptor file = CreateUniqueFile(folder.Path("f."), path);
    ASSERT_TRUE(file.IsValid());
    for (const unsigned mode : {0644u, 0600u, 0400u}) {
        EXPECT_TRUE(SetDescriptorMode(file.Get(), mode));
        EXPECT_EQ(ModeOf(path), mode);
    }
    EXPECT_FALSE(SetDescriptorMode(-1, 0600));
}

TEST(PathCallsTest, RenameReplacingAndRemoveFile) {
    TempDir folder;
    WriteFile(folder.Path("new"), "new contents");
    WriteFile(folder.Path("old"), "old contents");
    EXPECT_TRUE(RenameReplacing(folder.Path("new"), folder.Path("old")));
    EXPECT_EQ(ReadFile(folder.Path("old")), "new contents");
    EXPECT_FALSE(fs::exists(folder.Path("new")));
    EXPECT_FALSE(RenameReplacing(folder.Path("new"), folder.Path("old")));
    EXPECT_EQ(ReadFile(folder.Path("old")), "new contents");

    fs::create_directory(folder.Path("sub"));
    EXPECT_FALSE(RemoveFile(folder.Path("sub"))); // folders are not files
    EXPECT_TRUE(fs::is_directory(folder.Path("sub")));
    EXPECT_TRUE(RemoveFile(folder.Path("old")));
    EXPECT_FALSE(fs::exists(folder.Path("old")));
    EXPECT_FALSE(RemoveFile(folder.Path("old")));
}

TEST(PathCallsTest, SyncFolderNeedsAFolder) {
    TempDir folder;
    WriteFile(folder.Path("file"), "x");
    EXPECT_TRUE(SyncFolder(folder.Path()));
    EXPECT_FALSE(SyncFolder(folder.Path("file")));
    EXPECT_FALSE(SyncFolder(folder.Path("missing")));
}

} // namespace
} // namespace Vuxo
