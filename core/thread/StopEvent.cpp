#include "core/thread/StopEvent.h"

namespace Vuxo {

void StopEvent::Set() {
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_set = true;
    }
    m_changed.notify_all();
}

void StopEvent::Reset() {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_set = false;
}

bool StopEvent::IsSet() const {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_set;
}

bool StopEvent::WaitFor(std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> guard(m_mutex);
    if (timeout <= std::chrono::milliseconds::zero()) {
        return m_set;
    }
    return m_changed.wait_for(guard, timeout, [this] { return m_set; });
}

void StopEvent::Wait() const {
    std::unique_lock<std::mutex> guard(m_mutex);
    m_changed.wait(guard, [this] { return m_set; });
}

} // namespace Vuxo
