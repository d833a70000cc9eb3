#include "core/log/LogQueue.h"

#include <utility>

namespace Vuxo {

LogQueue& LogQueue::GetInstance() {
    // Never destroyed: connection threads may still log while static objects are torn down at exit.
    static LogQueue& queue = *new LogQueue;
    return queue;
}

LogQueue::LogQueue() {
    for (size_t i = 0; i < kCapacity; ++i) {
        m_slots[i].turn.store(i, std::memory_order_relaxed);
    }
}

void LogQueue::Push(int level, std::u16string text) {
    uint64_t position = m_pushAt.load(std::memory_order_relaxed);
    size_t waiting = kCapacity;
    for (;;) {
        Slot& slot = m_slots[position % kCapacity];
        const uint64_t turn = slot.turn.load(std::memory_order_acquire);
        if (turn == position) {
            if (m_pushAt.compare_exchange_weak(position, position + 1, std::memory_order_relaxed)) {
                slot.entry = LogEntry{level, std::move(text)};
                slot.turn.store(position + 1, std::memory_order_release);
                waiting = static_cast<size_t>(position + 1 - m_takeAt.load(std::memory_order_relaxed));
                break;
            }
        } else if (turn < position) {
            break; // the slot still holds the entry of one lap before: the ring is full
        } else {
            position = m_pushAt.load(std::memory_order_relaxed); // another pusher took this position
        }
    }
    // Waking the GUI thread is a system call, made once the entry is in its slot, so the notification
    // never comes before its entry.
    if (waiting >= kUrgentFill) {
        NotifyUrgently();
    } else {
        Notify();
    }
}

bool LogQueue::TakeNext(LogEntry& entry, uint64_t end) {
    const uint64_t position = m_takeAt.load(std::memory_order_relaxed);
    if (position == end) {
        return false;
    }
    Slot& slot = m_slots[position % kCapacity];
    if (slot.turn.load(std::memory_order_acquire) != position + 1) {
        return false; // empty, or its pusher has not filled it yet
    }
    entry = std::move(slot.entry);
    slot.entry.text = std::u16string();
    m_takeAt.store(position + 1, std::memory_order_relaxed);
    slot.turn.store(position + kCapacity, std::memory_order_release); // free for the next lap's push
    return true;
}

size_t LogQueue::PopBatch(std::deque<LogEntry>& entries, size_t most) {
    ScopedLock guard(m_takeLock);
    // What waits now, not what pushers add into the slots freed meanwhile: a flood must not keep the
    // taker here.
    const uint64_t end = m_pushAt.load(std::memory_order_relaxed);
    size_t count = 0;
    LogEntry entry;
    while (count < most && TakeNext(entry, end)) {
        entries.push_back(std::move(entry));
        ++count;
    }
    return count;
}

bool LogQueue::Pop(LogEntry& entry) {
    ScopedLock guard(m_takeLock);
    return TakeNext(entry, m_pushAt.load(std::memory_order_relaxed));
}

} // namespace Vuxo
