// The plain and the reader-writer lock, as std::mutex and std::shared_mutex with the thread-safety
// attributes the standard library's own lack, and their scoped guards. Which lock where:
// - Mutex with a condition variable, or where a short step is guarded and nothing calls back in;
// - SharedMutex for tables every request reads and only the shell writes;
// - CriticalSection (core/thread) where a manager calls itself while holding its own lock.
// A condition variable waits on MutexLock::Native(); to the analysis the lock stays held across the wait,
// which is what the waiting caller sees. Header only, so the lowest layer and the plug-ins may use it.
#pragma once

#include "core/platform/sync/ThreadAnnotations.h"

#include <mutex>
#include <shared_mutex>

namespace Vuxo {

class CAPABILITY("mutex") Mutex {
public:
    Mutex() = default;
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    void lock() ACQUIRE() { m_mutex.lock(); }
    void unlock() RELEASE() { m_mutex.unlock(); }
    bool try_lock() TRY_ACQUIRE(true) { return m_mutex.try_lock(); }

    std::mutex& Native() RETURN_CAPABILITY(this) { return m_mutex; }

private:
    std::mutex m_mutex;
};

// Holds a Mutex for its lifetime; Unlock and Lock let a holder step out for a call that must not run
// under it.
class SCOPED_CAPABILITY MutexLock {
public:
    explicit MutexLock(Mutex& mutex) ACQUIRE(mutex) : m_lock(mutex.Native()) {}
    ~MutexLock() RELEASE() {}
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

    void Unlock() RELEASE() { m_lock.unlock(); }
    void Lock() ACQUIRE() { m_lock.lock(); }

    // For std::condition_variable's waits.
    std::unique_lock<std::mutex>& Native() { return m_lock; }

private:
    std::unique_lock<std::mutex> m_lock;
};

class CAPABILITY("shared mutex") SharedMutex {
public:
    SharedMutex() = default;
    SharedMutex(const SharedMutex&) = delete;
    SharedMutex& operator=(const SharedMutex&) = delete;

    void lock() ACQUIRE() { m_mutex.lock(); }
    void unlock() RELEASE() { m_mutex.unlock(); }
    void lock_shared() ACQUIRE_SHARED() { m_mutex.lock_shared(); }
    void unlock_shared() RELEASE_SHARED() { m_mutex.unlock_shared(); }

private:
    std::shared_mutex m_mutex;
};

// Holds a SharedMutex shared (a reader) for its lifetime.
class SCOPED_CAPABILITY ReaderLock {
public:
    explicit ReaderLock(SharedMutex& mutex) ACQUIRE_SHARED(mutex) : m_mutex(mutex) { m_mutex.lock_shared(); }
    ~ReaderLock() RELEASE() { m_mutex.unlock_shared(); }
    ReaderLock(const ReaderLock&) = delete;
    ReaderLock& operator=(const ReaderLock&) = delete;

private:
    SharedMutex& m_mutex;
};

// Holds a SharedMutex exclusively (a writer) for its lifetime.
class SCOPED_CAPABILITY WriterLock {
public:
    explicit WriterLock(SharedMutex& mutex) ACQUIRE(mutex) : m_mutex(mutex) { m_mutex.lock(); }
    ~WriterLock() RELEASE() { m_mutex.unlock(); }
    WriterLock(const WriterLock&) = delete;
    WriterLock& operator=(const WriterLock&) = delete;

private:
    SharedMutex& m_mutex;
};

} // namespace Vuxo
