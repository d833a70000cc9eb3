// The program's transfer-status aggregator: one live record per request, the GUI's view of them, kicking,
// and the two global speed limits (download and upload) shared fairly, first among client addresses and
// then among each client's transfers.
// One instance serves the program (GetInstance, never destroyed); tests build their own over a clock of
// their choice. A request's own reports touch only its record, under the lock of one of 64 shards of the
// keys, so connections do not wait for each other; a record's arrival and departure are queued without a
// lock and applied to the shared list (its order, the GUI's event lists) under the aggregator's lock by
// whoever next needs that list: the GUI, a re-allocation, or now and then a reporting thread (while too
// many are waiting, every reporting thread waits until they are applied, so that they stay bounded).
// A record that came and went between two such looks is never listed; its node is only kept for reuse.
// The aggregator's lock is taken before a shard lock, never after. Nothing sleeps, posts a notification or
// calls a handler while either is held (an apply only wakes the threads that wait for one).
// The GUI is told of changes through the MessageNotifier base; at most one notification is outstanding
// until the GUI looks again (DispatchEvents or TakeSnapshot), and a change that finds one outstanding is
// always among those that look takes.
#pragma once

#include "core/log/MessageNotifier.h"
#include "core/thread/CriticalSection.h"
#include "core/transfer/Clock.h"
#include "core/transfer/TransferRecord.h"
#include "core/transfer/TransferStatusAggregator.h"
#include "core/transfer/TransferStatusEventHandler.h"

#include <atomic>
#include <cstdint>
#include <limits>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace Vuxo {

class GuiTransferStatusAggregator final : public MessageNotifier, public TransferStatusAggregator {
public:
    // Progress reports notify at most this often unless something shown changed.
    static constexpr int64_t kNotifyIntervalMs = 500;
    // Limits are shared out again at most this often.
    static constexpr int64_t kReallocateIntervalMs = 200;
    // A limit (global or of one transfer) that is not set.
    static constexpr int64_t kNoLimit = -1;

    // The program's aggregator, over the steady clock.
    static GuiTransferStatusAggregator& GetInstance();

    explicit GuiTransferStatusAggregator(Clock& clock = SteadyClock::Instance());
    ~GuiTransferStatusAggregator() override;

    // TransferStatusAggregator
    void Unregister(TransferKey key) override;
    void SetTotalSize(TransferKey key, int direction, int64_t size) override;
    void SetPosition(TransferKey key, int direction, int64_t position) override;
    void AddTransferredBytes(TransferKey key, int direction, uint64_t count) override;
    void SetUserName(TransferKey key, const std::string& userName) override;
    void SetRemoteAddress(TransferKey key, const std::string& address) override;
    void SetRequest(TransferKey key, const std::string& request) override;
    void SetRequestTexts(TransferKey key, const std::string& request, const std::string& address,
                         const std::string& userName) override;
    bool IsOverLimit(TransferKey key, int direction) override;
    int64_t GetSpeed(TransferKey key, int direction) override;
    Clock& GetClock() override { return m_clock; }

    // MessageNotifier: a new target starts with no notification outstanding.
    void SetTarget(NotificationTarget* target, unsigned message, uintptr_t wParam, intptr_t lParam) override;

    // Global limit of a direction in bytes per second; negative: none. Lifting a limit releases every
    // transfer of that direction at once.
    void SetSpeedLimit(int direction, int64_t bytesPerSecond);
    int64_t GetSpeedLimit(int direction) const;

    // Marks the transfer so that its next report fails; a paused transfer stops pausing.
    void Kick(int id);

    // Announces, on the calling thread and without the lock, the ids added and then the ids removed since
    // the last call, the most recent first in each list. A transfer that came and went between two calls
    // is not announced at all.
    void DispatchEvents(TransferStatusEventHandler& handler);

    // Copies the live records (with their changed flags) into the snapshot, clears the flags, and
    // returns the snapshot. Only the GUI thread takes snapshots and reads the result.
    const std::vector<TransferRecord>& TakeSnapshot();

    // Unregisters every transfer (the server stopped).
    void RemoveAll();

    // Key of the live transfer with this id, or null.
    TransferKey KeyOfTransferId(int id);
    // One transfer's share of a limit, by id; GetTransferLimit gives -1 for an unknown id.
    void SetTransferLimit(int id, int direction, int64_t bytesPerSecond);
    int64_t GetTransferLimit(int id, int direction);

    size_t GetTransferCount();

    // The id after `id`: 1 ... INT_MAX, INT_MIN ... -1, then 1 again; 0 is never given.
    static int FollowingId(int id);

private:
    // A clock value not yet known.
    static constexpr int64_t kUnset = std::numeric_limits<int64_t>::min();

    // One live transfer: its record and its place in the shared list. The record is guarded by the lock
    // of the shard its key belongs to; `index` and the list by m_lock.
    struct Node;
    // A link of the list of membership changes (a record added, a record removed) not yet applied to
    // m_live. Pushed by reporting threads without a lock; taken whole under m_lock.
    struct Change {
        Change* next = nullptr;
        Node* node = nullptr;
    };
    struct Node {
        TransferRecord record;
        size_t index = 0;             // in m_live, while live
        bool live = false;            // in m_live
        bool goneAgain = false;       // its removal is among the changes being applied
        Node* nextReturned = nullptr; // in its shard's returned nodes
        Change added;
        Change removed;
    };
    // Keys hash to one of kShardCount shards; each has its own lock over its keys' records and its spare
    // nodes, so connections reporting at once seldom meet on a lock.
    static constexpr size_t kShardCount = 64;
    struct alignas(64) Shard {
        CriticalSection lock;
        std::unordered_map<TransferKey, Node*> nodes;
        std::vector<Node*> spare; // removed nodes, reset, for the next records of this shard
        // Removed nodes handed back without the shard lock, by whoever applied their removal: the
        // applier holds the aggregator's lock, and waiting there for a shard lock behind a holder the
        // scheduler had set aside stopped every connection. Taken into `spare` under the shard lock.
        std::atomic<Node*> returned{nullptr};
        std::atomic<size_t> returnedCount{0};
    };

    static size_t ShardIndexOf(TransferKey key);
    Shard& ShardOf(TransferKey key) { return m_shards[ShardIndexOf(key)]; }
    // The key's record, added when missing; under the key's shard lock.
    TransferRecord& FindOrAdd(Shard& shard, TransferKey key);
    // An id for a new record once the ids have wrapped; takes m_lock, so no shard lock may be held.
    int TakeIdAfterWrap(uint64_t n);
    void PushChange(Change& change);
    // Moves the membership changes pushed so far behind those taken before, oldest first; under m_lock.
    void TakeChanges();
    // Applies the membership changes pushed so far to m_live, in the order they were pushed, or only the
    // `most` oldest of them; under m_lock.
    void ApplyChanges(size_t most = std::numeric_limits<size_t>::max());
    // Applies the changes when this thread has pushed several since it last looked, so that a server
    // nobody watches does not collect them without end: mostly only when m_lock is free, now and then
    // waiting for it, and past kMostPendingChanges waiting until they are applied, so that the changes
    // never pile up faster than they are applied.
    void ApplyChangesNowAndThen();
    // Past the bound: applies the changes if m_lock comes free within a spin, else sleeps until an apply.
    void WaitForApply();
    void AddLive(Node* node);
    void RemoveLive(Node* node);
    // Resets a node nobody reaches any more and keeps it for its shard's next record; takes no lock.
    void Recycle(Node* node);
    // A spare node of the shard, or null; under the shard lock.
    static Node* TakeSpare(Shard& shard);
    TransferRecord* FindById(int id); // under m_lock, after ApplyChanges
    // Decides whether a notification is due; the caller posts it after unlocking. `nowMs` is the clock
    // when the caller has read it already (kUnset: read here if needed).
    bool TakeNotifyTurn(bool changed, int64_t nowMs = kUnset);
    bool TakeRemovalNotifyTurn();
    void NotifyIf(bool due);
    // Sets one text of the transfer's record (added when missing) and lets the viewers know.
    void SetRecordText(TransferKey key, std::string TransferRecord::*field, const std::string& text);
    void ReallocateLimits(int64_t nowMs);
    void ReallocateDirection(int direction, int64_t limit, int64_t nowMs);

    Clock& m_clock;
    Shard m_shards[kShardCount];
    std::atomic<Change*> m_changes{nullptr}; // most recent first
    std::atomic<size_t> m_pendingChanges{0}; // pushed and not yet applied
    std::atomic<int> m_applied{0};           // counts the applies, for the threads that wait for one
    std::atomic<int> m_applyWaiters{0};
    // Ids handed out so far; the next id is the following one (see FollowingId).
    std::atomic<uint64_t> m_idsTaken{0};

    // Guards the shared list and everything below up to the atomics. Taken before any shard lock.
    mutable CriticalSection m_lock;
    Change* m_taken = nullptr;     // changes taken off m_changes and not yet applied, oldest first
    Change* m_takenTail = nullptr; // the last of them
    std::vector<Node*> m_live;     // dense; removal moves the last into the gap
    std::vector<TransferRecord> m_snapshot;
    std::vector<int> m_addedIds;           // in order of addition; may hold ids since removed
    std::unordered_set<int> m_unannounced; // ids added and still live, not yet dispatched
    std::vector<int> m_removedIds;         // announced ids removed since, in order of removal
    int64_t m_speedLimits[2] = {kNoLimit, kNoLimit};

    // The notification state, read by every report without a lock: the clock of the last notification or
    // snapshot, and whether a notification is outstanding.
    std::atomic<int64_t> m_lastNotifyMs;
    std::atomic<bool> m_notifyPending{false};
    // Clock of the last re-allocation; unset until the first report. Read and written without the lock.
    std::atomic<int64_t> m_lastReallocateMs{kUnset};
    // Whether any limit is set, readable without the lock so unlimited reports skip the limit work.
    std::atomic<bool> m_anyLimit{false};
    // Whether a transfer was ever given a limit of its own; until then no report needs the lock to learn
    // that it is not over a limit.
    std::atomic<bool> m_anyTransferLimit{false};
};

} // namespace Vuxo
