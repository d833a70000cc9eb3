#include "core/log/LogQueue.h"

#include <utility>

namespace Vuxo {

LogQueue& LogQueue::GetInstance() {
    // Never destroyed: connection threads may still log while static objects are torn down at exit.
    static LogQueue& queue = *new LogQueue;
    return queue;
}

void LogQueue::Push(int level, std::u16string text) {
    ScopedLock guard(m_lock);
    if (m_entries.size() < kCapacity) {
        m_entries.push_back(LogEntry{level, std::move(text)});
    }
    Notify();
}

bool LogQueue::Pop(LogEntry& entry) {
    ScopedLock guard(m_lock);
    if (m_entries.empty()) {
        return false;
    }
    entry = std::move(m_entries.front());
    m_entries.pop_front();
    return true;
}

} // namespace Vuxo
