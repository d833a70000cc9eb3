// The re-entrant lock and its scoped guard: for a manager that calls itself while holding its own lock
// (the plain and reader-writer locks are in core/platform/sync/Mutex.h, which says which lock where).
// It also offers lock()/unlock()/try_lock() so std guards and std::scoped_lock work.
// Each shared structure owns its section; ScopedLock holds one section for the lifetime of the guard.
// The sections guard short steps taken by many connection threads at once, so a contended Lock spins a
// little before it sleeps: a thread put to sleep and woken again costs far more than the step it waited for.
#pragma once

#include "core/platform/sync/ThreadAnnotations.h"
#include "core/thread/Noncopyable.h"

#include <atomic>
#include <thread>

namespace Vuxo {

class CAPABILITY("critical section") CriticalSection : private Noncopyable {
public:
    CriticalSection() = default;
    virtual ~CriticalSection() = default;

    void Lock() ACQUIRE() {
        const std::thread::id self = std::this_thread::get_id();
        if (m_owner.load(std::memory_order_relaxed) == self) {
            ++m_depth;
            return;
        }
        int expected = kFree;
        if (!m_state.compare_exchange_strong(expected, kLocked, std::memory_order_acquire)) {
            LockContended();
        }
        m_owner.store(self, std::memory_order_relaxed);
        m_depth = 1;
    }

    void Unlock() RELEASE() {
        if (--m_depth != 0) {
            return;
        }
        m_owner.store(std::thread::id(), std::memory_order_relaxed);
        if (m_state.exchange(kFree, std::memory_order_release) == kLockedWithWaiters) {
            WakeWaiter();
        }
    }

    bool TryLock() TRY_ACQUIRE(true) {
        const std::thread::id self = std::this_thread::get_id();
        if (m_owner.load(std::memory_order_relaxed) == self) {
            ++m_depth;
            return true;
        }
        int expected = kFree;
        if (!m_state.compare_exchange_strong(expected, kLocked, std::memory_order_acquire)) {
            return false;
        }
        m_owner.store(self, std::memory_order_relaxed);
        m_depth = 1;
        return true;
    }

    // TryLock that keeps trying for as long as a contended Lock spins, without its sleep.
    bool TryLockSpinning() TRY_ACQUIRE(true);

    // Lockable names, for std::lock_guard, std::unique_lock and std::scoped_lock.
    void lock() ACQUIRE() { Lock(); }
    void unlock() RELEASE() { Unlock(); }
    bool try_lock() TRY_ACQUIRE(true) { return TryLock(); }

private:
    static constexpr int kFree = 0;
    static constexpr int kLocked = 1;
    static constexpr int kLockedWithWaiters = 2;

    void LockContended();
    void WakeWaiter();

    std::atomic<int> m_state{kFree};
    // The holder, so that the holder's own Lock only counts; only the holder sets it to itself.
    std::atomic<std::thread::id> m_owner{};
    int m_depth = 0; // touched by the holder only
};

class SCOPED_CAPABILITY ScopedLock : private Noncopyable {
public:
    explicit ScopedLock(CriticalSection& section) ACQUIRE(section) : m_section(section) { m_section.Lock(); }
    explicit ScopedLock(CriticalSection* section) ACQUIRE(section) : m_section(*section) { m_section.Lock(); }
    ~ScopedLock() RELEASE() { m_section.Unlock(); }

private:
    CriticalSection& m_section;
};

} // namespace Vuxo
