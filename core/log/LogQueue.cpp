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
    // A full queue drops the entry without the lock: under a flood of requests it is full most of the
    // time, and thousands of threads taking turns at the lock only to drop their entries would queue up
    // behind any holder the scheduler keeps off the processor.
    size_t waiting = m_waiting.load(std::memory_order_relaxed);
    if (waiting < kCapacity) {
        ScopedLock guard(m_lock);
        if (m_entries.size() < kCapacity) {
            m_entries.push_back(LogEntry{level, std::move(text)});
        }
        waiting = m_entries.size();
        m_waiting.store(waiting, std::memory_order_relaxed);
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
    } else {
        for (size_t i = 0; i < count; ++i) {
            entries.push_back(std::move(m_entries.front()));
            m_entries.pop_front();
        }
    }
    m_waiting.store(m_entries.size(), std::memory_order_relaxed);
    return count;
}

bool LogQueue::Pop(LogEntry& entry) {
    ScopedLock guard(m_lock);
    if (m_entries.empty()) {
        return false;
    }
    entry = std::move(m_entries.front());
    m_entries.pop_front();
    m_waiting.store(m_entries.size(), std::memory_order_relaxed);
    return true;
}

} // namespace Vuxo
