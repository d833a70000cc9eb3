#include "core/log/LogQueue.h"
#include "core/log/NotifyMessages.h"
#include "core/log/Trace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <future>
#include <thread>
#include <vector>

namespace {

struct Posted {
    unsigned message;
    uintptr_t wParam;
    intptr_t lParam;
    bool operator==(const Posted&) const = default;
};

class FakeTarget : public Vuxo::NotificationTarget {
public:
    void PostNotification(unsigned message, uintptr_t wParam, intptr_t lParam) override {
        posted.push_back({message, wParam, lParam});
    }
    void PostUrgentNotification(unsigned message, uintptr_t wParam, intptr_t lParam) override {
        ++urgent;
        PostNotification(message, wParam, lParam);
    }
    std::vector<Posted> posted;
    int urgent = 0;
};

TEST(MessageNotifier, PostsTheConfiguredMessageToTheCurrentTarget) {
    Vuxo::MessageNotifier notifier;
    notifier.Notify(); // no target: nothing happens

    FakeTarget first;
    FakeTarget second;
    notifier.SetTarget(&first, Vuxo::WM_TRANSFER_STATUS_CHANGED, 1, -2);
    notifier.Notify();
    notifier.SetTarget(&second, Vuxo::WM_LOG_ADDED, 0, 0);
    notifier.Notify();
    notifier.Notify();
    notifier.SetTarget(nullptr, 0, 0, 0);
    notifier.Notify();

    EXPECT_EQ(first.posted, (std::vector<Posted>{{0x404, 1, -2}}));
    EXPECT_EQ(second.posted, (std::vector<Posted>{{0x403, 0, 0}, {0x403, 0, 0}}));
}

TEST(LogQueue, KeepsTheFirst1024AndNotifiesOnEveryPush) {
    Vuxo::LogQueue queue;
    FakeTarget target;
    queue.SetTarget(&target, Vuxo::WM_LOG_ADDED, 0, 0);
    for (int i = 0; i < 1025; ++i) {
        queue.Push(i % 64, u"entry " + std::u16string(1, static_cast<char16_t>(u'0' + i % 10)));
    }
    EXPECT_EQ(target.posted.size(), 1025u);
    Vuxo::LogEntry entry;
    int popped = 0;
    while (queue.Pop(entry)) {
        ASSERT_EQ(entry.level, popped % 64);
        ASSERT_EQ(entry.text.back(), static_cast<char16_t>(u'0' + popped % 10));
        ++popped;
    }
    EXPECT_EQ(popped, 1024);

    queue.Push(Vuxo::LOG_ALERT, u"room again");
    ASSERT_TRUE(queue.Pop(entry));
    EXPECT_EQ(entry.text, u"room again");
}

TEST(LogQueue, NotifiesUrgentlyWhileHalfTheRoomOrMoreIsTaken) {
    Vuxo::LogQueue queue;
    FakeTarget target;
    queue.SetTarget(&target, Vuxo::WM_LOG_ADDED, 0, 0);
    for (size_t i = 1; i < Vuxo::LogQueue::kUrgentFill; ++i) {
        queue.Push(2, u"e");
    }
    EXPECT_EQ(target.urgent, 0);
    queue.Push(2, u"half");
    queue.Push(2, u"more");
    EXPECT_EQ(target.urgent, 2);
    std::deque<Vuxo::LogEntry> taken;
    queue.PopBatch(taken, Vuxo::LogQueue::kCapacity);
    queue.Push(2, u"room again");
    EXPECT_EQ(target.urgent, 2);
    EXPECT_EQ(target.posted.size(), Vuxo::LogQueue::kUrgentFill + 2) << "every push notifies, once";
}

TEST(LogQueue, PopBatchTakesTheOldestInOrderAndLeavesTheRest) {
    Vuxo::LogQueue queue;
    for (int i = 0; i < 5; ++i) {
        queue.Push(i, u"e");
    }
    std::deque<Vuxo::LogEntry> entries{Vuxo::LogEntry{9, u"kept"}};
    EXPECT_EQ(queue.PopBatch(entries, 3), 3u);
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].level, 9);
    EXPECT_EQ(entries[3].level, 2);
    std::deque<Vuxo::LogEntry> rest;
    EXPECT_EQ(queue.PopBatch(rest, 100), 2u); // the whole rest at once
    EXPECT_EQ(rest.front().level, 3);
    EXPECT_EQ(rest.back().level, 4);
    EXPECT_EQ(queue.PopBatch(rest, 100), 0u);
}

TEST(LogQueue, PopOnAnEmptyQueueLeavesTheOutputAlone) {
    Vuxo::LogQueue queue;
    Vuxo::LogEntry entry{7, u"untouched"};
    EXPECT_FALSE(queue.Pop(entry));
    EXPECT_EQ(entry.level, 7);
    EXPECT_EQ(entry.text, u"untouched");
}

TEST(LogQueue, KeepsEachThreadsOrderUnderConcurrentPushAndPop) {
    Vuxo::LogQueue queue;
    constexpr int kThreads = 8;
    constexpr int kPerThread = 100; // all fit: nothing is dropped
    std::atomic<int> pushersLeft{kThreads};
    std::vector<std::thread> pushers;
    for (int t = 0; t < kThreads; ++t) {
        pushers.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i) {
                queue.Push(t, std::u16string(1, static_cast<char16_t>(i)));
            }
            --pushersLeft;
        });
    }
    std::vector<int> next(kThreads, 0);
    int total = 0;
    Vuxo::LogEntry entry;
    for (;;) {
        const bool finished = pushersLeft.load() == 0; // read before popping, so nothing is missed
        while (queue.Pop(entry)) {
            ASSERT_EQ(entry.text[0], static_cast<char16_t>(next[entry.level]));
            ++next[entry.level];
            ++total;
        }
        if (finished) {
            break;
        }
        std::this_thread::yield();
    }
    for (auto& pusher : pushers) {
        pusher.join();
    }
    EXPECT_EQ(total, kThreads * kPerThread);
}

// Many laps of the ring with pushers outrunning the taker: what is dropped is dropped whole, what is kept
// comes out once and in each thread's order, and never more than the capacity waits.
TEST(LogQueue, ManyLapsUnderConcurrentPushAndPopKeepOrderAndCapacity) {
    Vuxo::LogQueue queue;
    constexpr int kThreads = 8;
    constexpr int kPerThread = 5000;
    std::atomic<int> pushersLeft{kThreads};
    std::atomic<bool> taken{false}; // the second halves wait for a first take, so the ring laps at least once
    std::vector<std::thread> pushers;
    for (int t = 0; t < kThreads; ++t) {
        pushers.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i) {
                while (i == kPerThread / 2 && !taken.load()) {
                    std::this_thread::yield();
                }
                queue.Push(t, std::u16string{static_cast<char16_t>(i), static_cast<char16_t>(i ^ 0x5555)});
            }
            --pushersLeft;
        });
    }
    std::vector<int> last(kThreads, -1);
    size_t total = 0;
    size_t largestBatch = 0;
    bool wholeAndInOrder = true;
    std::deque<Vuxo::LogEntry> batch;
    for (bool finished = false; !finished;) {
        finished = pushersLeft.load() == 0;
        batch.clear();
        largestBatch = std::max(largestBatch, queue.PopBatch(batch, 2 * Vuxo::LogQueue::kCapacity));
        for (const Vuxo::LogEntry& entry : batch) {
            const int i = entry.text.size() == 2 ? entry.text[0] : -1;
            wholeAndInOrder = wholeAndInOrder && i > last[entry.level] && entry.text[1] == (i ^ 0x5555);
            last[entry.level] = i;
        }
        total += batch.size();
        taken = taken.load() || !batch.empty();
        finished = finished && batch.empty();
    }
    for (auto& pusher : pushers) {
        pusher.join();
    }
    EXPECT_TRUE(wholeAndInOrder);
    EXPECT_LE(largestBatch, Vuxo::LogQueue::kCapacity);
    EXPECT_GT(total, Vuxo::LogQueue::kCapacity) << "the ring went round more than once";
}

// Blocks inside PostNotification until released, to check that SetTarget waits for it.
class GatedTarget : public Vuxo::NotificationTarget {
public:
    void PostNotification(unsigned, uintptr_t, intptr_t) override {
        inCall = true;
        entered.set_value();
        release.get_future().wait();
        inCall = false;
    }
    std::atomic<bool> inCall{false};
    std::promise<void> entered;
    std::promise<void> release;
};

TEST(LogQueue, ClearingTheTargetWaitsForAPostInProgress) {
    Vuxo::LogQueue queue;
    GatedTarget target;
    queue.SetTarget(&target, Vuxo::WM_LOG_ADDED, 0, 0);
    std::thread pusher([&] { queue.Push(Vuxo::LOG_INFO, u"line"); });
    target.entered.get_future().wait();

    std::promise<void> clearing;
    auto clearer = std::async(std::launch::async, [&] {
        clearing.set_value();
        queue.SetTarget(nullptr, 0, 0, 0);
        return target.inCall.load(); // the target may be destroyed from here on
    });
    clearing.get_future().wait();
    // Give a SetTarget that did not wait the chance to return early; a correct one blocks here.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    target.release.set_value();
    EXPECT_FALSE(clearer.get());
    pusher.join();
}

} // namespace
