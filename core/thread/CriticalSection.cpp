#include "core/thread/CriticalSection.h"

#include "core/platform/sync/Futex.h"

namespace Vuxo {

namespace {

// About a microsecond or two of waiting: longer than most guarded steps, far shorter than a sleep and wake.
constexpr int kSpinRounds = 200;

inline void CpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
}

} // namespace

void CriticalSection::LockContended() {
    for (int round = 0; round < kSpinRounds; ++round) {
        CpuRelax();
        int expected = kFree;
        // Look before writing, so spinners do not pull the line away from the holder.
        if (m_state.load(std::memory_order_relaxed) == kFree &&
            m_state.compare_exchange_weak(expected, kLocked, std::memory_order_acquire)) {
            return;
        }
    }
    // Mark the lock as wanted and sleep until an Unlock sees the mark; the lock is taken with the mark
    // kept, since other sleepers may remain.
    while (m_state.exchange(kLockedWithWaiters, std::memory_order_acquire) != kFree) {
        FutexWait(m_state, kLockedWithWaiters);
    }
}

bool CriticalSection::TryLockSpinning() {
    for (int round = 0; round < kSpinRounds; ++round) {
        if (m_state.load(std::memory_order_relaxed) == kFree && TryLock()) {
            return true;
        }
        CpuRelax();
    }
    return TryLock();
}

void CriticalSection::WakeWaiter() {
    FutexWakeOne(m_state);
}

} // namespace Vuxo
