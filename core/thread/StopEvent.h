// A manual-reset event: once Set, every waiter wakes and stays awake until Reset.
// Used as the stop signal of AThread and by anything that sleeps but must wake at once when told to stop.
// Thread-safe; its own mutex guards the flag.
#pragma once

#include "core/thread/Noncopyable.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace Vuxo {

class StopEvent : private Noncopyable {
public:
    StopEvent() = default;

    void Set();
    void Reset();
    bool IsSet() const;

    // Waits at most `timeout`; true when the event is set (at once or during the wait).
    bool WaitFor(std::chrono::milliseconds timeout) const;
    // Waits until the event is set.
    void Wait() const;

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    bool m_set = false;
};

} // namespace Vuxo
