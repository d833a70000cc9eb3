#include "core/log/LogQueue.h"

#include <algorithm>
#include <utility>

namespace Vuxo {

LogQueue& LogQueue::GetInstance() {
    // Never destroyed: connection threads may still log while static objects are torn down at exit.
    static LogQueue& queue = *new LogQueue;
    return queue;
}

void LogQueue::Push(int level, std::u16string text) {
    size_t waiting;
    {
        ScopedLock guard(m_lock);
        if (m_entries.size() < kCapacity) {
            m_entries.push_back(LogEntry{level, std::move(text)});
        }
        waiting = m_entries.size();
    }
    // Outside the queue's lock: waking the GUI thread is a system call, and every logging thread would
    // wait for it. The entry is queued first, so the notification never comes before its entry.
    if (waiting >= kUrgentFill) {
        NotifyUrgently();
    } else {
        Notify();
    }
}

size_t LogQueue::PopBatch(std::deque<LogEntry>& entries, size_t most) {
    ScopedLock guard(m_lock);
    const size_t count = std::min(most, m_entries.size());
    if (count == m_entries.size() && entries.empty()) {
        entries.swap(m_entries);
        return count;
    }
    for (size_t i = 0; i < count; ++i) {
        entries.push_back(std::move(m_entries.front()));
        m_entries.pop_front();
    }
    return count;
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
