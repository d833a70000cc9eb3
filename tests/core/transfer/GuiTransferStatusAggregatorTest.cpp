#include "core/transfer/GuiTransferStatusAggregator.h"

#include "core/log/NotifyMessages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace Vuxo {
namespace {

// Keys are only compared, never followed.
TransferKey KeyOf(int n) {
    static char slots[64];
    return &slots[n];
}

class CountingTarget : public NotificationTarget {
public:
    void PostNotification(unsigned message, uintptr_t, intptr_t) override {
        EXPECT_EQ(message, WM_TRANSFER_STATUS_CHANGED);
        ++posts;
        if (onPost) {
            onPost();
        }
    }
    std::atomic<int> posts{0};
    std::function<void()> onPost;
};

class RecordingHandler : public TransferStatusEventHandler {
public:
    void OnTransferAdded(int id) override { Record("+" + std::to_string(id)); }
    void OnTransferRemoved(int id) override { Record("-" + std::to_string(id)); }
    void Record(const std::string& event) {
        events.push_back(event);
        if (onEvent) {
            onEvent();
        }
    }
    std::vector<std::string> events;
    std::function<void()> onEvent;
};

class AggregatorTest : public ::testing::Test {
protected:
    ManualClock clock{100000};
    GuiTransferStatusAggregator aggregator{clock};
    CountingTarget target;

    TransferRecord Record(int n) {
        for (const TransferRecord& record : aggregator.TakeSnapshot()) {
            if (record.key == KeyOf(n)) {
                return record;
            }
        }
        ADD_FAILURE() << "no record " << n;
        return {};
    }
    int IdOf(int n) { return Record(n).id; }
    int64_t LimitOf(int n, int direction = kDirectionDownload) {
        return aggregator.GetTransferLimit(IdOf(n), direction);
    }
};

TEST(TransferIdTest, IdsRunThroughBothHalvesAndSkipZero) {
    const std::pair<int, int> steps[] = {{0, 1},   {1, 2}, {INT_MAX, INT_MIN}, {INT_MIN, INT_MIN + 1},
                                         {-2, -1}, {-1, 1}};
    for (const auto& [from, to] : steps) {
        EXPECT_EQ(GuiTransferStatusAggregator::FollowingId(from), to) << from;
    }
}

TEST_F(AggregatorTest, SnapshotCarriesChangedFlagsOnceAndClearsThem) {
    aggregator.SetRequest(KeyOf(0), "/file");
    aggregator.SetRemoteAddress(KeyOf(0), "10.0.0.1");
    aggregator.SetUserName(KeyOf(0), "alice");
    TransferRecord record = Record(0);
    EXPECT_TRUE(record.changed);
    EXPECT_EQ(record.id, 1);
    EXPECT_EQ(record.request + record.peerAddress + record.userName, "/file10.0.0.1alice");
    EXPECT_EQ(record.direction, -1);
    EXPECT_FALSE(Record(0).changed);

    // Progress in the same direction is no visible change; a new direction is.
    aggregator.SetPosition(KeyOf(0), kDirectionDownload, 50);
    EXPECT_TRUE(Record(0).changed);
    aggregator.AddTransferredBytes(KeyOf(0), kDirectionDownload, 25);
    record = Record(0);
    EXPECT_FALSE(record.changed);
    EXPECT_EQ(record.download.position, 75);
    aggregator.AddTransferredBytes(KeyOf(0), kDirectionUpload, 5);
    record = Record(0);
    EXPECT_TRUE(record.changed);
    EXPECT_EQ(record.direction, kDirectionUpload);
}

TEST_F(AggregatorTest, NotificationsAreCoalescedUntilTheGuiLooks) {
    aggregator.SetRequest(KeyOf(0), "/a"); // no target yet: this one goes nowhere
    aggregator.SetTarget(&target, WM_TRANSFER_STATUS_CHANGED, 0, 0);
    aggregator.SetRequest(KeyOf(0), "/a");
    EXPECT_EQ(target.posts, 1) << "a new target is told even if the old one never looked";
    aggregator.SetUserName(KeyOf(0), "u");
    for (int i = 0; i < 100; ++i) {
        clock.AdvanceMs(1000);
        aggregator.AddTransferredBytes(KeyOf(0), kDirectionDownload, 1);
    }
    EXPECT_EQ(target.posts, 1) << "one notification stays outstanding until a snapshot";

    aggregator.TakeSnapshot();
    clock.AdvanceMs(GuiTransferStatusAggregator::kNotifyIntervalMs);
    aggregator.AddTransferredBytes(KeyOf(0), kDirectionDownload, 1);
    EXPECT_EQ(target.posts, 1) << "progress of an unchanged record waits out the interval";
    clock.AdvanceMs(1);
    aggregator.AddTransferredBytes(KeyOf(0), kDirectionDownload, 1);
    EXPECT_EQ(target.posts, 2);

    aggregator.TakeSnapshot();
    aggregator.Unregister(KeyOf(0));
    EXPECT_EQ(target.posts, 3) << "a removal notifies at once";
    aggregator.Unregister(KeyOf(0));
    EXPECT_EQ(target.posts, 3) << "an unknown key changes nothing";
}

TEST_F(AggregatorTest, NotifiesAndDispatchesWithoutHoldingItsLock) {
    // Each callback takes the aggregator's lock on another thread; holding it here would deadlock.
    auto lockFromOtherThread = [&] { std::thread([&] { aggregator.TakeSnapshot(); }).join(); };
    target.onPost = lockFromOtherThread;
    aggregator.SetTarget(&target, WM_TRANSFER_STATUS_CHANGED, 0, 0);
    aggregator.SetRequest(KeyOf(0), "/a");
    aggregator.SetRequest(KeyOf(1), "/b");
    aggregator.Unregister(KeyOf(1));
    aggregator.RemoveAll();
    EXPECT_EQ(target.posts, 4);

    RecordingHandler handler;
    handler.onEvent = lockFromOtherThread;
    aggregator.SetRequest(KeyOf(2), "/c");
    aggregator.DispatchEvents(handler);
    EXPECT_EQ(handler.events.size(), 1u);
}

TEST_F(AggregatorTest, DispatchAnnouncesMostRecentFirstAndSkipsTransfersThatCameAndWent) {
    RecordingHandler handler;
    for (int n = 0; n < 3; ++n) {
        aggregator.SetRequest(KeyOf(n), "/x");
    }
    aggregator.DispatchEvents(handler);
    EXPECT_EQ(handler.events, (std::vector<std::string>{"+3", "+2", "+1"}));

    handler.events.clear();
    aggregator.Unregister(KeyOf(0));
    aggregator.SetRequest(KeyOf(3), "/y");       // id 4
    for (int round = 0; round < 1000; ++round) { // ids 5 ... 1004, each gone before anyone looked
        aggregator.SetRequest(KeyOf(4), "/z");
        aggregator.Unregister(KeyOf(4));
    }
    aggregator.Unregister(KeyOf(2));
    aggregator.DispatchEvents(handler);
    EXPECT_EQ(handler.events, (std::vector<std::string>{"+4", "-3", "-1"}));
    handler.events.clear();
    aggregator.DispatchEvents(handler);
    EXPECT_TRUE(handler.events.empty());
}

void RunOnce(std::function<void()>& hook) {
    if (std::function<void()> taken = std::exchange(hook, nullptr)) {
        taken();
    }
}

// A clock that runs a hook once, at its next reading: on the GUI thread, the one inside TakeSnapshot.
class HookedClock final : public Clock {
public:
    int64_t NowMs() override {
        RunOnce(once);
        return 100000;
    }
    bool SleepFor(int64_t) override { return true; }
    void WakeAll() override {}
    std::function<void()> once;
};

TEST(AggregatorViewTest, ATransferThatEndsWhileTheViewRefreshesLosesItsRow) {
    // The view's rows, and its refresh: the announcements, then the snapshot, once per notification.
    struct Rows : TransferStatusEventHandler {
        void OnTransferAdded(int id) override {
            RunOnce(once);
            ids.insert(id);
        }
        void OnTransferRemoved(int id) override {
            RunOnce(once);
            ids.erase(id);
        }
        std::set<int> ids;
        std::function<void()> once;
    };
    HookedClock clock;
    GuiTransferStatusAggregator aggregator{clock};
    CountingTarget target;
    Rows rows;
    int refreshes = 0;
    auto refreshWhileNotified = [&] {
        while (refreshes < target.posts) {
            ++refreshes;
            aggregator.DispatchEvents(rows);
            aggregator.TakeSnapshot();
        }
    };
    // The transfer ends on its own connection thread, while the GUI thread is inside the refresh.
    auto endOnAnotherThread = [&](int n) {
        return [&, n] { std::thread([&] { aggregator.Unregister(KeyOf(n)); }).join(); };
    };
    aggregator.SetTarget(&target, WM_TRANSFER_STATUS_CHANGED, 0, 0);
    aggregator.SetRequest(KeyOf(0), "/stays");
    aggregator.SetRequest(KeyOf(1), "/ends-during-snapshot");
    refreshWhileNotified();
    ASSERT_EQ(rows.ids, (std::set<int>{1, 2}));

    aggregator.SetUserName(KeyOf(0), "u");
    clock.once = endOnAnotherThread(1);
    refreshWhileNotified();
    EXPECT_EQ(rows.ids, (std::set<int>{1}));

    aggregator.SetRequest(KeyOf(2), "/ends-during-announcement");
    aggregator.SetRequest(KeyOf(3), "/new");
    rows.once = endOnAnotherThread(2);
    refreshWhileNotified();
    EXPECT_EQ(rows.ids, (std::set<int>{1, 4}));
}

TEST_F(AggregatorTest, ABacklogAppliedInPartsKeepsArrivalsBeforeTheirDepartures) {
    // A thousand arrivals wait; the departures of the first half each apply a part of the backlog now and
    // then, so arrivals, departures and parts interleave.
    static char keys[1000];
    for (char& key : keys) {
        aggregator.SetRequest(&key, "/x");
    }
    for (int n = 0; n < 500; ++n) {
        aggregator.Unregister(&keys[n]);
    }
    std::vector<int> ids;
    for (const TransferRecord& record : aggregator.TakeSnapshot()) {
        EXPECT_GE(static_cast<const char*>(record.key), &keys[500]);
        ids.push_back(record.id);
    }
    std::sort(ids.begin(), ids.end());
    std::vector<int> expected(500);
    for (int n = 0; n < 500; ++n) {
        expected[n] = 501 + n;
    }
    EXPECT_EQ(ids, expected);
    RecordingHandler handler;
    aggregator.DispatchEvents(handler);
    ASSERT_EQ(handler.events.size(), 500u); // the live half, announced once; the rest never was
    EXPECT_EQ(handler.events.front(), "+1000");
    EXPECT_EQ(handler.events.back(), "+501");
}

TEST_F(AggregatorTest, RemovalsKeepEveryOtherRecordFindableById) {
    RecordingHandler handler;
    for (int n = 0; n < 3; ++n) {
        aggregator.SetRequest(KeyOf(n), "/r" + std::to_string(n));
    }
    aggregator.Unregister(KeyOf(1)); // the last record moves into the gap
    const std::vector<TransferRecord> snapshot = aggregator.TakeSnapshot();
    ASSERT_EQ(snapshot.size(), 2u);
    EXPECT_EQ(snapshot[1].id, 3);
    EXPECT_EQ(aggregator.KeyOfTransferId(1), KeyOf(0));
    EXPECT_EQ(aggregator.KeyOfTransferId(2), nullptr);
    EXPECT_EQ(aggregator.KeyOfTransferId(3), KeyOf(2));
    aggregator.SetTransferLimit(3, kDirectionUpload, 77);
    aggregator.SetUserName(KeyOf(2), "moved");
    EXPECT_EQ(Record(2).userName, "moved");
    EXPECT_EQ(Record(2).upload.speedLimit, 77);

    aggregator.DispatchEvents(handler);
    handler.events.clear();
    aggregator.SetRequest(KeyOf(4), "/new"); // id 4, never announced
    aggregator.RemoveAll();
    EXPECT_EQ(aggregator.GetTransferCount(), 0u);
    aggregator.DispatchEvents(handler);
    std::sort(handler.events.begin(), handler.events.end()); // RemoveAll takes them in no set order
    EXPECT_EQ(handler.events, (std::vector<std::string>{"-1", "-3"}));
    aggregator.SetRequest(KeyOf(0), "/again");
    EXPECT_EQ(IdOf(0), 5) << "ids keep counting";
}

TEST_F(AggregatorTest, AKickedTransferFailsAtEachLaterReportAndStaysListed) {
    aggregator.SetRequest(KeyOf(0), "/a");
    aggregator.SetRequest(KeyOf(1), "/b");
    aggregator.Kick(IdOf(1));
    aggregator.Kick(999); // unknown: nothing
    aggregator.AddTransferredBytes(KeyOf(0), kDirectionDownload, 10);
    try {
        aggregator.AddTransferredBytes(KeyOf(1), kDirectionDownload, 10);
        FAIL() << "a kicked transfer must not report again";
    } catch (const std::exception& error) {
        EXPECT_STREQ(error.what(), "Connection was kicked.");
    }
    EXPECT_THROW(aggregator.AddTransferredBytes(KeyOf(1), kDirectionUpload, 1), TransferKickedError);
    EXPECT_EQ(aggregator.GetTransferCount(), 2u);
    EXPECT_EQ(Record(1).download.position, 0) << "the failed report counts nothing";
}

TEST_F(AggregatorTest, SpeedIsMeasuredOverTheLastFiveSecondsFromTheOldestSampleInside) {
    const TransferKey key = KeyOf(0);
    aggregator.AddTransferredBytes(key, kDirectionDownload, 4000);
    const int64_t expected[] = {0, 5000, 1250, 250, 0}; // at +0, +1000, +4000, +5000, +6000 ms
    const int64_t steps[] = {0, 1000, 3000, 1000, 1000};
    for (int i = 0; i < 5; ++i) {
        clock.AdvanceMs(steps[i]);
        if (i == 1) {
            aggregator.AddTransferredBytes(key, kDirectionDownload, 1000);
        }
        EXPECT_EQ(aggregator.GetSpeed(key, kDirectionDownload), expected[i]) << "step " << i;
    }
    EXPECT_EQ(aggregator.GetSpeed(key, kDirectionUpload), 0);
}

TEST_F(AggregatorTest, SpeedsAndPositionsBeyondThirtyTwoBitsAreExactOrSaturate) {
    const TransferKey key = KeyOf(0);
    aggregator.AddTransferredBytes(key, kDirectionDownload, 900'000'000);
    clock.AdvanceMs(500);
    aggregator.AddTransferredBytes(key, kDirectionDownload, 3'900'000'000ULL);
    clock.AdvanceMs(500);
    EXPECT_EQ(aggregator.GetSpeed(key, kDirectionDownload), 4'800'000'000);
    EXPECT_EQ(Record(0).download.position, 4'800'000'000);

    const TransferKey huge = KeyOf(1);
    aggregator.AddTransferredBytes(huge, kDirectionUpload, UINT64_MAX);
    clock.AdvanceMs(1);
    aggregator.AddTransferredBytes(huge, kDirectionUpload, UINT64_MAX);
    EXPECT_EQ(Record(1).upload.position, INT64_MAX);
    EXPECT_EQ(aggregator.GetSpeed(huge, kDirectionUpload), INT64_MAX);
    clock.AdvanceMs(5000);
    aggregator.AddTransferredBytes(huge, kDirectionUpload, 10);
    clock.AdvanceMs(1000);
    EXPECT_EQ(aggregator.GetSpeed(huge, kDirectionUpload), 10) << "the sum recovers after saturating";
}

TEST_F(AggregatorTest, ManyReportsKeepFewSamples) {
    for (int ms = 0; ms < 20000; ++ms) {
        aggregator.AddTransferredBytes(KeyOf(0), kDirectionDownload, 100);
        clock.AdvanceMs(1);
    }
    const TransferRecord record = Record(0);
    EXPECT_LE(record.download.samples.size(), size_t{TransferSide::kWindowMs / TransferSide::kBucketMs + 1});
    EXPECT_EQ(CalcTransferSpeed(record.download, clock.NowMs()), 100'000);
}

TEST(TransferSideTest, ShownAndPacingSpeeds) {
    struct Case {
        std::vector<std::pair<int64_t, uint64_t>> samples; // clock, bytes
        int64_t now;
        int64_t shown;  // CalcTransferSpeed: from the oldest sample inside the window
        int64_t pacing; // CalcPacingSpeed
    };
    const Case cases[] = {
        {{}, 0, 0, 0},
        {{{1000, 1000}, {1100, 1000}}, 1000, 0, 0},                  // no time has passed since the oldest
        {{{1000, 1000}, {1100, 1000}}, 2000, 2000, 2000},            // younger than the window: the same
        {{{0, 1000}, {1000, 1000}}, 500, 4000, 4000},                // samples ahead of now still count
        {{{0, 1000}, {1000, 2000}, {2000, 3000}}, 5500, 1111, 1063}, // a stale snapshot skips what left
        {{{0, 1000}, {6100, 1000}, {6500, 1000}}, 7000, 2222, 1818}, // one pause step before counts
        {{{0, 1000}, {2100, 1000}}, 7000, 204, 200},                 // never before the window
        {{{0, 1000}, {6800, 3000}}, 7000, 15000, 7500}, // after a long silence only one step counts
        {{{0, 1000}}, 7000, 0, 0},
    };
    for (const Case& c : cases) {
        TransferSide side;
        for (const auto& [clockMs, bytes] : c.samples) {
            side.AddSample(bytes, clockMs);
        }
        EXPECT_EQ(CalcTransferSpeed(side, c.now), c.shown) << c.now;
        EXPECT_EQ(CalcPacingSpeed(side, c.now), c.pacing) << c.now;
    }
}

TEST_F(AggregatorTest, SharesGoFirstToClientsThenToTheirTransfers) {
    // Speeds in bytes per second, from one sample of twice as many bytes two seconds ago.
    const std::pair<const char*, int64_t> transfers[] = {{"10.0.0.1", 10000},
                                                         {"10.0.0.2", 50000},
                                                         {"10.0.0.3", 100000},
                                                         {"10.0.0.3", 100000},
                                                         {"", 0},
                                                         {"", 0}};
    aggregator.SetSpeedLimit(kDirectionDownload, 150000);
    for (int n = 0; n < 6; ++n) {
        aggregator.SetRemoteAddress(KeyOf(n), transfers[n].first);
        aggregator.AddTransferredBytes(KeyOf(n), kDirectionDownload,
                                       static_cast<uint64_t>(transfers[n].second * 2));
    }
    EXPECT_EQ(LimitOf(0), -1) << "the first report only starts the period";
    clock.AdvanceMs(2000);
    aggregator.SetSpeedLimit(kDirectionUpload, 0);
    aggregator.AddTransferredBytes(KeyOf(4), kDirectionUpload, 0); // re-shares; speeds stay as they were
    // Clients by total: the two without an address (0 each), 10 000, 50 000, 200 000. They get 0, 0, then
    // 1.2 times their speed (12 000, 60 000), and the busiest the rest, 78 000, split between its two.
    const int64_t expected[] = {12000, 60000, 39000, 39000, 0, 0};
    for (int n = 0; n < 6; ++n) {
        EXPECT_EQ(LimitOf(n), expected[n]) << n;
        EXPECT_EQ(LimitOf(n, kDirectionUpload), 0) << n;
    }
}

TEST_F(AggregatorTest, EqualSpeedsAreOrderedByClientThenByTransferId) {
    aggregator.SetSpeedLimit(kDirectionDownload, 101);
    const std::pair<const char*, uint64_t> transfers[] = {
        {"c0", 1000}, {"c1", 1000}, {"both", 500}, {"both", 500}};
    for (int n = 0; n < 4; ++n) {
        aggregator.SetRemoteAddress(KeyOf(n), transfers[n].first);
        aggregator.AddTransferredBytes(KeyOf(n), kDirectionDownload, transfers[n].second);
    }
    clock.AdvanceMs(1000);
    aggregator.AddTransferredBytes(KeyOf(3), kDirectionDownload, 0);
    // Three clients at 1000 B/s each: the first two get the even third (33), the one that appeared last
    // the remainder (35), which its two equal transfers split 17 (lower id) and 18.
    const int64_t expected[] = {33, 33, 17, 18};
    for (int n = 0; n < 4; ++n) {
        EXPECT_EQ(LimitOf(n), expected[n]) << n;
    }
}

TEST_F(AggregatorTest, LiftingALimitReleasesEveryTransferAtOnceButSettingOneWaits) {
    aggregator.SetSpeedLimit(kDirectionUpload, 1000);
    for (int n = 0; n < 3; ++n) {
        aggregator.AddTransferredBytes(KeyOf(n), kDirectionUpload, 5000);
    }
    clock.AdvanceMs(1000);
    aggregator.AddTransferredBytes(KeyOf(0), kDirectionUpload, 1);
    aggregator.SetSpeedLimit(kDirectionUpload, -1);
    for (int n = 0; n < 3; ++n) {
        EXPECT_EQ(LimitOf(n, kDirectionUpload), -1);
        EXPECT_FALSE(aggregator.IsOverLimit(KeyOf(n), kDirectionUpload));
    }
    aggregator.SetSpeedLimit(kDirectionUpload, 10);
    EXPECT_EQ(LimitOf(0, kDirectionUpload), -1) << "until the next re-allocation";
    clock.AdvanceMs(GuiTransferStatusAggregator::kReallocateIntervalMs);
    aggregator.AddTransferredBytes(KeyOf(0), kDirectionUpload, 1);
    EXPECT_TRUE(aggregator.IsOverLimit(KeyOf(0), kDirectionUpload));
}

} // namespace
} // namespace Vuxo

namespace Vuxo {
namespace {

// A clock that holds the one thread it gates inside NowMs until opened: a snapshot taken on that thread
// then keeps the aggregator's lock, as a GUI thread kept off the processor does.
class GatedClock final : public Clock {
public:
    int64_t NowMs() override {
        std::unique_lock lock(m_mutex);
        if (std::this_thread::get_id() == m_gated) {
            m_held = true;
            m_changed.notify_all();
            m_changed.wait(lock, [this] { return m_open; });
        }
        return 100000;
    }
    bool SleepFor(int64_t) override { return true; }
    void WakeAll() override {}

    void GateThisThread() {
        std::lock_guard lock(m_mutex);
        m_gated = std::this_thread::get_id();
    }
    void WaitUntilHeld() {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_held; });
    }
    void Open() {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::thread::id m_gated;
    bool m_held = false;
    bool m_open = false;
};

TEST(AggregatorBacklogTest, TransfersThatComeAndGoWhileTheLockIsHeldStayBounded) {
    GatedClock clock;
    GuiTransferStatusAggregator aggregator{clock};
    std::thread gui([&] {
        clock.GateThisThread();
        aggregator.TakeSnapshot();
    });
    clock.WaitUntilHeld();
    // Many connections each serve request after request meanwhile; every one of them leaves a record
    // waiting to be applied. Each thread alone waits only every 256 requests, so together they would
    // leave 128 x 256 records behind.
    constexpr int kThreads = 128;
    constexpr int kCycles = 1000;
    static char keys[kThreads];
    std::atomic<int> done{0};
    std::vector<std::thread> connections;
    for (int t = 0; t < kThreads; ++t) {
        connections.emplace_back([&, t] {
            for (int i = 0; i < kCycles; ++i) {
                aggregator.SetRequest(&keys[t], "/a");
                aggregator.Unregister(&keys[t]);
                ++done;
            }
        });
    }
    for (int waited = 0; waited < 500 && done < kThreads * 256; ++waited) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_LT(done.load(), 8192 / 2 + 2 * kThreads);
    clock.Open();
    gui.join();
    for (std::thread& connection : connections) {
        connection.join();
    }
    EXPECT_EQ(done.load(), kThreads * kCycles);
    EXPECT_TRUE(aggregator.TakeSnapshot().empty());
}

} // namespace
} // namespace Vuxo
