// The one lock type of the program and its scoped guard.
// CriticalSection is re-entrant on the same thread, because several managers call themselves while
// holding their own lock. It also offers lock()/unlock()/try_lock() so std guards and std::scoped_lock work.
// Each shared structure owns its section; ScopedLock holds one section for the lifetime of the guard.
#pragma once

#include "core/thread/Noncopyable.h"

#include <mutex>

namespace Vuxo {

class CriticalSection : private Noncopyable {
public:
    CriticalSection() = default;
    virtual ~CriticalSection() = default;

    void Lock() { m_mutex.lock(); }
    void Unlock() { m_mutex.unlock(); }
    bool TryLock() { return m_mutex.try_lock(); }

    // Lockable names, for std::lock_guard, std::unique_lock and std::scoped_lock.
    void lock() { Lock(); }
    void unlock() { Unlock(); }
    bool try_lock() { return TryLock(); }

private:
    std::recursive_mutex m_mutex;
};

class ScopedLock : private Noncopyable {
public:
    explicit ScopedLock(CriticalSection& section) : m_section(section) { m_section.Lock(); }
    explicit ScopedLock(CriticalSection* section) : ScopedLock(*section) {}
    ~ScopedLock() { m_section.Unlock(); }

private:
    CriticalSection& m_section;
};

} // namespace Vuxo
