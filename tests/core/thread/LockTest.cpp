#include "core/thread/CriticalSection.h"
#include "core/thread/StopEvent.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

bool TryLockElsewhere(Vuxo::CriticalSection& section) {
    return std::async(std::launch::async,
                      [&] {
                          if (!section.TryLock()) {
                              return false;
                          }
                          section.Unlock();
                          return true;
                      })
        .get();
}

TEST(CriticalSection, ReentersOnTheSameThreadButExcludesOthers) {
    Vuxo::CriticalSection section;
    {
        Vuxo::ScopedLock outer(section);
        {
            Vuxo::ScopedLock inner(&section); // a manager calling itself under its own lock
            EXPECT_FALSE(TryLockElsewhere(section));
        }
        EXPECT_FALSE(TryLockElsewhere(section)); // still held once by `outer`
    }
    EXPECT_TRUE(TryLockElsewhere(section));
}

TEST(CriticalSection, SerialisesIncrementsFromManyThreads) {
    Vuxo::CriticalSection section;
    long counter = 0; // plain on purpose: only the lock keeps increments whole
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                if (i % 2) {
                    Vuxo::ScopedLock guard(section);
                    ++counter;
                } else {
                    std::scoped_lock guard(section);
                    ++counter;
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(counter, 8 * 20000);
}

TEST(CriticalSection, WaitersThatFellAsleepAreAllWokenInTurn) {
    // The holder keeps the section far longer than any spin, so the others sleep; every one of them
    // must be woken by a later Unlock, and re-entry by a woken thread must still count.
    Vuxo::CriticalSection section;
    std::atomic<int> done{0};
    long inside = 0;
    std::vector<std::thread> threads;
    section.Lock();
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 50; ++i) {
                Vuxo::ScopedLock outer(section);
                Vuxo::ScopedLock inner(section);
                ++inside;
                if (i % 10 == 0) {
                    std::this_thread::sleep_for(1ms); // long holds keep the others asleep
                }
            }
            done.fetch_add(1);
        });
    }
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(done.load(), 0);
    section.Unlock();
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(done.load(), 6);
    EXPECT_EQ(inside, 6 * 50);
    EXPECT_TRUE(TryLockElsewhere(section));
}

TEST(StopEvent, StaysSetUntilResetAndWakesEveryWaiter) {
    Vuxo::StopEvent event;
    EXPECT_FALSE(event.IsSet());
    EXPECT_FALSE(event.WaitFor(0ms));
    EXPECT_FALSE(event.WaitFor(1ms));

    std::vector<std::future<bool>> waiters;
    for (int i = 0; i < 4; ++i) {
        waiters.push_back(std::async(std::launch::async, [&] {
            event.Wait();
            return event.WaitFor(std::chrono::hours(1)); // manual reset: still set after waking
        }));
    }
    event.Set();
    for (auto& waiter : waiters) {
        EXPECT_TRUE(waiter.get());
    }
    EXPECT_TRUE(event.IsSet());
    EXPECT_TRUE(event.WaitFor(0ms));

    event.Reset();
    EXPECT_FALSE(event.IsSet());
    EXPECT_FALSE(event.WaitFor(1ms));
}

} // namespace
