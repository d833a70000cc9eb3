// Whole-system pacing: real reporter threads over one aggregator and a simulated clock. Every sender
// pushes chunks over a fast virtual link and reports them; the aggregator's shares and the reporters'
// pauses alone decide how fast each one goes.
#include "core/transfer/GuiTransferStatusAggregator.h"
#include "core/transfer/TransferStatusReporter.h"

#include "core/transfer/SimulatedClock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace Vuxo {
namespace {

using test::SimulatedClock;

constexpr uint64_t kChunk = 4096;
constexpr int64_t kLinkMsPerChunk = 1; // about 4 MB/s per connection without a limit

struct Sender {
    std::string address;
    int64_t bytesMeasured = 0;
};

// Runs every sender on its own thread from time 0 to `endMs` and counts the bytes each reported from
// `measureFromMs` on. `control`, when given, runs as one more participant of the clock.
void RunSenders(SimulatedClock& clock, GuiTransferStatusAggregator& aggregator, std::vector<Sender>& senders,
                int64_t measureFromMs, int64_t endMs, const std::function<void()>& control = {}) {
    clock.AddParticipants(static_cast<int>(senders.size()) + (control ? 1 : 0));
    std::vector<std::thread> threads;
    for (Sender& sender : senders) {
        threads.emplace_back([&clock, &aggregator, &sender, measureFromMs, endMs] {
            TransferStatusReporter reporter(&aggregator);
            reporter.SetRequest("/share/big.iso");
            reporter.SetRemoteAddress(sender.address);
            while (clock.NowMs() < endMs) {
                clock.SleepFor(kLinkMsPerChunk);
                const int64_t sentAt = clock.NowMs();
                reporter.AddTransferredBytes(kDirectionDownload, kChunk);
                if (sentAt >= measureFromMs && sentAt < endMs) {
                    sender.bytesMeasured += static_cast<int64_t>(kChunk);
                }
            }
            clock.RemoveParticipant();
        });
    }
    if (control) {
        threads.emplace_back([&clock, &control] {
            control();
            clock.RemoveParticipant();
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
}

double RateOf(const Sender& sender, int64_t measureFromMs, int64_t endMs) {
    return static_cast<double>(sender.bytesMeasured) * 1000.0 / static_cast<double>(endMs - measureFromMs);
}

TEST(ThrottleSimulationTest, FourClientsShareOneLimitEvenly) {
    SimulatedClock clock;
    GuiTransferStatusAggregator aggregator(clock);
    constexpr int64_t kLimit = 1'000'000;
    aggregator.SetSpeedLimit(kDirectionDownload, kLimit);
    std::vector<Sender> senders = {{"10.0.0.1"}, {"10.0.0.2"}, {"10.0.0.3"}, {"10.0.0.4"}};
    constexpr int64_t kFrom = 20'000, kEnd = 60'000;
    RunSenders(clock, aggregator, senders, kFrom, kEnd);

    double total = 0;
    for (const Sender& sender : senders) {
        const double rate = RateOf(sender, kFrom, kEnd);
        EXPECT_NEAR(rate, kLimit / 4.0, kLimit / 4.0 * 0.10) << sender.address;
        total += rate;
    }
    EXPECT_NEAR(total, kLimit, kLimit * 0.03);
    EXPECT_EQ(aggregator.GetTransferCount(), 0u) << "every reporter left";
}

TEST(ThrottleSimulationTest, AddressesShareFirstThenTheirConnections) {
    SimulatedClock clock;
    GuiTransferStatusAggregator aggregator(clock);
    constexpr int64_t kLimit = 600'000;
    aggregator.SetSpeedLimit(kDirectionDownload, kLimit);
    std::vector<Sender> senders = {{"10.0.0.1"}, {"10.0.0.2"}, {"10.0.0.2"}, {"10.0.0.2"}};
    constexpr int64_t kFrom = 20'000, kEnd = 60'000;
    RunSenders(clock, aggregator, senders, kFrom, kEnd);

    const double single = RateOf(senders[0], kFrom, kEnd);
    EXPECT_NEAR(single, kLimit / 2.0, kLimit / 2.0 * 0.10);
    double total = single;
    for (size_t i = 1; i < senders.size(); ++i) {
        const double rate = RateOf(senders[i], kFrom, kEnd);
        EXPECT_NEAR(rate, kLimit / 6.0, kLimit / 6.0 * 0.10) << "connection " << i;
        total += rate;
    }
    EXPECT_NEAR(total, kLimit, kLimit * 0.03);
}

// Senders under a limit of 0 all pause; at 1000 ms the control participant acts. Returns, per sender,
// the time at which its first paused report returned.
std::vector<int64_t> FirstPauseEnds(SimulatedClock& clock, GuiTransferStatusAggregator& aggregator,
                                    int senders, const std::function<void()>& actAt1000,
                                    std::vector<int>* kickedOut = nullptr) {
    aggregator.SetSpeedLimit(kDirectionDownload, 0);
    std::vector<int64_t> pauseEnds(senders, -1);
    std::vector<int> kicked(senders, 0); // one int each: threads write their own
    std::atomic<bool> finish{false};
    clock.AddParticipants(senders + 1);
    std::vector<std::thread> threads;
    for (int i = 0; i < senders; ++i) {
        threads.emplace_back([&, i] {
            TransferStatusReporter reporter(&aggregator);
            reporter.SetRemoteAddress("10.0.0." + std::to_string(i + 1));
            try {
                while (!finish) {
                    clock.SleepFor(10);
                    const int64_t before = clock.NowMs();
                    reporter.AddTransferredBytes(kDirectionDownload, 1000);
                    if (clock.NowMs() != before && pauseEnds[i] < 0) {
                        pauseEnds[i] = clock.NowMs();
                    }
                }
            } catch (const TransferKickedError&) {
                kicked[i] = 1;
            }
            clock.RemoveParticipant();
        });
    }
    threads.emplace_back([&] {
        clock.SleepFor(1000);
        actAt1000();
        // Let everyone reach the end of its pause (at most 24 steps of 200 ms) before finishing.
        clock.SleepFor(5000);
        finish = true;
        clock.RemoveParticipant();
    });
    for (std::thread& thread : threads) {
        thread.join();
    }
    if (kickedOut != nullptr) {
        *kickedOut = kicked;
    }
    return pauseEnds;
}

TEST(ThrottleSimulationTest, LiftingTheLimitReleasesEveryPausedTransferAtOnce) {
    SimulatedClock clock;
    GuiTransferStatusAggregator aggregator(clock);
    const std::vector<int64_t> ends =
        FirstPauseEnds(clock, aggregator, 3, [&] { aggregator.SetSpeedLimit(kDirectionDownload, -1); });
    for (int64_t end : ends) {
        EXPECT_EQ(end, 1000);
    }
}

TEST(ThrottleSimulationTest, AKickEndsOnlyTheKickedTransfersPauseAndItsNextChunkFails) {
    SimulatedClock clock;
    GuiTransferStatusAggregator aggregator(clock);
    std::vector<int> kicked;
    const std::vector<int64_t> ends = FirstPauseEnds(
        clock, aggregator, 3,
        [&] {
            for (const TransferRecord& record : aggregator.TakeSnapshot()) {
                if (record.peerAddress == "10.0.0.2") {
                    aggregator.Kick(record.id);
                }
            }
        },
        &kicked);
    EXPECT_EQ(kicked, (std::vector<int>{0, 1, 0}));
    EXPECT_EQ(ends[1], 1000);
    EXPECT_GT(ends[0], 1000) << "the others keep pausing";
    EXPECT_GT(ends[2], 1000);
}

} // namespace
} // namespace Vuxo
