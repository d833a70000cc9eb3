#include "service/server/LogAppender.h"
#include "core/platform/fs/FileCalls.h"
#include "fixtures/support/TempDir.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace Vuxo {
namespace {

using Fixtures::ReadFile;
using Fixtures::TempDir;

std::shared_ptr<FileDescriptor> Open(const std::string& path, FileAccess access) {
    FileOpenRequest request;
    request.access = access;
    request.create = access == FileAccess::Write;
    request.append = true;
    return std::make_shared<FileDescriptor>(OpenRegularFile(path, request));
}

// Many threads at once: every record lands whole and once, each thread's in its order, and all of them
// are in the file as soon as the threads are done (nothing is left queued behind a returned call), also
// when the writer lets records gather.
TEST(LogAppenderTest, RecordsOfManyThreadsAllLandWholeAndInTheirOrder) {
    for (const bool mayGather : {false, true}) {
        SCOPED_TRACE(mayGather ? "gathering" : "at once");
        TempDir folder;
        const std::string path = folder.Path("log");
        const auto file = Open(path, FileAccess::Write);
        ASSERT_TRUE(file->IsValid());
        LogAppender appender(nullptr);
        constexpr int kThreads = 32;
        constexpr int kRecords = 2000;
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                for (int i = 0; i < kRecords; ++i) {
                    appender.Append(file, std::to_string(t) + " " + std::to_string(i) + "\r\n", mayGather);
                }
            });
        }
        for (std::thread& thread : threads) {
            thread.join();
        }
        std::istringstream lines(ReadFile(path));
        std::map<int, int> next;
        int thread = 0;
        int record = 0;
        int count = 0;
        while (lines >> thread >> record) {
            ASSERT_EQ(record, next[thread]++) << "thread " << thread;
            ++count;
        }
        EXPECT_EQ(count, kThreads * kRecords);
    }
}

TEST(LogAppenderTest, AFailedWriteIsReportedWithItsFileAndLaterRecordsStillGo) {
    TempDir folder;
    ASSERT_TRUE(Fixtures::WriteFile(folder.Path("readonly"), ""));
    const auto readOnly = Open(folder.Path("readonly"), FileAccess::Read);
    const auto good = Open(folder.Path("good"), FileAccess::Write);
    std::vector<std::shared_ptr<FileDescriptor>> failed;
    LogAppender appender([&](const std::shared_ptr<FileDescriptor>& file) { failed.push_back(file); });
    appender.Append(readOnly, "lost\r\n");
    appender.Append(good, "kept\r\n");
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_EQ(failed[0], readOnly);
    EXPECT_EQ(ReadFile(folder.Path("good")), "kept\r\n");
}

} // namespace
} // namespace Vuxo
