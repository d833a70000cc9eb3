#include "core/transfer/GuiTransferStatusAggregator.h"

#include "core/platform/sync/Futex.h"
#include "core/transfer/SaturatingMath.h"
#include "core/transfer/SpeedShare.h"

#include <algorithm>
#include <climits>
#include <string_view>
#include <utility>

namespace Vuxo {

namespace {

bool IsDirection(int direction) {
    return direction == kDirectionDownload || direction == kDirectionUpload;
}

} // namespace

GuiTransferStatusAggregator& GuiTransferStatusAggregator::GetInstance() {
    // Never destroyed: connection threads and late notifications may still reach it at exit.
    static GuiTransferStatusAggregator* instance = new GuiTransferStatusAggregator(SteadyClock::Instance());
    return *instance;
}

GuiTransferStatusAggregator::GuiTransferStatusAggregator(Clock& clock)
    : m_clock(clock), m_lastNotifyMs(clock.NowMs()) {}

GuiTransferStatusAggregator::~GuiTransferStatusAggregator() {
    ScopedLock lock(m_lock);
    ApplyChanges();
    for (Node* node : m_live) {
        delete node;
    }
    for (Shard& shard : m_shards) {
        while (Node* node = TakeSpare(shard)) {
            delete node;
        }
    }
}

// ---- records ----------------------------------------------------------------------------------------

int GuiTransferStatusAggregator::FollowingId(int id) {
    if (id == INT_MAX) {
        return INT_MIN;
    }
    return id == -1 ? 1 : id + 1;
}

size_t GuiTransferStatusAggregator::ShardIndexOf(TransferKey key) {
    // Keys are addresses: the low bits are alignment, so mix the whole word before taking the top bits.
    const uint64_t mixed = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(key)) * 0x9E3779B97F4A7C15ull;
    return static_cast<size_t>(mixed >> 58);
}

namespace {

// The n-th id handed out (from 0): 1 ... INT_MAX, INT_MIN ... -1, then 1 again.
constexpr uint64_t kIdCycle = 0xFFFFFFFFull; // every int but 0

int IdAt(uint64_t n) {
    const uint64_t position = n % kIdCycle;
    if (position < static_cast<uint64_t>(INT_MAX)) {
        return static_cast<int>(position + 1);
    }
    return static_cast<int>(static_cast<int64_t>(INT_MIN) + static_cast<int64_t>(position - INT_MAX));
}

// How many membership changes a thread pushes between its looks at whether the list needs applying, and
// between the looks at which it waits for its turn.
constexpr unsigned kChangesBetweenApplies = 16;
constexpr unsigned kChangesBetweenWaits = 256;
// How long a thread past the bound sleeps at most before it looks at the list's lock again; an apply
// wakes it sooner.
constexpr int kApplyWaitMs = 20;
// Removed nodes kept for reuse in each shard; a burst of connections leaves no more than this behind.
constexpr size_t kSparesPerShard = 64;
// Changes pushed and not yet applied from which every reporting thread waits to apply them.
constexpr size_t kMostPendingChanges = 8192;
// The most changes a reporting thread applies in one hold of the list's lock. Among thousands of runnable
// connection threads a holder that the scheduler takes off the processor waits a long turn (a fifth of a
// second at two thousand) before it runs again, and nobody can apply meanwhile: the longer the holds, the
// likelier that is, and a backlog applied whole made the next hold longer still, until the server only
// went on in bursts. Bounded holds keep it to the odd, short hold.
constexpr size_t kChangesPerApply = 256;

} // namespace

int GuiTransferStatusAggregator::TakeIdAfterWrap(uint64_t n) {
    for (;; n = m_idsTaken.fetch_add(1)) {
        // A transfer that still holds the id was added four billion ids ago: its arrival is applied.
        const int id = IdAt(n);
        ScopedLock lock(m_lock);
        ApplyChanges();
        if (FindById(id) == nullptr) {
            return id;
        }
    }
}

void GuiTransferStatusAggregator::PushChange(Change& change) {
    m_pendingChanges.fetch_add(1, std::memory_order_relaxed);
    change.next = m_changes.load(std::memory_order_relaxed);
    // Sequentially consistent with the pusher's later look at m_notifyPending and the GUI's clearing of it
    // before it takes the changes (DispatchEvents, TakeSnapshot): either the GUI takes this change or the
    // pusher finds no notification outstanding and posts one.
    while (!m_changes.compare_exchange_weak(change.next, &change, std::memory_order_seq_cst,
                                            std::memory_order_relaxed)) {
    }
}

TransferRecord& GuiTransferStatusAggregator::FindOrAdd(Shard& shard, TransferKey key) {
    auto found = shard.nodes.find(key);
    if (found != shard.nodes.end()) {
        return found->second->record;
    }
    int id;
    const uint64_t n = m_idsTaken.fetch_add(1);
    if (n < kIdCycle) {
        id = IdAt(n); // the first round: no id is taken yet
    } else {
        // After a wrap the id must not be held by a live transfer, which only the shared list knows; its
        // lock comes before ours, so ours is let go meanwhile (the caller holds it exactly once).
        shard.lock.Unlock();
        id = TakeIdAfterWrap(n);
        shard.lock.Lock();
        found = shard.nodes.find(key);
        if (found != shard.nodes.end()) {
            return found->second->record; // another thread reported the same key meanwhile
        }
    }
    // A node of this shard's spares keeps the storage of its strings and samples.
    Node* node = TakeSpare(shard);
    if (node == nullptr) {
        node = new Node;
    }
    TransferRecord& record = node->record;
    record.key = key;
    record.id = id;
    const int64_t now = m_clock.NowMs();
    record.download.startClockMs = now;
    record.upload.startClockMs = now;
    shard.nodes.emplace(key, node);
    // Pushed under the shard lock, so that the removal (also pushed under it) always comes later.
    node->added.node = node;
    PushChange(node->added);
    return record;
}

void GuiTransferStatusAggregator::TakeChanges() {
    Change* change = m_changes.exchange(nullptr); // pairs with PushChange
    // The list holds the most recent first; they are applied oldest first, after those taken before. A
    // record that came and went within the changes taken so far was never seen by anyone: it only goes
    // back to its shard's spares.
    Change* ordered = nullptr;
    Change* last = change;
    while (change != nullptr) {
        Change* next = change->next;
        if (change == &change->node->removed) {
            change->node->goneAgain = true;
        }
        change->next = ordered;
        ordered = change;
        change = next;
    }
    if (ordered == nullptr) {
        return;
    }
    if (m_takenTail != nullptr) {
        m_takenTail->next = ordered;
    } else {
        m_taken = ordered;
    }
    m_takenTail = last;
}

void GuiTransferStatusAggregator::ApplyChanges(size_t most) {
    TakeChanges();
    size_t applied = 0;
    while (m_taken != nullptr && applied < most) {
        Change* change = m_taken;
        m_taken = change->next; // read first: a recycled node may be reused (and pushed) at once
        if (m_taken == nullptr) {
            m_takenTail = nullptr;
        }
        Node* node = change->node;
        if (change == &node->added) {
            if (!node->goneAgain) {
                AddLive(node);
            }
        } else if (node->live) {
            RemoveLive(node);
        } else {
            Recycle(node);
        }
        ++applied;
    }
    m_pendingChanges.fetch_sub(applied, std::memory_order_relaxed);
    m_applied.fetch_add(1);
    if (m_applyWaiters.load() > 0) {
        FutexWakeAll(m_applied);
    }
}

void GuiTransferStatusAggregator::ApplyChangesNowAndThen() {
    thread_local unsigned pushed = 0;
    ++pushed;
    if (m_pendingChanges.load(std::memory_order_relaxed) >= kMostPendingChanges) {
        WaitForApply();
    } else if (pushed % kChangesBetweenWaits == 0) {
        ScopedLock lock(m_lock);
        ApplyChanges(kChangesPerApply);
    } else if (pushed % kChangesBetweenApplies == 0 && m_lock.TryLock()) {
        ApplyChanges(kChangesPerApply);
        m_lock.Unlock();
    }
}

void GuiTransferStatusAggregator::WaitForApply() {
    // Each change holds a record until it is applied, and a holder of the lock kept off the processor
    // among thousands of connection threads would otherwise let them pile up by the hundred thousand. The
    // threads past the bound do not queue on the lock, though: queued there they would take it one by
    // one, each woken in turn for an apply of a few changes, long after the changes were applied. They
    // apply the changes when the lock comes free within a spin, else sleep until an apply, which wakes them
    // all at once.
    m_applyWaiters.fetch_add(1);
    while (m_pendingChanges.load(std::memory_order_relaxed) >= kMostPendingChanges) {
        const int applied = m_applied.load();
        if (m_lock.TryLockSpinning()) {
            ApplyChanges(); // all of them: the waiters are woken once, not for every part
            m_lock.Unlock();
            break;
        }
        FutexWaitFor(m_applied, applied, kApplyWaitMs);
    }
    m_applyWaiters.fetch_sub(1);
}

void GuiTransferStatusAggregator::AddLive(Node* node) {
    const int id = node->record.id;
    node->live = true;
    node->index = m_live.size();
    m_live.push_back(node);
    m_addedIds.push_back(id);
    m_unannounced.insert(id);
}

void GuiTransferStatusAggregator::RemoveLive(Node* node) {
    const size_t index = node->index;
    const int id = node->record.id;
    node->live = false;
    if (index + 1 != m_live.size()) {
        m_live[index] = m_live.back();
        m_live[index]->index = index;
    }
    m_live.pop_back();

    if (m_unannounced.erase(id) == 0) {
        m_removedIds.push_back(id);
    } else if (m_addedIds.size() > 2 * m_unannounced.size() + 64) {
        // Nobody dispatches (no view yet): forget the ids of transfers that are gone.
        std::erase_if(m_addedIds, [this](int added) { return m_unannounced.count(added) == 0; });
    }

    Recycle(node);
}

void GuiTransferStatusAggregator::Recycle(Node* node) {
    // Its key left the shard before the removal was pushed: nobody else can reach the node now.
    Shard& shard = ShardOf(node->record.key);
    node->record.Reset();
    node->live = false;
    node->goneAgain = false;
    if (shard.returnedCount.fetch_add(1, std::memory_order_relaxed) >= kSparesPerShard) {
        shard.returnedCount.fetch_sub(1, std::memory_order_relaxed);
        delete node;
        return;
    }
    node->nextReturned = shard.returned.load(std::memory_order_relaxed);
    while (!shard.returned.compare_exchange_weak(node->nextReturned, node, std::memory_order_release,
                                                 std::memory_order_relaxed)) {
    }
}

GuiTransferStatusAggregator::Node* GuiTransferStatusAggregator::TakeSpare(Shard& shard) {
    if (shard.spare.empty()) {
        // Only the whole stack is ever taken, so a node pushed meanwhile cannot be taken twice.
        for (Node* node = shard.returned.exchange(nullptr, std::memory_order_acquire); node != nullptr;) {
            Node* next = node->nextReturned;
            shard.returnedCount.fetch_sub(1, std::memory_order_relaxed);
            if (shard.spare.size() < kSparesPerShard) {
                shard.spare.push_back(node);
            } else {
                delete node;
            }
            node = next;
        }
    }
    if (shard.spare.empty()) {
        return nullptr;
    }
    Node* node = shard.spare.back();
    shard.spare.pop_back();
    return node;
}

TransferRecord* GuiTransferStatusAggregator::FindById(int id) {
    // Only the GUI asks by id, and seldom: a walk over the live transfers costs no index to keep.
    for (Node* node : m_live) {
        if (node->record.id == id) {
            return &node->record;
        }
    }
    return nullptr;
}

size_t GuiTransferStatusAggregator::GetTransferCount() {
    ScopedLock lock(m_lock);
    ApplyChanges();
    return m_live.size();
}

// ---- notification -----------------------------------------------------------------------------------

bool GuiTransferStatusAggregator::TakeNotifyTurn(bool changed, int64_t nowMs) {
    // While the GUI has not looked yet it will see this change too; the usual case when busy, so it
    // comes first and the clock is read only when needed. Ordered after the caller's PushChange.
    if (m_notifyPending.load()) {
        return false;
    }
    if (nowMs == kUnset) {
        nowMs = m_clock.NowMs();
    }
    if (!changed && nowMs - m_lastNotifyMs.load(std::memory_order_relaxed) <= kNotifyIntervalMs) {
        return false;
    }
    if (m_notifyPending.exchange(true)) {
        return false;
    }
    m_lastNotifyMs.store(nowMs, std::memory_order_relaxed);
    return true;
}

bool GuiTransferStatusAggregator::TakeRemovalNotifyTurn() {
    return !m_notifyPending.load() && !m_notifyPending.exchange(true); // ordered after PushChange
}

void GuiTransferStatusAggregator::NotifyIf(bool due) {
    if (due) {
        Notify();
    }
}

void GuiTransferStatusAggregator::SetTarget(NotificationTarget* target, unsigned message, uintptr_t wParam,
                                            intptr_t lParam) {
    MessageNotifier::SetTarget(target, message, wParam, lParam);
    // After the target is in place, so that a report in between reaches the new target.
    m_notifyPending.store(false);
}

// ---- reports ----------------------------------------------------------------------------------------

void GuiTransferStatusAggregator::Unregister(TransferKey key) {
    {
        Shard& shard = ShardOf(key);
        ScopedLock lock(shard.lock);
        const auto found = shard.nodes.find(key);
        if (found == shard.nodes.end()) {
            return;
        }
        Node* node = found->second;
        shard.nodes.erase(found);
        node->removed.node = node;
        PushChange(node->removed);
    }
    NotifyIf(TakeRemovalNotifyTurn());
    ApplyChangesNowAndThen();
}

void GuiTransferStatusAggregator::SetTotalSize(TransferKey key, int direction, int64_t size) {
    if (!IsDirection(direction)) {
        return;
    }
    bool due;
    {
        Shard& shard = ShardOf(key);
        ScopedLock lock(shard.lock);
        TransferRecord& record = FindOrAdd(shard, key);
        record.Side(direction).totalSize = size;
        due = TakeNotifyTurn(record.changed);
    }
    NotifyIf(due);
}

void GuiTransferStatusAggregator::SetPosition(TransferKey key, int direction, int64_t position) {
    if (!IsDirection(direction)) {
        return;
    }
    bool due;
    {
        Shard& shard = ShardOf(key);
        ScopedLock lock(shard.lock);
        TransferRecord& record = FindOrAdd(shard, key);
        record.Side(direction).position = position;
        if (record.direction != direction) {
            record.direction = direction;
            record.changed = true;
        }
        due = TakeNotifyTurn(record.changed);
    }
    NotifyIf(due);
}

void GuiTransferStatusAggregator::AddTransferredBytes(TransferKey key, int direction, uint64_t count) {
    if (!IsDirection(direction)) {
        return;
    }
    bool due;
    int64_t now;
    {
        Shard& shard = ShardOf(key);
        ScopedLock lock(shard.lock);
        now = m_clock.NowMs();
        TransferRecord& record = FindOrAdd(shard, key);
        if (record.kicked) {
            throw TransferKickedError();
        }
        TransferSide& side = record.Side(direction);
        side.position = SaturatingAdd(side.position, count);
        side.AddSample(count, now);
        if (record.direction != direction) {
            record.direction = direction;
            record.changed = true;
        }
        due = TakeNotifyTurn(record.changed, now);
    }
    NotifyIf(due);
    if (m_anyLimit.load()) {
        ReallocateLimits(now);
    }
}

void GuiTransferStatusAggregator::SetRecordText(TransferKey key, std::string TransferRecord::*field,
                                                const std::string& text) {
    bool due;
    {
        Shard& shard = ShardOf(key);
        ScopedLock lock(shard.lock);
        TransferRecord& record = FindOrAdd(shard, key);
        record.*field = text;
        record.changed = true;
        due = TakeNotifyTurn(true);
    }
    NotifyIf(due);
}

void GuiTransferStatusAggregator::SetUserName(TransferKey key, const std::string& userName) {
    SetRecordText(key, &TransferRecord::userName, userName);
}

void GuiTransferStatusAggregator::SetRemoteAddress(TransferKey key, const std::string& address) {
    SetRecordText(key, &TransferRecord::peerAddress, address);
}

void GuiTransferStatusAggregator::SetRequest(TransferKey key, const std::string& request) {
    SetRecordText(key, &TransferRecord::request, request);
}

void GuiTransferStatusAggregator::SetRequestTexts(TransferKey key, const std::string& request,
                                                  const std::string& address, const std::string& userName) {
    bool due;
    {
        Shard& shard = ShardOf(key);
        ScopedLock lock(shard.lock);
        TransferRecord& record = FindOrAdd(shard, key);
        record.request = request;
        record.peerAddress = address;
        record.userName = userName;
        record.changed = true;
        due = TakeNotifyTurn(true);
    }
    NotifyIf(due);
}

bool GuiTransferStatusAggregator::IsOverLimit(TransferKey key, int direction) {
    // Without any limit every side's limit is unset (lifting a limit clears them all).
    if (!IsDirection(direction) || (!m_anyLimit.load() && !m_anyTransferLimit.load())) {
        return false;
    }
    Shard& shard = ShardOf(key);
    ScopedLock lock(shard.lock);
    TransferRecord& record = FindOrAdd(shard, key);
    TransferSide& side = record.Side(direction);
    // A kicked transfer is not paced any more: it is to fail at its next report, not sleep first.
    if (record.kicked || side.speedLimit < 0) {
        return false;
    }
    const int64_t now = m_clock.NowMs();
    side.Prune(now);
    return side.speedLimit < CalcPacingSpeed(side, now);
}

int64_t GuiTransferStatusAggregator::GetSpeed(TransferKey key, int direction) {
    if (!IsDirection(direction)) {
        return 0;
    }
    Shard& shard = ShardOf(key);
    ScopedLock lock(shard.lock);
    TransferSide& side = FindOrAdd(shard, key).Side(direction);
    const int64_t now = m_clock.NowMs();
    side.Prune(now);
    return CalcTransferSpeed(side, now);
}

// ---- GUI side ---------------------------------------------------------------------------------------

void GuiTransferStatusAggregator::SetSpeedLimit(int direction, int64_t bytesPerSecond) {
    if (!IsDirection(direction)) {
        return;
    }
    bool lifted = false;
    {
        ScopedLock lock(m_lock);
        ApplyChanges();
        const int64_t old = m_speedLimits[direction];
        if (bytesPerSecond < 0 && old >= 0) {
            for (Node* node : m_live) {
                ScopedLock shardLock(ShardOf(node->record.key).lock);
                node->record.Side(direction).speedLimit = bytesPerSecond;
            }
            lifted = true;
        }
        m_speedLimits[direction] = bytesPerSecond;
        m_anyLimit.store(m_speedLimits[0] >= 0 || m_speedLimits[1] >= 0);
    }
    if (lifted) {
        m_clock.WakeAll(); // paused transfers go on at once
    }
}

int64_t GuiTransferStatusAggregator::GetSpeedLimit(int direction) const {
    if (!IsDirection(direction)) {
        return kNoLimit;
    }
    ScopedLock lock(m_lock);
    return m_speedLimits[direction];
}

void GuiTransferStatusAggregator::Kick(int id) {
    {
        ScopedLock lock(m_lock);
        ApplyChanges();
        TransferRecord* record = FindById(id);
        if (record == nullptr) {
            return;
        }
        ScopedLock shardLock(ShardOf(record->key).lock);
        record->kicked = true;
    }
    m_clock.WakeAll(); // a paused kicked transfer reaches its next report (and fails) at once
}

void GuiTransferStatusAggregator::DispatchEvents(TransferStatusEventHandler& handler) {
    std::vector<int> added;
    std::vector<int> removed;
    {
        ScopedLock lock(m_lock);
        // Cleared before the changes are taken: one pushed later finds no notification outstanding and
        // posts its own, so the GUI looks again. Cleared after them, a removal pushed in between was
        // neither announced nor notified, and its row stayed.
        m_notifyPending.store(false);
        ApplyChanges();
        for (auto it = m_addedIds.rbegin(); it != m_addedIds.rend(); ++it) {
            if (m_unannounced.erase(*it) != 0) {
                added.push_back(*it);
            }
        }
        m_addedIds.clear();
        removed.assign(m_removedIds.rbegin(), m_removedIds.rend());
        m_removedIds.clear();
    }
    for (int id : added) {
        handler.OnTransferAdded(id);
    }
    for (int id : removed) {
        handler.OnTransferRemoved(id);
    }
}

const std::vector<TransferRecord>& GuiTransferStatusAggregator::TakeSnapshot() {
    ScopedLock lock(m_lock);
    // The GUI is up to date now: plain progress waits a full interval before notifying again. Before the
    // changes are taken, as in DispatchEvents.
    m_lastNotifyMs.store(m_clock.NowMs());
    m_notifyPending.store(false);
    ApplyChanges();
    m_snapshot.resize(m_live.size());
    for (size_t i = 0; i < m_live.size(); ++i) {
        TransferRecord& record = m_live[i]->record;
        ScopedLock shardLock(ShardOf(record.key).lock);
        m_snapshot[i] = record;
        record.changed = false;
    }
    return m_snapshot;
}

void GuiTransferStatusAggregator::RemoveAll() {
    {
        ScopedLock lock(m_lock);
        ApplyChanges();
        if (m_live.empty()) {
            return;
        }
        // As each reporter's Unregister would; a reporter that reports again starts a new record.
        std::vector<TransferKey> keys;
        keys.reserve(m_live.size());
        for (Node* node : m_live) {
            keys.push_back(node->record.key);
        }
        for (TransferKey key : keys) {
            Shard& shard = ShardOf(key);
            ScopedLock shardLock(shard.lock);
            const auto found = shard.nodes.find(key);
            if (found != shard.nodes.end()) {
                Node* node = found->second;
                shard.nodes.erase(found);
                node->removed.node = node;
                PushChange(node->removed);
            }
        }
        ApplyChanges();
    }
    NotifyIf(TakeRemovalNotifyTurn());
}

TransferKey GuiTransferStatusAggregator::KeyOfTransferId(int id) {
    ScopedLock lock(m_lock);
    ApplyChanges();
    const TransferRecord* record = FindById(id);
    return record == nullptr ? nullptr : record->key;
}

void GuiTransferStatusAggregator::SetTransferLimit(int id, int direction, int64_t bytesPerSecond) {
    if (!IsDirection(direction)) {
        return;
    }
    ScopedLock lock(m_lock);
    ApplyChanges();
    if (TransferRecord* record = FindById(id)) {
        ScopedLock shardLock(ShardOf(record->key).lock);
        record->Side(direction).speedLimit = bytesPerSecond;
        if (bytesPerSecond >= 0) {
            m_anyTransferLimit.store(true);
        }
    }
}

int64_t GuiTransferStatusAggregator::GetTransferLimit(int id, int direction) {
    if (!IsDirection(direction)) {
        return kNoLimit;
    }
    ScopedLock lock(m_lock);
    ApplyChanges();
    const TransferRecord* record = FindById(id);
    if (record == nullptr) {
        return kNoLimit;
    }
    ScopedLock shardLock(ShardOf(record->key).lock);
    return record->Side(direction).speedLimit;
}

// ---- fair shares ------------------------------------------------------------------------------------

void GuiTransferStatusAggregator::ReallocateLimits(int64_t nowMs) {
    // One thread re-shares per period; the others go on at once.
    int64_t last = m_lastReallocateMs.load();
    if (last == kUnset) {
        m_lastReallocateMs.compare_exchange_strong(last, nowMs);
        return;
    }
    if (nowMs - last < kReallocateIntervalMs || !m_lastReallocateMs.compare_exchange_strong(last, nowMs)) {
        return;
    }
    ScopedLock lock(m_lock);
    ApplyChanges();
    // Every record's speed is read and its share written in one go, with every shard held.
    struct AllShards {
        explicit AllShards(Shard (&shards)[kShardCount]) : held(shards) {
            for (Shard& shard : held) {
                shard.lock.Lock();
            }
        }
        ~AllShards() {
            for (Shard& shard : held) {
                shard.lock.Unlock();
            }
        }
        Shard (&held)[kShardCount];
    } allShards(m_shards);
    for (int direction : {kDirectionDownload, kDirectionUpload}) {
        if (m_speedLimits[direction] >= 0) {
            ReallocateDirection(direction, m_speedLimits[direction], nowMs);
        }
    }
}

void GuiTransferStatusAggregator::ReallocateDirection(int direction, int64_t limit, int64_t nowMs) {
    struct Transfer {
        int64_t speed;
        int id;
        size_t index;
    };
    struct Client {
        int64_t total = 0;
        size_t order = 0; // position of first appearance: ties between equal totals go by it
        std::vector<Transfer> transfers;
    };

    // Group by client address, exact bytes; every transfer without an address is a client of its own.
    std::vector<Client> clients;
    clients.reserve(32);
    std::unordered_map<std::string_view, size_t> clientOfAddress;
    for (size_t i = 0; i < m_live.size(); ++i) {
        TransferRecord& record = m_live[i]->record;
        TransferSide& side = record.Side(direction);
        side.Prune(nowMs);
        const int64_t speed = CalcPacingSpeed(side, nowMs);
        size_t c = clients.size();
        if (!record.peerAddress.empty()) {
            c = clientOfAddress.try_emplace(record.peerAddress, clients.size()).first->second;
        }
        if (c == clients.size()) {
            clients.emplace_back();
            clients.back().order = c;
        }
        clients[c].transfers.push_back({speed, record.id, i});
        clients[c].total = ClampToInt64(static_cast<__int128>(clients[c].total) + speed);
    }

    std::sort(clients.begin(), clients.end(), [](const Client& a, const Client& b) {
        return a.total != b.total ? a.total < b.total : a.order < b.order;
    });
    std::vector<int64_t> totals;
    totals.reserve(clients.size());
    for (Client& client : clients) {
        std::sort(client.transfers.begin(), client.transfers.end(), [](const Transfer& a, const Transfer& b) {
            return a.speed != b.speed ? a.speed < b.speed : a.id < b.id;
        });
        totals.push_back(client.total);
    }

    const std::vector<int64_t> clientShares = ShareSpeedLimit(limit, totals);
    std::vector<int64_t> speeds;
    for (size_t c = 0; c < clients.size(); ++c) {
        speeds.clear();
        for (const Transfer& transfer : clients[c].transfers) {
            speeds.push_back(transfer.speed);
        }
        const std::vector<int64_t> shares = ShareSpeedLimit(clientShares[c], speeds);
        for (size_t t = 0; t < shares.size(); ++t) {
            m_live[clients[c].transfers[t].index]->record.Side(direction).speedLimit = shares[t];
        }
    }
}

} // namespace Vuxo
