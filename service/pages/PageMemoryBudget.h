// The memory that the pages being made hold at once, server-wide: the entries of folder pages and the
// pages rendered ahead of their header. Each page draws on it through a PageMemory as it grows and
// gives everything back when it ends, so however many big folders are asked for at once the server's
// memory stays bounded: a folder page that finds no room waits for the whole of what it needs (holding
// nothing meanwhile, so waiting pages never hold each other up) and is refused (503) when that does not
// come in time; a rendered page goes out as it renders instead of being gathered.
// The server owns one (PageServer::GetPageMemory). Reserving and giving back are lock-free (atomic
// counters); only a page that waits takes the mutex, and a release wakes it only while one waits.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace Vuxo {

class PageMemoryBudget {
public:
    static constexpr int64_t kDefaultLimit = int64_t{256} << 20;
    static constexpr std::chrono::milliseconds kDefaultWait{30000};

    explicit PageMemoryBudget(int64_t limit = kDefaultLimit, std::chrono::milliseconds wait = kDefaultWait)
        : m_limit(limit), m_wait(wait) {}
    PageMemoryBudget(const PageMemoryBudget&) = delete;
    PageMemoryBudget& operator=(const PageMemoryBudget&) = delete;

    // The budget of pages whose server names none of its own.
    static PageMemoryBudget& Shared();

    // False (nothing reserved) when `bytes` more would pass the limit.
    bool Reserve(int64_t bytes);
    // Waits for room for `bytes` as other pages give theirs back, up to the budget's wait, and looks at
    // `stopped` now and then (the server stopping the connection ends the wait). False, nothing
    // reserved, when no room came, or can ever come (more than the limit).
    bool ReserveWaiting(int64_t bytes, const std::function<bool()>& stopped);
    void Release(int64_t bytes);

    int64_t GetLimit() const { return m_limit; }
    int64_t GetHeld() const { return m_held.load(); }
    // The most that was held at once.
    int64_t GetPeak() const { return m_peak.load(std::memory_order_relaxed); }

private:
    const int64_t m_limit;
    const std::chrono::milliseconds m_wait;
    std::atomic<int64_t> m_held{0};
    std::atomic<int64_t> m_peak{0};
    std::atomic<int> m_waiting{0};
    std::mutex m_mutex; // only for the waits
    std::condition_variable m_released;
};

// One page's share of a budget: what the page uses, reserved as it grows or ahead of it, all given back
// when it is destroyed. Owned by the page on its thread's stack.
class PageMemory {
public:
    explicit PageMemory(PageMemoryBudget& budget) : m_budget(budget) {}
    PageMemory(const PageMemory&) = delete;
    PageMemory& operator=(const PageMemory&) = delete;
    ~PageMemory() { m_budget.Release(m_held); }

    // Uses `bytes` more, from what was reserved ahead or else from the budget; false, nothing more
    // used, when the budget has no room.
    bool Grow(int64_t bytes);
    // Gives back everything, then waits for `bytes` to be reserved ahead (see ReserveWaiting).
    bool WaitFor(int64_t bytes, const std::function<bool()>& stopped);
    // Gives back everything held.
    void Clear();
    int64_t GetHeld() const { return m_held; }

private:
    PageMemoryBudget& m_budget;
    int64_t m_held = 0; // reserved from the budget
    int64_t m_used = 0; // of that, in use
};

} // namespace Vuxo
