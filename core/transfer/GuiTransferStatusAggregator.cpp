#include "core/transfer/GuiTransferStatusAggregator.h"

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

GuiTransferStatusAggregator::~GuiTransferStatusAggregator() = default;

// ---- records ----------------------------------------------------------------------------------------

int GuiTransferStatusAggregator::FollowingId(int id) {
    if (id == INT_MAX) {
        return INT_MIN;
    }
    return id == -1 ? 1 : id + 1;
}

int GuiTransferStatusAggregator::NextId() {
    // An id still held by a long-lived transfer is skipped after a wrap.
    int id = m_lastId;
    do {
        id = FollowingId(id);
    } while (m_indexById.count(id) != 0);
    m_lastId = id;
    return id;
}

TransferRecord& GuiTransferStatusAggregator::FindOrAdd(TransferKey key) {
    const auto found = m_indexByKey.find(key);
    if (found != m_indexByKey.end()) {
        return m_records[found->second];
    }
    const int id = NextId();
    const int64_t now = m_clock.NowMs();
    TransferRecord record;
    record.key = key;
    record.id = id;
    record.download.startClockMs = now;
    record.upload.startClockMs = now;
    m_indexByKey.emplace(key, m_records.size());
    m_indexById.emplace(id, m_records.size());
    m_records.push_back(std::move(record));
    m_addedIds.push_back(id);
    m_unannounced.insert(id);
    return m_records.back();
}

TransferRecord* GuiTransferStatusAggregator::FindById(int id) {
    const auto found = m_indexById.find(id);
    return found == m_indexById.end() ? nullptr : &m_records[found->second];
}

void GuiTransferStatusAggregator::RemoveAt(size_t index) {
    const int id = m_records[index].id;
    m_indexByKey.erase(m_records[index].key);
    m_indexById.erase(id);
    if (index + 1 != m_records.size()) {
        m_records[index] = std::move(m_records.back());
        m_indexByKey[m_records[index].key] = index;
        m_indexById[m_records[index].id] = index;
    }
    m_records.pop_back();

    if (m_unannounced.erase(id) == 0) {
        m_removedIds.push_back(id);
    } else if (m_addedIds.size() > 2 * m_unannounced.size() + 64) {
        // Nobody dispatches (no view yet): forget the ids of transfers that are gone.
        std::erase_if(m_addedIds, [this](int added) { return m_unannounced.count(added) == 0; });
    }
}

size_t GuiTransferStatusAggregator::GetTransferCount() {
    ScopedLock lock(m_lock);
    return m_records.size();
}

// ---- notification -----------------------------------------------------------------------------------

bool GuiTransferStatusAggregator::TakeNotifyTurn(bool changed, int64_t nowMs) {
    if (!changed && nowMs - m_lastNotifyMs <= kNotifyIntervalMs) {
        return false;
    }
    if (m_notifyPending) {
        return false; // the GUI has not looked yet; it will see this change too
    }
    m_notifyPending = true;
    m_lastNotifyMs = nowMs;
    return true;
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
    ScopedLock lock(m_lock);
    m_notifyPending = false;
}

// ---- reports ----------------------------------------------------------------------------------------

void GuiTransferStatusAggregator::Unregister(TransferKey key) {
    bool due = false;
    {
        ScopedLock lock(m_lock);
        const auto found = m_indexByKey.find(key);
        if (found == m_indexByKey.end()) {
            return;
        }
        RemoveAt(found->second);
        if (!m_notifyPending) {
            m_notifyPending = true;
            due = true;
        }
    }
    NotifyIf(due);
}

void GuiTransferStatusAggregator::SetTotalSize(TransferKey key, int direction, int64_t size) {
    if (!IsDirection(direction)) {
        return;
    }
    bool due;
    {
        ScopedLock lock(m_lock);
        TransferRecord& record = FindOrAdd(key);
        record.Side(direction).totalSize = size;
        due = TakeNotifyTurn(record.changed, m_clock.NowMs());
    }
    NotifyIf(due);
}

void GuiTransferStatusAggregator::SetPosition(TransferKey key, int direction, int64_t position) {
    if (!IsDirection(direction)) {
        return;
    }
    bool due;
    {
        ScopedLock lock(m_lock);
        TransferRecord& record = FindOrAdd(key);
        record.Side(direction).position = position;
        if (record.direction != direction) {
            record.direction = direction;
            record.changed = true;
        }
        due = TakeNotifyTurn(record.changed, m_clock.NowMs());
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
        ScopedLock lock(m_lock);
        now = m_clock.NowMs();
        TransferRecord& record = FindOrAdd(key);
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
        ScopedLock lock(m_lock);
        TransferRecord& record = FindOrAdd(key);
        record.*field = text;
        record.changed = true;
        due = TakeNotifyTurn(true, m_clock.NowMs());
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
        ScopedLock lock(m_lock);
        TransferRecord& record = FindOrAdd(key);
        record.request = request;
        record.peerAddress = address;
        record.userName = userName;
        record.changed = true;
        due = TakeNotifyTurn(true, m_clock.NowMs());
    }
    NotifyIf(due);
}

bool GuiTransferStatusAggregator::IsOverLimit(TransferKey key, int direction) {
    // Without any limit every side's limit is unset (lifting a limit clears them all).
    if (!IsDirection(direction) || (!m_anyLimit.load() && !m_anyTransferLimit.load())) {
        return false;
    }
    ScopedLock lock(m_lock);
    TransferRecord& record = FindOrAdd(key);
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
    ScopedLock lock(m_lock);
    TransferSide& side = FindOrAdd(key).Side(direction);
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
        const int64_t old = m_speedLimits[direction];
        if (bytesPerSecond < 0 && old >= 0) {
            for (TransferRecord& record : m_records) {
                record.Side(direction).speedLimit = bytesPerSecond;
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
        TransferRecord* record = FindById(id);
        if (record == nullptr) {
            return;
        }
        record->kicked = true;
    }
    m_clock.WakeAll(); // a paused kicked transfer reaches its next report (and fails) at once
}

void GuiTransferStatusAggregator::DispatchEvents(TransferStatusEventHandler& handler) {
    std::vector<int> added;
    std::vector<int> removed;
    {
        ScopedLock lock(m_lock);
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
    m_snapshot = m_records;
    for (TransferRecord& record : m_records) {
        record.changed = false;
    }
    // The GUI is up to date now: plain progress waits a full interval before notifying again.
    m_notifyPending = false;
    m_lastNotifyMs = m_clock.NowMs();
    return m_snapshot;
}

void GuiTransferStatusAggregator::RemoveAll() {
    bool due = false;
    {
        ScopedLock lock(m_lock);
        if (m_records.empty()) {
            return;
        }
        while (!m_records.empty()) {
            RemoveAt(m_records.size() - 1);
        }
        if (!m_notifyPending) {
            m_notifyPending = true;
            due = true;
        }
    }
    NotifyIf(due);
}

TransferKey GuiTransferStatusAggregator::KeyOfTransferId(int id) {
    ScopedLock lock(m_lock);
    const TransferRecord* record = FindById(id);
    return record == nullptr ? nullptr : record->key;
}

void GuiTransferStatusAggregator::SetTransferLimit(int id, int direction, int64_t bytesPerSecond) {
    if (!IsDirection(direction)) {
        return;
    }
    ScopedLock lock(m_lock);
    if (TransferRecord* record = FindById(id)) {
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
    const TransferRecord* record = FindById(id);
    return record == nullptr ? kNoLimit : record->Side(direction).speedLimit;
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
    for (size_t i = 0; i < m_records.size(); ++i) {
        TransferRecord& record = m_records[i];
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
            m_records[clients[c].transfers[t].index].Side(direction).speedLimit = shares[t];
        }
    }
}

} // namespace Vuxo
