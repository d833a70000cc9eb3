#include "core/transfer/TransferStatusReporter.h"

#include "core/thread/StopEvent.h"
#include "core/transfer/Clock.h"
#include "core/transfer/GuiTransferStatusAggregator.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

namespace Vuxo {
namespace {

class ReporterTest : public ::testing::Test {
protected:
    ManualClock clock{50000};
    GuiTransferStatusAggregator aggregator{clock};

    // Puts the reporter's transfer over a share of 0: it has moved bytes and the limit allows none.
    void Throttle(TransferStatusReporter& reporter) {
        aggregator.SetSpeedLimit(kDirectionDownload, 0);
        reporter.SetRequest("/big");
        aggregator.AddTransferredBytes(reporter.Key(), kDirectionDownload, 1000);
        clock.AdvanceMs(100);
        aggregator.SetTransferLimit(aggregator.TakeSnapshot()[0].id, kDirectionDownload, 0);
    }
};

TEST_F(ReporterTest, ForwardsEveryReportUnderItsOwnKey) {
    TransferStatusReporter reporter(&aggregator);
    reporter.SetRequest("/f");
    reporter.SetRemoteAddress("192.168.0.7");
    reporter.SetUserName("bob");
    reporter.SetTotalSize(kDirectionDownload, 1000);
    reporter.SetPosition(kDirectionDownload, 10);
    reporter.AddTransferredBytes(kDirectionDownload, 90);
    clock.AdvanceMs(1000);
    EXPECT_EQ(reporter.GetSpeed(kDirectionDownload), 90);
    const TransferRecord record = aggregator.TakeSnapshot().at(0);
    EXPECT_EQ(record.key, reporter.Key());
    EXPECT_EQ(record.request + " " + record.peerAddress + " " + record.userName, "/f 192.168.0.7 bob");
    EXPECT_EQ(record.download.totalSize, 1000);
    EXPECT_EQ(record.download.position, 100);
    EXPECT_EQ(clock.SleepCount(), 0) << "no limit: no pause";

    // The three texts of a new request in one report, on a transfer of its own.
    TransferStatusReporter next(&aggregator);
    next.SetRequestTexts("/g", "10.0.0.2", "");
    const std::vector<TransferRecord>& both = aggregator.TakeSnapshot();
    ASSERT_EQ(both.size(), 2u);
    const TransferRecord& added = both[0].key == next.Key() ? both[0] : both[1];
    EXPECT_EQ(added.key, next.Key());
    EXPECT_EQ(added.request + "|" + added.peerAddress + "|" + added.userName, "/g|10.0.0.2|");
    EXPECT_TRUE(added.changed);
}

TEST_F(ReporterTest, LeavesTheAggregatorWhenDestroyedDetachedOrMoved) {
    {
        TransferStatusReporter reporter(&aggregator);
        reporter.SetRequest("/a");
        EXPECT_EQ(aggregator.GetTransferCount(), 1u);
    }
    EXPECT_EQ(aggregator.GetTransferCount(), 0u);

    TransferStatusReporter detached(&aggregator);
    detached.SetRequest("/b");
    detached.Detach();
    EXPECT_EQ(aggregator.GetTransferCount(), 0u);
    EXPECT_EQ(detached.GetAggregator(), nullptr);
    detached.SetRequest("/c"); // goes to the null aggregator, which never throttles
    detached.AddTransferredBytes(kDirectionDownload, uint64_t{1} << 40);
    EXPECT_EQ(detached.GetSpeed(kDirectionDownload), NullTransferStatusAggregator::kReportedSpeed);
    EXPECT_FALSE(NullTransferStatusAggregator::GetInstance().IsOverLimit(detached.Key(), kDirectionDownload));
    EXPECT_EQ(aggregator.GetTransferCount(), 0u);

    ManualClock otherClock;
    GuiTransferStatusAggregator other(otherClock);
    TransferStatusReporter moved(&aggregator);
    moved.SetRequest("/d");
    moved.SetAggregator(&other);
    moved.SetRequest("/d");
    EXPECT_EQ(aggregator.GetTransferCount(), 0u);
    EXPECT_EQ(other.GetTransferCount(), 1u);
}

TEST_F(ReporterTest, AZeroShareMakesEveryChunkWaitTheFullTwentyFourSteps) {
    TransferStatusReporter reporter(&aggregator);
    Throttle(reporter);
    reporter.AddTransferredBytes(kDirectionDownload, 1000);
    EXPECT_EQ(clock.SleepCount(), TransferStatusReporter::kThrottleSteps);
    EXPECT_EQ(clock.SleptMs(),
              TransferStatusReporter::kThrottleSteps * TransferStatusReporter::kThrottleStepMs);
}

TEST_F(ReporterTest, PausesOnlyUntilTheSpeedFallsUnderTheShare) {
    TransferStatusReporter reporter(&aggregator);
    reporter.SetRequest("/paced");
    const int id = aggregator.TakeSnapshot()[0].id;
    reporter.AddTransferredBytes(kDirectionDownload, 4000);
    clock.AdvanceMs(1000);
    // 4000 bytes over 1 s; a share of 1000 B/s is reached once 4 s have passed since the sample.
    aggregator.SetTransferLimit(id, kDirectionDownload, 1000);
    reporter.AddTransferredBytes(kDirectionDownload, 0);
    EXPECT_EQ(clock.SleptMs(), 3000);
    EXPECT_FALSE(aggregator.IsOverLimit(reporter.Key(), kDirectionDownload));
}

TEST_F(ReporterTest, ASetStopEventEndsPausing) {
    StopEvent stop;
    TransferStatusReporter reporter(&aggregator);
    reporter.SetStopEvent(&stop);
    Throttle(reporter);
    stop.Set();
    reporter.AddTransferredBytes(kDirectionDownload, 1000);
    EXPECT_EQ(clock.SleepCount(), 0);
    EXPECT_EQ(aggregator.TakeSnapshot()[0].download.position, 2000) << "the bytes still count";
}

TEST_F(ReporterTest, AKickedTransferStopsPausingAndFailsAtItsNextChunk) {
    TransferStatusReporter reporter(&aggregator);
    Throttle(reporter);
    EXPECT_TRUE(aggregator.IsOverLimit(reporter.Key(), kDirectionDownload));
    aggregator.Kick(aggregator.TakeSnapshot()[0].id);
    EXPECT_FALSE(aggregator.IsOverLimit(reporter.Key(), kDirectionDownload));
    EXPECT_THROW(reporter.AddTransferredBytes(kDirectionDownload, 1), TransferKickedError);
    EXPECT_EQ(clock.SleepCount(), 0);
}

TEST(SteadyClockTest, WakeAllEndsASleepInProgress) {
    SteadyClock clock;
    std::atomic<bool> done{false};
    bool fullTime = true;
    std::thread sleeper([&] {
        fullTime = clock.SleepFor(24 * 3600 * 1000);
        done = true;
    });
    while (!done) { // the sleeper may not have started sleeping yet: wake until it has
        clock.WakeAll();
        std::this_thread::yield();
    }
    sleeper.join();
    EXPECT_FALSE(fullTime);
    EXPECT_TRUE(clock.SleepFor(1));
    EXPECT_TRUE(clock.SleepFor(0));
}

} // namespace
} // namespace Vuxo
