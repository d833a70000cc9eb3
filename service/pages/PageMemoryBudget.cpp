#include "service/pages/PageMemoryBudget.h"

namespace Vuxo {

namespace {

// How often a waiting page looks whether its connection is being stopped.
constexpr std::chrono::milliseconds kStopCheck{100};

} // namespace

PageMemoryBudget& PageMemoryBudget::Shared() {
    static PageMemoryBudget budget;
    return budget;
}

bool PageMemoryBudget::Reserve(int64_t bytes) {
    // Sequentially consistent, with m_waiting in Release: a release either frees room before this
    // attempt sees the count, or sees the waiter that made it.
    int64_t held = m_held.load();
    do {
        if (bytes < 0 || bytes > m_limit - held) {
            return false;
        }
    } while (!m_held.compare_exchange_weak(held, held + bytes));
    // Relaxed: the peak is a figure for tests and logs, guarding nothing.
    int64_t peak = m_peak.load(std::memory_order_relaxed);
    while (held + bytes > peak &&
           !m_peak.compare_exchange_weak(peak, held + bytes, std::memory_order_relaxed)) {
    }
    return true;
}

bool PageMemoryBudget::ReserveWaiting(int64_t bytes, const std::function<bool()>& stopped) {
    if (bytes > m_limit) {
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + m_wait;
    std::unique_lock<std::mutex> lock(m_mutex);
    ++m_waiting; // before the attempt below: see Reserve
    bool reserved = Reserve(bytes);
    while (!reserved && std::chrono::steady_clock::now() < deadline && !(stopped && stopped())) {
        m_released.wait_for(lock, kStopCheck);
        reserved = Reserve(bytes);
    }
    --m_waiting;
    return reserved;
}

void PageMemoryBudget::Release(int64_t bytes) {
    if (bytes == 0) {
        return;
    }
    m_held.fetch_sub(bytes);
    if (m_waiting.load() > 0) {
        std::lock_guard<std::mutex> lock(m_mutex); // a waiter between its attempt and its wait gets it too
        m_released.notify_all();
    }
}

bool PageMemory::Grow(int64_t bytes) {
    const int64_t more = m_used + bytes - m_held;
    if (more > 0) {
        if (!m_budget.Reserve(more)) {
            return false;
        }
        m_held += more;
    }
    m_used += bytes;
    return true;
}

bool PageMemory::WaitFor(int64_t bytes, const std::function<bool()>& stopped) {
    Clear();
    if (!m_budget.ReserveWaiting(bytes, stopped)) {
        return false;
    }
    m_held = bytes;
    return true;
}

void PageMemory::Clear() {
    m_budget.Release(m_held);
    m_held = 0;
    m_used = 0;
}

} // namespace Vuxo
