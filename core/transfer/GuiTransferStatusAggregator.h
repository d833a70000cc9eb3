// The program's transfer-status aggregator: one live record per request, the GUI's view of them, kicking,
// and the two global speed limits (download and upload) shared fairly, first among client addresses and
// then among each client's transfers.
// One instance serves the program (GetInstance, never destroyed); tests build their own over a clock of
// their choice. One CriticalSection guards records, indexes, id lists, snapshot, id counter, limits and the
// notification state. Nothing sleeps, posts a notification or calls a handler while it is held.
// The GUI is told of changes through the MessageNotifier base; at most one notification is outstanding
// until the GUI takes a snapshot.
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
    TransferRecord& FindOrAdd(TransferKey key);
    TransferRecord* FindById(int id);
    void RemoveAt(size_t index);
    int NextId();
    // Decides under the lock whether a notification is due; the caller posts it after unlocking.
    bool TakeNotifyTurn(bool changed, int64_t nowMs);
    void NotifyIf(bool due);
    // Sets one text of the transfer's record (added when missing) and lets the viewers know.
    void SetRecordText(TransferKey key, std::string TransferRecord::*field, const std::string& text);
    void ReallocateLimits(int64_t nowMs);
    void ReallocateDirection(int direction, int64_t limit, int64_t nowMs);

    Clock& m_clock;

    mutable CriticalSection m_lock;
    std::vector<TransferRecord> m_records;                // dense; removal moves the last into the gap
    std::unordered_map<TransferKey, size_t> m_indexByKey; // key -> index in m_records
    std::unordered_map<int, size_t> m_indexById;          // id  -> index in m_records
    std::vector<TransferRecord> m_snapshot;
    std::vector<int> m_addedIds;           // in order of addition; may hold ids since removed
    std::unordered_set<int> m_unannounced; // ids added and still live, not yet dispatched
    std::vector<int> m_removedIds;         // announced ids removed since, in order of removal
    int m_lastId = 0;
    int64_t m_lastNotifyMs; // clock of the last notification or snapshot
    bool m_notifyPending = false;
    int64_t m_speedLimits[2] = {kNoLimit, kNoLimit};

    // Clock of the last re-allocation; unset until the first report. Read and written without the lock.
    static constexpr int64_t kUnset = std::numeric_limits<int64_t>::min();
    std::atomic<int64_t> m_lastReallocateMs{kUnset};
    // Whether any limit is set, readable without the lock so unlimited reports skip the limit work.
    std::atomic<bool> m_anyLimit{false};
    // Whether a transfer was ever given a limit of its own; until then no report needs the lock to learn
    // that it is not over a limit.
    std::atomic<bool> m_anyTransferLimit{false};
};

} // namespace Vuxo
