#include "service/access/ConnectionCountLimitManager.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

namespace Vuxo {
namespace {

// The code Acquire threw, or nothing when it succeeded.
std::optional<int> TryAcquire(ConnectionCountLimitManager& manager, CounterToken& token,
                              const std::string& address) {
    try {
        manager.Acquire(token, address);
        return std::nullopt;
    } catch (const ConnectionCountLimitException& refused) {
        return refused.GetCode();
    }
}

TEST(ConnectionCountLimitTest, TotalLimitRefusesNewOnesUntilEnoughEnd) {
    ConnectionCountLimitManager manager;
    CounterToken first;
    CounterToken second;
    CounterToken third;
    EXPECT_EQ(TryAcquire(manager, first, "10.0.0.1"), std::nullopt);
    EXPECT_EQ(TryAcquire(manager, second, "10.0.0.2"), std::nullopt);
    manager.SetTotalLimit(true, 1); // lowered below what is held: the held tokens stay
    EXPECT_EQ(TryAcquire(manager, third, "10.0.0.3"), ConnectionCountLimitException::kTotalLimit);
    EXPECT_FALSE(third.IsHeld());
    EXPECT_EQ(manager.GetAddressEntryCount(), 2u); // a total refusal adds no entry
    manager.SetTotalLimit(true, 2);
    EXPECT_EQ(TryAcquire(manager, third, "10.0.0.3"), ConnectionCountLimitException::kTotalLimit);
    first.Release();
    EXPECT_EQ(TryAcquire(manager, third, "10.0.0.3"), std::nullopt);
    EXPECT_EQ(manager.GetTotalCount(), 2);
}

TEST(ConnectionCountLimitTest, PerAddressLimitRefusesOnlyThatAddress) {
    ConnectionCountLimitManager manager;
    manager.SetPerIPLimit(true, 1);
    CounterToken a1;
    CounterToken a2;
    CounterToken b1;
    EXPECT_EQ(TryAcquire(manager, a1, "10.0.0.1"), std::nullopt);
    EXPECT_EQ(TryAcquire(manager, a2, "10.0.0.1"), ConnectionCountLimitException::kPerAddressLimit);
    EXPECT_EQ(TryAcquire(manager, b1, "10.0.0.2"), std::nullopt);
    EXPECT_EQ(manager.GetAddressCount("10.0.0.1"), 1);
    EXPECT_EQ(manager.GetAddressCount("10.0.0.2"), 1);
    EXPECT_EQ(manager.GetTotalCount(), 2);
}

TEST(ConnectionCountLimitTest, ALimitOfZeroInUseRefusesEverything) {
    ConnectionCountLimitManager manager;
    manager.SetTotalLimit(true, 0);
    manager.SetPerIPLimit(true, 0);
    CounterToken token;
    EXPECT_EQ(TryAcquire(manager, token, "10.0.0.1"), ConnectionCountLimitException::kTotalLimit);

    manager.SetTotalLimit(false, 0); // off: no limit at once
    for (int i = 0; i < 1000; ++i) {
        // Refused new addresses leave nothing behind, however many there are.
        EXPECT_EQ(
            TryAcquire(manager, token, "10.0." + std::to_string(i / 256) + "." + std::to_string(i % 256)),
            ConnectionCountLimitException::kPerAddressLimit);
    }
    EXPECT_EQ(manager.GetAddressEntryCount(), 0u);
    EXPECT_EQ(manager.GetTotalCount(), 0);

    manager.SetPerIPLimit(false, 0);
    std::vector<CounterToken> tokens(50);
    for (auto& held : tokens) {
        EXPECT_EQ(TryAcquire(manager, held, "10.0.0.1"), std::nullopt);
    }
    EXPECT_EQ(manager.GetAddressCount("10.0.0.1"), 50);
}

TEST(ConnectionCountLimitTest, EntriesGoOnlyFromTheEnd) {
    ConnectionCountLimitManager manager;
    CounterToken a;
    CounterToken b;
    CounterToken c;
    ASSERT_EQ(TryAcquire(manager, a, "A"), std::nullopt);
    ASSERT_EQ(TryAcquire(manager, b, "B"), std::nullopt);
    ASSERT_EQ(TryAcquire(manager, c, "C"), std::nullopt);
    a.Release();
    b.Release();
    EXPECT_EQ(manager.GetAddressEntryCount(), 3u); // A and B stay with count 0 while C is active
    EXPECT_EQ(manager.GetAddressCount("A"), 0);

    // B is found again in the middle, so C's token still names C.
    ASSERT_EQ(TryAcquire(manager, b, "B"), std::nullopt);
    EXPECT_EQ(manager.GetAddressEntryCount(), 3u);
    c.Release();
    EXPECT_EQ(manager.GetAddressCount("C"), 0);
    EXPECT_EQ(manager.GetAddressCount("B"), 1);
    EXPECT_EQ(manager.GetAddressEntryCount(), 2u);
    b.Release();
    EXPECT_EQ(manager.GetAddressEntryCount(), 0u);
    EXPECT_EQ(manager.GetTotalCount(), 0);
}

TEST(ConnectionCountLimitTest, TokensComeBackWhenAnExceptionPasses) {
    ConnectionCountLimitManager manager;
    manager.SetPerIPLimit(true, 1);
    EXPECT_THROW(
        {
            CounterToken token;
            manager.Acquire(token, "10.0.0.1");
            throw std::runtime_error("connection cut while sending");
        },
        std::runtime_error);
    EXPECT_EQ(manager.GetTotalCount(), 0);
    EXPECT_EQ(manager.GetAddressEntryCount(), 0u);
    CounterToken again;
    EXPECT_EQ(TryAcquire(manager, again, "10.0.0.1"), std::nullopt);
}

TEST(ConnectionCountLimitTest, ATokenHoldsOneCountWhateverIsDoneWithIt) {
    ConnectionCountLimitManager manager;
    CounterToken token;
    token.Release(); // empty: nothing happens
    ASSERT_EQ(TryAcquire(manager, token, "A"), std::nullopt);
    ASSERT_EQ(TryAcquire(manager, token, "B"), std::nullopt); // releases A first
    EXPECT_EQ(manager.GetTotalCount(), 1);
    EXPECT_EQ(manager.GetAddressCount("A"), 0);
    EXPECT_EQ(manager.GetAddressCount("B"), 1);

    CounterToken moved(std::move(token));
    EXPECT_FALSE(token.IsHeld());
    EXPECT_TRUE(moved.IsHeld());
    CounterToken assigned;
    ASSERT_EQ(TryAcquire(manager, assigned, "C"), std::nullopt);
    assigned = std::move(moved); // gives C back, takes over B
    EXPECT_EQ(manager.GetTotalCount(), 1);
    EXPECT_EQ(manager.GetAddressCount("C"), 0);
    token.Release();
    moved.Release();
    EXPECT_EQ(manager.GetTotalCount(), 1);
    assigned.Release();
    assigned.Release();
    EXPECT_EQ(manager.GetTotalCount(), 0);
}

TEST(ConnectionCountLimitTest, TokensTakenBeforeAResetDoNotDisturbTheNewCounts) {
    ConnectionCountLimitManager manager;
    manager.SetPerIPLimit(true, 1);
    CounterToken old;
    ASSERT_EQ(TryAcquire(manager, old, "A"), std::nullopt);
    manager.ResetCounts();
    EXPECT_EQ(manager.GetTotalCount(), 0);
    CounterToken fresh;
    ASSERT_EQ(TryAcquire(manager, fresh, "B"), std::nullopt);
    old.Release(); // its index now names B's entry: it must not count B down
    EXPECT_EQ(manager.GetAddressCount("B"), 1);
    EXPECT_EQ(manager.GetTotalCount(), 1);
    CounterToken second;
    EXPECT_EQ(TryAcquire(manager, second, "B"), ConnectionCountLimitException::kPerAddressLimit);
}

TEST(ConnectionCountLimitTest, ManyConnectionThreadsNeverExceedTheLimitsAndLeaveNothingBehind) {
    ConnectionCountLimitManager manager;
    constexpr int kTotal = 3;
    constexpr int kPerAddress = 2;
    manager.SetTotalLimit(true, kTotal);
    manager.SetPerIPLimit(true, kPerAddress);
    std::atomic<int> over{0};
    std::atomic<int> served{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            const std::string address = "10.0.0." + std::to_string(t % 3);
            for (int i = 0; i < 2000; ++i) {
                try {
                    CounterToken token;
                    manager.Acquire(token, address);
                    ++served;
                    if (manager.GetTotalCount() > kTotal || manager.GetAddressCount(address) > kPerAddress) {
                        ++over;
                    }
                    if (i % 7 == 0) {
                        throw std::runtime_error("connection cut"); // the token goes back while unwinding
                    }
                } catch (const ConnectionCountLimitException&) {
                } catch (const std::runtime_error&) {
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(over, 0);
    EXPECT_GT(served, 0);
    EXPECT_EQ(manager.GetTotalCount(), 0);
    EXPECT_EQ(manager.GetAddressEntryCount(), 0u);
}

} // namespace
} // namespace Vuxo
