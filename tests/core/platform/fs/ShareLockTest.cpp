// The share table keeps what is held through the clean-ups that new files set off, and counts holders
// exactly when many threads take and give back locks on one file at once.
#include "core/platform/fs/ShareLock.h"

#include "core/platform/fs/FileCalls.h"
#include "fixtures/support/TempDir.h"

#include <cerrno>
#include <fcntl.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

namespace Vuxo {
namespace {

// Shared locks take no flock, so made-up file identities need no file; an exclusive one needs a descriptor.
constexpr uint64_t kDevice = 0xC0FFEE;

TEST(ShareLock, HeldLocksOutliveTheTablesCleanUpsAndFreedOnesAreTakenAgain) {
    Fixtures::TempDir folder;
    ASSERT_TRUE(Fixtures::WriteFile(folder.Path("held"), "x"));
    const int descriptor = ::open(folder.Path("held").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(descriptor, 0);
    ShareLock exclusive;
    ShareLock shared;
    ASSERT_EQ(ShareLock::Acquire(descriptor, kDevice, 1, FileShare::Exclusive, exclusive), 0);
    ASSERT_EQ(ShareLock::Acquire(-1, kDevice, 2, FileShare::Shared, shared), 0);
    // Enough other files, each taken and given back, for every part of the table to be cleaned up.
    for (uint64_t inode = 100; inode < 20000; ++inode) {
        ShareLock passing;
        ASSERT_EQ(ShareLock::Acquire(-1, kDevice, inode, FileShare::Shared, passing), 0);
    }
    ShareLock other;
    EXPECT_EQ(ShareLock::Acquire(-1, kDevice, 1, FileShare::Shared, other), EWOULDBLOCK);
    EXPECT_EQ(ShareLock::Acquire(descriptor, kDevice, 2, FileShare::Exclusive, other), EWOULDBLOCK);

    const uint64_t releases = ShareLock::ExclusiveReleases();
    exclusive.Reset();
    shared.Reset();
    EXPECT_EQ(ShareLock::ExclusiveReleases(), releases + 1);
    EXPECT_EQ(ShareLock::Acquire(-1, kDevice, 1, FileShare::Shared, other), 0);
    ShareLock again;
    EXPECT_EQ(ShareLock::Acquire(descriptor, kDevice, 2, FileShare::Exclusive, again), 0);
    again.Reset();
    ::close(descriptor);
}

TEST(ShareLock, ManyThreadsOnOneFileLeaveNoHolderBehind) {
    Fixtures::TempDir folder;
    ASSERT_TRUE(Fixtures::WriteFile(folder.Path("busy"), "x"));
    const int descriptor = ::open(folder.Path("busy").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(descriptor, 0);
    constexpr uint64_t kInode = 7;
    std::vector<std::thread> readers;
    for (int t = 0; t < 8; ++t) {
        readers.emplace_back([] {
            for (int i = 0; i < 20000; ++i) {
                ShareLock lock;
                const int result = ShareLock::Acquire(-1, kDevice, kInode, FileShare::Shared, lock);
                ASSERT_TRUE(result == 0 || result == EWOULDBLOCK) << result; // refused while a writer holds it
            }
        });
    }
    // A writer tried meanwhile either gets the file alone or is refused; it never meets a reader's lock.
    for (int i = 0; i < 2000; ++i) {
        ShareLock writer;
        if (ShareLock::Acquire(descriptor, kDevice, kInode, FileShare::Exclusive, writer) == 0) {
            ShareLock reader;
            ASSERT_EQ(ShareLock::Acquire(-1, kDevice, kInode, FileShare::Shared, reader), EWOULDBLOCK);
        }
    }
    for (auto& reader : readers) {
        reader.join();
    }
    ShareLock writer;
    EXPECT_EQ(ShareLock::Acquire(descriptor, kDevice, kInode, FileShare::Exclusive, writer), 0);
    writer.Reset();
    ::close(descriptor);
}

} // namespace
} // namespace Vuxo
