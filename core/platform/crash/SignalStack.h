// A stack of its own for the signal handlers of the calling thread (sigaltstack), so that a thread whose
// stack has overflowed can still run the crash reporter. Made and destroyed on the same thread: the thread
// base class holds one for the life of every thread it runs. When the thread already has one (a
// sanitizer's, or an outer SignalStack), the object leaves it alone.
#pragma once

#include <cstddef>

namespace Vuxo::Crash {

class SignalStack {
public:
    SignalStack();
    ~SignalStack();
    SignalStack(const SignalStack&) = delete;
    SignalStack& operator=(const SignalStack&) = delete;

    bool IsInstalled() const { return m_memory != nullptr; }

private:
    void* m_memory = nullptr;
    size_t m_size = 0;
};

} // namespace Vuxo::Crash
