#include "core/transfer/Clock.h"

#include <chrono>

namespace Vuxo {

SteadyClock& SteadyClock::Instance() {
    // Never destroyed: connection threads may still pace themselves while static objects go away.
    static SteadyClock* clock = new SteadyClock;
    return *clock;
}

int64_t SteadyClock::NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool SteadyClock::SleepFor(int64_t ms) {
    if (ms <= 0) {
        return true;
    }
    std::unique_lock<std::mutex> lock(m_mutex);
    const uint64_t generation = m_generation;
    const bool woken =
        m_wake.wait_for(lock, std::chrono::milliseconds(ms), [&] { return m_generation != generation; });
    return !woken;
}

void SteadyClock::WakeAll() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_generation;
    }
    m_wake.notify_all();
}

bool ManualClock::SleepFor(int64_t ms) {
    m_sleepCount.fetch_add(1);
    if (ms > 0) {
        m_sleptMs.fetch_add(ms);
        m_now.fetch_add(ms);
    }
    return true;
}

} // namespace Vuxo
