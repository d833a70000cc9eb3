#include "core/thread/AThread.h"

#include "core/platform/crash/SignalStack.h"
#include "core/platform/sync/ThreadScheduling.h"

AThread::~AThread() {
    Stop();
}

bool AThread::Start() {
    std::lock_guard<std::mutex> guard(m_control);
    if (m_running.load()) {
        return false;
    }
    Join(); // an earlier Run() has returned; collect its thread before starting anew
    m_stopEvent.Reset();
    m_running.store(true);
    pthread_attr_t attributes;
    if (::pthread_attr_init(&attributes) != 0) {
        m_running.store(false);
        return false;
    }
    int result = m_stackSize > 0 ? ::pthread_attr_setstacksize(&attributes, m_stackSize) : 0;
    if (result == 0) {
        result = ::pthread_create(&m_thread, &attributes, &AThread::Enter, this);
    }
    ::pthread_attr_destroy(&attributes);
    m_joinable = result == 0;
    if (!m_joinable) {
        m_running.store(false);
    }
    return m_joinable;
}

void AThread::Join() {
    if (m_joinable) {
        ::pthread_join(m_thread, nullptr);
        m_joinable = false;
    }
}

void* AThread::Enter(void* self) {
    static_cast<AThread*>(self)->Main();
    return nullptr;
}

void AThread::Main() {
    // A stack overflow on this thread can still be reported: the handler runs on a stack of its own.
    const Vuxo::Crash::SignalStack signalStack;
    if (m_batch) {
        Vuxo::ScheduleCallingThreadAsBatch(); // refused: the thread runs as any other, which is no fault
    }
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
    if (m_joinable) {
        m_stopEvent.Set();
        Interrupt();
        Join();
    }
    m_stopEvent.Reset();
    return true;
}
