#include "core/thread/AThread.h"

#include "core/platform/crash/SignalStack.h"

#include <system_error>

AThread::~AThread() {
    Stop();
}

bool AThread::Start() {
    std::lock_guard<std::mutex> guard(m_control);
    if (m_running.load()) {
        return false;
    }
    if (m_thread.joinable()) {
        m_thread.join(); // an earlier Run() has returned; collect its thread before starting anew
    }
    m_stopEvent.Reset();
    m_running.store(true);
    try {
        m_thread = std::thread(&AThread::Main, this);
    } catch (const std::system_error&) {
        m_running.store(false);
        return false;
    }
    return true;
}

void AThread::Main() {
    // A stack overflow on this thread can still be reported: the handler runs on a stack of its own.
    const Vuxo::Crash::SignalStack signalStack;
    m_runningId.store(std::this_thread::get_id());
    Run();
    // Cleared before the thread ends, so a later thread that reuses this id is never taken for this one.
    m_runningId.store(std::thread::id());
    m_running.store(false);
}

void AThread::SignalStop() {
    m_stopEvent.Set();
}

bool AThread::IsRunning() const {
    return m_running.load();
}

bool AThread::IsCurrentThread() const {
    return m_runningId.load() == std::this_thread::get_id();
}

bool AThread::Stop() {
    if (IsCurrentThread()) {
        // Run() asks to end itself: it returns on its own once it sees the event; the owner joins later.
        m_stopEvent.Set();
        return true;
    }
    std::lock_guard<std::mutex> guard(m_control);
    if (m_thread.joinable()) {
        m_stopEvent.Set();
        Interrupt();
        m_thread.join();
    }
    m_stopEvent.Reset();
    return true;
}
