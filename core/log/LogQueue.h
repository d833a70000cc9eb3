// The bounded queue of log entries between the threads that log and the GUI thread that shows them.
// Push notifies the target on every call (even when the entry is dropped because 1024 are waiting), after
// the entry is queued and outside the lock, urgently once half the room is taken; the GUI takes the
// waiting entries in batches, one lock each.
// Guarded by its own CriticalSection; a push onto a full queue drops its entry without it. The process-wide
// instance is never destroyed, so pushes from late threads at exit are safe.
#pragma once

#include "core/log/MessageNotifier.h"
#include "core/thread/CriticalSection.h"

#include <atomic>
#include <cstddef>
#include <deque>
#include <string>

namespace Vuxo {

struct LogEntry {
    int level = 0;
    std::u16string text;
};

class LogQueue : public MessageNotifier {
public:
    static constexpr size_t kCapacity = 1024;
    // From this many waiting entries on, pushes notify urgently, so that a GUI that takes the entries
    // now and then comes before the queue is full.
    static constexpr size_t kUrgentFill = kCapacity / 2;

    static LogQueue& GetInstance();

    LogQueue() = default;

    // Queues the entry unless kCapacity entries are waiting, then notifies in both cases.
    void Push(int level, std::u16string text);
    // Moves the oldest entry into `entry`; false (and `entry` untouched) when the queue is empty.
    bool Pop(LogEntry& entry);
    // Appends the oldest waiting entries, at most `most`, to `entries` in their order; gives how many.
    size_t PopBatch(std::deque<LogEntry>& entries, size_t most);

private:
    CriticalSection m_lock;
    std::deque<LogEntry> m_entries;
    std::atomic<size_t> m_waiting{0}; // m_entries.size(), stored under m_lock, read without it
};

} // namespace Vuxo
