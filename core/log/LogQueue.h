// The bounded queue of log entries between the threads that log and the GUI thread that shows them.
// Push notifies the target on every call (even when the entry is dropped because 1024 are waiting), after
// the entry is queued and outside any lock, urgently once half the room is taken; the GUI takes the
// waiting entries in batches.
// The entries wait in a ring of kCapacity slots that pushers claim without a lock: each claims the next
// slot with one compare-and-swap and marks it filled, so no pusher ever waits for another, not even for
// one the scheduler keeps off the processor while it fills its slot (under a flood of requests every
// connection thread pushes, and a lock here queued them all behind such a holder). Takers, one at a time
// under m_takeLock, stop at the first slot not yet filled. A push onto a full ring drops its entry. The
// process-wide instance is never destroyed, so pushes from late threads at exit are safe.
#pragma once

#include "core/log/MessageNotifier.h"
#include "core/thread/CriticalSection.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
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

    LogQueue();

    // Queues the entry unless kCapacity entries are waiting, then notifies in both cases.
    void Push(int level, std::u16string text);
    // Moves the oldest entry into `entry`; false (and `entry` untouched) when the queue is empty.
    bool Pop(LogEntry& entry);
    // Appends the oldest waiting entries, at most `most`, to `entries` in their order; gives how many.
    size_t PopBatch(std::deque<LogEntry>& entries, size_t most);

private:
    struct Slot {
        // The slot is free for the push of ring position `turn`, and filled for the take at `turn` - 1.
        std::atomic<uint64_t> turn{0};
        LogEntry entry;
    };

    // Moves the entry at the next take position, when it is before `end`, into `entry`; false when it is
    // not or is not filled yet. Under m_takeLock.
    bool TakeNext(LogEntry& entry, uint64_t end);

    std::array<Slot, kCapacity> m_slots;
    alignas(64) std::atomic<uint64_t> m_pushAt{0}; // the next position to fill
    alignas(64) std::atomic<uint64_t> m_takeAt{0}; // the next position to take; changed under m_takeLock
    CriticalSection m_takeLock;
};

} // namespace Vuxo
