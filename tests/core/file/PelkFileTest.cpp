#include "core/file/PelkFile.h"

#include "fixtures/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Vuxo::Fixtures::ReadFile;
using Vuxo::Fixtures::TempDir;
using Vuxo::Fixtures::WriteFile;

std::string ReadAll(PelkFile& file) {
    std::string content(static_cast<size_t>(file.GetSize()), '\0');
    content.resize(file.Read(content.data(), content.size()));
    return content;
}

TEST(PelkFile, UnknownModesFailAndCreateNothing) {
    TempDir folder;
    for (unsigned mode : {3u, 5u, 6u, 8u, 0xFFFFFFFFu}) {
        PelkFile file;
        EXPECT_FALSE(file.Open(folder.Path("new"), mode, false)) << mode;
        EXPECT_FALSE(file.IsOpen());
        EXPECT_EQ(file.GetDescriptor(), -1);
    }
    EXPECT_FALSE(std::filesystem::exists(folder.Path("new")));
}

TEST(PelkFile, ModesCreateTruncateKeepAndLimitAccess) {
    struct Case {
        unsigned mode;
        bool existing;
        bool opens;
        const char* contentAfterOpen; // nullptr: no file
        bool canRead;
        bool canWrite;
    };
    const Case cases[] = {
        {PelkFile::ModeRead, false, false, nullptr, false, false},
        {PelkFile::ModeRead, true, true, "old content", true, false},
        {PelkFile::ModeCreate, false, true, "", false, true},
        {PelkFile::ModeCreate, true, true, "", false, true},
        {PelkFile::ModeReadWrite, false, true, "", true, true},
        {PelkFile::ModeReadWrite, true, true, "old content", true, true},
        {PelkFile::ModeWrite, false, true, "", false, true},
        {PelkFile::ModeWrite, true, true, "old content", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << (c.existing ? " existing" : " missing"));
        TempDir folder;
        if (c.existing) {
            WriteFile(folder.Path("f"), "old content");
        }
        PelkFile file;
        ASSERT_EQ(file.Open(folder.Path("f"), c.mode, false), c.opens);
        if (!c.opens) {
            EXPECT_FALSE(std::filesystem::exists(folder.Path("f")));
            continue;
        }
        EXPECT_EQ(ReadFile(folder.Path("f")), c.contentAfterOpen);
        EXPECT_EQ(file.Tell(), 0);
        char byte;
        EXPECT_EQ(file.Read(&byte, 1) == 1, c.canRead && c.existing);
        file.Seek(0, PelkFile::Begin);
        EXPECT_EQ(file.Write("NEW", 3) == 3, c.canWrite);
        EXPECT_TRUE(file.Close());
        if (c.canWrite) {
            // Writing starts at 0: modes 2 and 4 overwrite the head and keep the rest.
            EXPECT_EQ(ReadFile(folder.Path("f")),
                      c.existing && c.mode != PelkFile::ModeCreate ? "NEW content" : "NEW");
        }
    }
}

TEST(PelkFile, ShareLocksBetweenTwoOpenersInOneProcess) {
    struct Case {
        bool firstExclusive;
        bool secondExclusive;
        bool secondOpens;
    };
    const Case cases[] = {
        {false, false, true}, {false, true, false}, {true, false, false}, {true, true, false}};
    TempDir folder;
    WriteFile(folder.Path("f"), "data");
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.firstExclusive << c.secondExclusive);
        PelkFile first(folder.Path("f"), PelkFile::ModeRead, c.firstExclusive);
        ASSERT_TRUE(first.IsOpen());
        PelkFile second;
        EXPECT_EQ(second.Open(folder.Path("f"), PelkFile::ModeRead, c.secondExclusive), c.secondOpens);
        second.Close();
        first.Close();
        EXPECT_TRUE(second.Open(folder.Path("f"), PelkFile::ModeRead, true)); // free again after Close
    }
}

TEST(PelkFile, AWriteOpenLocksTheFileForItselfEvenWhenNotExclusive) {
    TempDir folder;
    WriteFile(folder.Path("f"), "old");
    for (const unsigned mode : {PelkFile::ModeCreate, PelkFile::ModeReadWrite, PelkFile::ModeWrite}) {
        SCOPED_TRACE(mode);
        PelkFile writer(folder.Path("f"), mode, false);
        ASSERT_TRUE(writer.IsOpen());
        PelkFile other;
        EXPECT_FALSE(other.Open(folder.Path("f"), PelkFile::ModeCreate, false)); // would truncate it
        EXPECT_FALSE(other.Open(folder.Path("f"), PelkFile::ModeRead, false));
    }
    PelkFile reader(folder.Path("f"), PelkFile::ModeRead, false);
    ASSERT_TRUE(reader.IsOpen());
    EXPECT_FALSE(PelkFile(folder.Path("f"), PelkFile::ModeWrite, false).IsOpen());
}

TEST(PelkFile, LocksBelongToTheFileNotItsNameAndGoWithMovesAndCloses) {
    TempDir folder;
    WriteFile(folder.Path("f"), "data");
    ASSERT_EQ(::link(folder.Path("f").c_str(), folder.Path("g").c_str()), 0);
    auto reader = std::make_unique<PelkFile>(folder.Path("g"), PelkFile::ModeRead, false);
    ASSERT_TRUE(reader->IsOpen());
    EXPECT_FALSE(PelkFile(folder.Path("f"), PelkFile::ModeWrite, false).IsOpen()); // the same inode
    PelkFile second(folder.Path("f"), PelkFile::ModeRead, false);
    EXPECT_TRUE(second.IsOpen()); // readers share
    reader.reset();
    EXPECT_FALSE(PelkFile(folder.Path("f"), PelkFile::ModeWrite, false).IsOpen());
    second.Close();
    PelkFile writer(folder.Path("f"), PelkFile::ModeWrite, false);
    EXPECT_TRUE(writer.IsOpen()); // every reader gone
    // Programs that lock with flock still meet the writer.
    const int other = ::open(folder.Path("g").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(other, 0);
    EXPECT_NE(::flock(other, LOCK_SH | LOCK_NB), 0);
    ::close(other);
}

TEST(PelkFile, RefusedCreateDoesNotTruncateTheHeldFile) {
    TempDir folder;
    WriteFile(folder.Path("f"), "precious");
    PelkFile holder(folder.Path("f"), PelkFile::ModeRead, true);
    ASSERT_TRUE(holder.IsOpen());
    PelkFile writer;
    EXPECT_FALSE(writer.Open(folder.Path("f"), PelkFile::ModeCreate, false));
    EXPECT_EQ(ReadAll(holder), "precious");
}

// The child opens the file itself and exits 0 when the open succeeds, 1 when it fails.
int OpenInChildProcess(const std::string& path, bool exclusive) {
    const pid_t child = ::fork();
    if (child == 0) {
        PelkFile file;
        ::_exit(file.Open(path, PelkFile::ModeRead, exclusive) ? 0 : 1);
    }
    int status = 0;
    EXPECT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status));
    return WEXITSTATUS(status);
}

TEST(PelkFile, ShareLocksHoldAgainstAnotherProcess) {
    TempDir folder;
    WriteFile(folder.Path("f"), "data");
    {
        PelkFile shared(folder.Path("f"), PelkFile::ModeRead, false);
        ASSERT_TRUE(shared.IsOpen());
        EXPECT_EQ(OpenInChildProcess(folder.Path("f"), false), 0);
        EXPECT_EQ(OpenInChildProcess(folder.Path("f"), true), 1);
    }
    {
        PelkFile exclusive(folder.Path("f"), PelkFile::ModeWrite, true);
        ASSERT_TRUE(exclusive.IsOpen());
        EXPECT_EQ(OpenInChildProcess(folder.Path("f"), false), 1);
    }
    EXPECT_EQ(OpenInChildProcess(folder.Path("f"), true), 0);
}

TEST(PelkFile, RefusesFoldersFifosAndDevicesWithoutBlocking) {
    TempDir folder;
    ASSERT_EQ(::mkfifo(folder.Path("pipe").c_str(), 0600), 0);
    for (const std::string& path : {folder.Path(), folder.Path("pipe"), std::string("/dev/null")}) {
        for (unsigned mode : {0u, 1u, 2u, 4u}) {
            SCOPED_TRACE(path + " mode " + std::to_string(mode));
            PelkFile file;
            EXPECT_FALSE(file.Open(path, mode, false)); // a FIFO without a writer would block a plain open
            EXPECT_FALSE(file.IsOpen());
        }
    }
}

TEST(PelkFile, KeepsTheSizeItsReadOpenMeasured) {
    TempDir folder;
    PelkFile writer(folder.Path("f"), PelkFile::ModeCreate, false);
    ASSERT_EQ(writer.Write("12345", 5), 5u);
    EXPECT_EQ(writer.GetSizeAtOpen(), -1); // a writer's size moves with its writes: GetSize asks
    ASSERT_TRUE(writer.Close());
    PelkFile reader(folder.Path("f"), PelkFile::ModeRead, false);
    EXPECT_EQ(reader.GetSizeAtOpen(), 5);
    ASSERT_TRUE(reader.Close());
    EXPECT_EQ(reader.GetSizeAtOpen(), -1);
    EXPECT_FALSE(reader.Open(folder.Path("missing"), PelkFile::ModeRead, false));
    EXPECT_EQ(reader.GetSizeAtOpen(), -1);
}

TEST(PelkFile, ReadsAndWritesLargeBuffersWhole) {
    TempDir folder;
    std::vector<char> data(3 * 1024 * 1024 + 17);
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<char>(i * 7 + i / 251);
    }
    PelkFile writer(folder.Path("big"), PelkFile::ModeCreate, true);
    ASSERT_EQ(writer.Write(data.data(), data.size()), data.size());
    EXPECT_EQ(writer.Write(data.data(), 0), 0u);
    ASSERT_TRUE(writer.Flush());
    ASSERT_TRUE(writer.Close());

    PelkFile reader(folder.Path("big"), PelkFile::ModeRead, false);
    EXPECT_EQ(reader.GetSize(), static_cast<int64_t>(data.size()));
    std::vector<char> back(data.size() + 100);
    EXPECT_EQ(reader.Read(back.data(), 0), 0u);
    EXPECT_EQ(reader.Read(back.data(), back.size()), data.size()); // stops at the end
    back.resize(data.size());
    EXPECT_EQ(back, data);
    EXPECT_EQ(reader.Read(back.data(), 1), 0u);
}

TEST(PelkFile, SeeksAndSizesBeyondFourGigabytes) {
    TempDir folder;
    PelkFile file(folder.Path("sparse"), PelkFile::ModeReadWrite, false);
    ASSERT_TRUE(file.IsOpen());
    const int64_t far = (int64_t{5} << 30) + 3;
    EXPECT_EQ(file.Seek(far, PelkFile::Begin), far);
    ASSERT_EQ(file.Write("xy", 2), 2u);
    EXPECT_EQ(file.Tell(), far + 2);
    EXPECT_EQ(file.GetSize(), far + 2);
    EXPECT_EQ(file.Seek(-2, PelkFile::End), far);
    EXPECT_EQ(file.Seek(1, PelkFile::Current), far + 1);
    char byte = 0;
    EXPECT_EQ(file.Read(&byte, 1), 1u);
    EXPECT_EQ(byte, 'y');
    EXPECT_EQ(file.Seek(-1, PelkFile::Begin), -1);
    EXPECT_EQ(file.Seek(0, 7), -1);

    ASSERT_TRUE(file.SetEnd(4)); // cut
    EXPECT_EQ(file.GetSize(), 4);
    EXPECT_EQ(file.Tell(), 4);
    ASSERT_TRUE(file.SetEnd(10)); // extend with zeros
    EXPECT_EQ(file.GetSize(), 10);
}

TEST(PelkFile, DescriptorIsCloseOnExecAndReleasedByClose) {
    TempDir folder;
    PelkFile file(folder.Path("f"), PelkFile::ModeCreate, false);
    const int descriptor = file.GetDescriptor();
    ASSERT_GE(descriptor, 0);
    EXPECT_TRUE(::fcntl(descriptor, F_GETFD) & FD_CLOEXEC);
    EXPECT_TRUE(file.Close());
    EXPECT_EQ(::fcntl(descriptor, F_GETFD), -1);
}

TEST(PelkFile, ReopeningReleasesTheFirstFile) {
    TempDir folder;
    WriteFile(folder.Path("a"), "A");
    WriteFile(folder.Path("b"), "B");
    PelkFile file(folder.Path("a"), PelkFile::ModeRead, true);
    ASSERT_TRUE(file.Open(folder.Path("b"), PelkFile::ModeRead, true));
    EXPECT_EQ(ReadAll(file), "B");
    PelkFile other;
    EXPECT_TRUE(other.Open(folder.Path("a"), PelkFile::ModeRead, true)); // the lock on "a" went with it
}

TEST(PelkFile, BorrowedDescriptorIsNeverClosed) {
    int pipeEnds[2];
    ASSERT_EQ(::pipe2(pipeEnds, O_CLOEXEC), 0);
    {
        PelkFile borrowed(pipeEnds[1]);
        EXPECT_EQ(borrowed.Write("hi", 2), 2u);
        EXPECT_TRUE(borrowed.Close());
        EXPECT_EQ(borrowed.GetDescriptor(), -1);
    }
    { PelkFile borrowed(pipeEnds[1]); }
    EXPECT_NE(::fcntl(pipeEnds[1], F_GETFD), -1);
    char text[2];
    EXPECT_EQ(::read(pipeEnds[0], text, 2), 2);
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
}

TEST(PelkFile, RecordsTheNormalisedFullPathEvenWhenOpenFails) {
    TempDir folder;
    ASSERT_TRUE(std::filesystem::create_directory(folder.Path("sub")));
    PelkFile file;
    EXPECT_FALSE(file.Open(folder.Path() + "/sub/./x/../missing.txt", PelkFile::ModeRead, false));
    EXPECT_EQ(file.GetFullPath(), folder.Path("sub/missing.txt"));
    EXPECT_EQ(file.GetFileNamePart(), "missing.txt");
    EXPECT_TRUE(file.Open(folder.Path("sub/new.txt"), PelkFile::ModeCreate, false));
    EXPECT_EQ(file.GetFileNamePart(), "new.txt");
    file.Close();
    EXPECT_EQ(file.GetFullPath(), "");
}

} // namespace
