// A virtual clock shared by several test threads (the "participants"). Time stands still while any
// participant runs; when every one of them sleeps, time jumps to the earliest wake-up. Threads therefore
// pace each other exactly as they would in real time, without waiting for real.
#pragma once

#include "core/transfer/Clock.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <set>

namespace Vuxo::test {

class SimulatedClock final : public Clock {
public:
    // Every participant is announced before any of them starts, so none sleeps alone too early.
    void AddParticipants(int count) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_running += count;
    }

    // A participant that is done; the others may go on without it.
    void RemoveParticipant() {
        std::lock_guard<std::mutex> lock(m_mutex);
        --m_running;
        AdvanceIfAllAsleep();
    }

    int64_t NowMs() override {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_now;
    }

    bool SleepFor(int64_t ms) override {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (ms <= 0) {
            return true;
        }
        const int64_t wake = m_now + ms;
        const uint64_t generation = m_generation;
        m_sleepers.insert(wake);
        --m_running;
        AdvanceIfAllAsleep();
        m_changed.wait(lock, [&] { return m_now >= wake || m_generation != generation; });
        return m_generation == generation;
    }

    void WakeAll() override {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_generation;
        m_running += static_cast<int>(m_sleepers.size());
        m_sleepers.clear();
        m_changed.notify_all();
    }

    int64_t WakeAllCount() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return static_cast<int64_t>(m_generation);
    }

private:
    void AdvanceIfAllAsleep() {
        if (m_running > 0 || m_sleepers.empty()) {
            return;
        }
        m_now = *m_sleepers.begin();
        while (!m_sleepers.empty() && *m_sleepers.begin() <= m_now) {
            m_sleepers.erase(m_sleepers.begin());
            ++m_running;
        }
        m_changed.notify_all();
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    int64_t m_now = 0;
    uint64_t m_generation = 0;
    int m_running = 0;
    std::multiset<int64_t> m_sleepers; // wake-up times of the participants asleep
};

} // namespace Vuxo::test
