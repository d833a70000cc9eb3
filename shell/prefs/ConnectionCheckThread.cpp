#include "shell/prefs/ConnectionCheckThread.h"

namespace Vuxo {

bool ConnectionCheckThread::StartCheck(ConnectionCheck check, RunningCheckRequest request) {
    // A Run that has returned reads the fields no more (IsRunning pairs with the end of the thread).
    if (IsRunning() || !check.run) {
        return false;
    }
    m_check = std::move(check);
    m_request = std::move(request);
    m_answered.store(false, std::memory_order_relaxed); // published to the thread by its start
    return Start();
}

int ConnectionCheckThread::Run() {
    const bool reachable = m_check.run(m_request);
    // Release: pairs with Interrupt's acquire, so a late Stop sees that the test has answered.
    m_answered.store(true, std::memory_order_release);
    m_answer(reachable);
    return 0;
}

void ConnectionCheckThread::Interrupt() {
    if (!m_answered.load(std::memory_order_acquire) && m_check.cancel) {
        m_check.cancel();
    }
}

} // namespace Vuxo
