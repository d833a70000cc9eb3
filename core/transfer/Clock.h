// The time source and sleeper behind every speed measurement and throttle pause.
// Speeds and pauses read a monotonic millisecond clock; tests hand in a clock of their own so nothing
// waits for real. A throttle pause must end at once when the server stops or a limit is lifted, so
// SleepFor is interruptible through WakeAll. SteadyClock is process-wide and never destroyed; each clock
// guards itself (any thread may call any operation).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace Vuxo {

class Clock {
public:
    virtual ~Clock() = default;

    // Milliseconds on a monotonic scale (never goes back; the zero point is arbitrary).
    virtual int64_t NowMs() = 0;

    // Sleeps `ms` milliseconds or until WakeAll is called, whichever comes first.
    // True when the whole time passed, false when woken early.
    virtual bool SleepFor(int64_t ms) = 0;

    // Ends every SleepFor in progress at once.
    virtual void WakeAll() = 0;
};

// std::chrono::steady_clock with a condition variable for the interruptible sleep.
class SteadyClock final : public Clock {
public:
    SteadyClock() = default;
    SteadyClock(const SteadyClock&) = delete;
    SteadyClock& operator=(const SteadyClock&) = delete;

    // The one clock of the running program.
    static SteadyClock& Instance();

    int64_t NowMs() override;
    bool SleepFor(int64_t ms) override;
    void WakeAll() override;

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    uint64_t m_generation = 0; // bumped by WakeAll; a sleeper leaves when it changes
};

// A clock that moves only when told to. SleepFor advances the time by the requested amount and returns
// at once, so single-threaded tests can step through throttling without waiting.
class ManualClock final : public Clock {
public:
    explicit ManualClock(int64_t startMs = 0) : m_now(startMs) {}

    int64_t NowMs() override { return m_now.load(); }
    bool SleepFor(int64_t ms) override;
    void WakeAll() override {}

    void SetNowMs(int64_t ms) { m_now.store(ms); }
    void AdvanceMs(int64_t ms) { m_now.fetch_add(ms); }
    // Number of SleepFor calls so far and their total requested time.
    int64_t SleepCount() const { return m_sleepCount.load(); }
    int64_t SleptMs() const { return m_sleptMs.load(); }

private:
    std::atomic<int64_t> m_now;
    std::atomic<int64_t> m_sleepCount{0};
    std::atomic<int64_t> m_sleptMs{0};
};

} // namespace Vuxo
