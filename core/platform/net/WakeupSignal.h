// A descriptor that another thread can make readable, so that a thread waiting in poll on a socket can be
// woken (stop, work to do). Owned by the object that waits on it; Signal/Clear may be called from any thread.
// An eventfd: signals coalesce until Clear.
#pragma once

#include "core/platform/net/SocketCalls.h"

namespace Vuxo::Net {

class WakeupSignal {
public:
    WakeupSignal();
    ~WakeupSignal();
    WakeupSignal(const WakeupSignal&) = delete;
    WakeupSignal& operator=(const WakeupSignal&) = delete;

    // False when the descriptor could not be made (then Handle() is kNoHandle and nothing wakes).
    bool IsValid() const { return m_handle != kNoHandle; }
    Handle GetHandle() const { return m_handle; }

    void Signal();
    // Makes the descriptor unreadable again; true when it had been signalled.
    bool Clear();

private:
    Handle m_handle = kNoHandle;
};

} // namespace Vuxo::Net
