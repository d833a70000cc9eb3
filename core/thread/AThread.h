// Base class of every worker thread: a thread running Run() plus a stop event. A subclass may ask for a
// stack size of its own (the system's default otherwise) and batch scheduling, which std::thread cannot give.
// The owner calls Start() and, to end the thread, Stop(): it sets the stop event, calls Interrupt() so the
// subclass can wake a blocking call (shut down its socket, wake a sleep), then joins. Threads are never
// killed and never delete themselves. A subclass whose Run() uses its own members must call Stop() in its
// own destructor: by the time ~AThread runs, the subclass part is already gone. An object is never
// destroyed from its own Run().
// Each thread runs with a signal stack of its own, so the crash reporter also reports a stack overflow.
// Start/Stop are serialised by an internal mutex; IsRunning and the stop event may be used from any thread.
#pragma once

#include "core/thread/Noncopyable.h"
#include "core/thread/StopEvent.h"

#include <pthread.h>

#include <atomic>
#include <cstddef>
#include <mutex>
#include <thread>

class AThread : private Vuxo::Noncopyable {
public:
    AThread() = default;
    virtual ~AThread();

    // Starts a new thread running Run(). False when the thread is still running or cannot be created.
    // A finished earlier thread is joined first, and the stop event is reset.
    bool Start();

    // The thread's body; it should return soon after the stop event is set. The result is its exit code.
    virtual int Run() = 0;

    // Sets the stop event without waiting.
    void SignalStop();

    // True from a successful Start() until Run() has returned.
    bool IsRunning() const;

    // Sets the stop event, calls Interrupt() and waits for Run() to return, then resets the event.
    // Called from the thread itself it only sets the event (a thread cannot join itself). Always true.
    bool Stop();

    Vuxo::StopEvent& GetStopEvent() { return m_stopEvent; }

protected:
    // The stack size of threads started afterwards; 0 (the default) leaves it to the system.
    void SetStackSize(size_t bytes) { m_stackSize = bytes; }
    // Threads started afterwards run as batch threads: woken, they wait for the running thread's turn to
    // end instead of taking the processor from it (see ThreadScheduling.h). Where the system refuses, they
    // run as any other.
    void SetBatchScheduling(bool batch) { m_batch = batch; }

    // Called by Stop() on the stopping thread after the stop event is set, while Run() may still block
    // (or may just have returned).
    virtual void Interrupt() {}

private:
    static void* Enter(void* self);
    void Main();
    bool IsCurrentThread() const;
    void Join();

    std::mutex m_control; // guards m_thread and m_joinable in Start/Stop
    pthread_t m_thread{};
    bool m_joinable = false;
    size_t m_stackSize = 0;
    bool m_batch = false;
    std::atomic<bool> m_running{false};
    std::atomic<std::thread::id> m_runningId{}; // id of the thread while it is inside Main()
    Vuxo::StopEvent m_stopEvent;
};

namespace Vuxo {
using ::AThread;
} // namespace Vuxo
