#include "service/upload/UploadStatusTable.h"

#include "core/transfer/Clock.h"

namespace Vuxo {

bool IsUploadStatusStale(const UploadStatusEntry& entry, int64_t nowMs) {
    return nowMs - entry.lastUpdate > kUploadStatusStaleMs;
}

int64_t UploadStatusWaitMs(const UploadStatusEntry& entry) {
    return entry.state == UploadStatusEntry::kRunning ? 3000 : 0;
}

UploadStatusTable::UploadStatusTable(Clock& clock) : m_clock(clock) {}

UploadStatusTable& UploadStatusTable::GetInstance() {
    // Never destroyed: a connection thread may still report while the program exits.
    static UploadStatusTable* table = new UploadStatusTable(SteadyClock::Instance());
    return *table;
}

int64_t UploadStatusTable::NowMs() const {
    return m_clock.NowMs();
}

UploadStatusEntry& UploadStatusTable::Touch(const std::string& key, int64_t now) {
    auto [entry, made] = m_entries.try_emplace(key);
    if (made) {
        entry->second.startTick = now;
        entry->second.lastUpdate = now;
    }
    return entry->second;
}

void UploadStatusTable::Start(const std::string& key, const std::string& fileName, int64_t total) {
    const int64_t now = NowMs();
    ScopedLock lock(m_lock);
    PurgeStaleLocked(now);
    UploadStatusEntry& entry = Touch(key, now);
    entry.fileName = fileName;
    entry.received = 0;
    entry.total = total;
    entry.lastUpdate = now;
    entry.state = UploadStatusEntry::kRunning;
}

void UploadStatusTable::Progress(const std::string& key, int64_t received) {
    const int64_t now = NowMs();
    ScopedLock lock(m_lock);
    UploadStatusEntry& entry = Touch(key, now);
    entry.received = received;
    entry.lastUpdate = now;
}

void UploadStatusTable::Finish(const std::string& key, bool success) {
    const int64_t now = NowMs();
    ScopedLock lock(m_lock);
    UploadStatusEntry& entry = Touch(key, now);
    entry.state = success ? UploadStatusEntry::kFinished : UploadStatusEntry::kFailed;
    entry.lastUpdate = now;
}

void UploadStatusTable::PurgeStale() {
    const int64_t now = NowMs();
    ScopedLock lock(m_lock);
    PurgeStaleLocked(now);
}

void UploadStatusTable::PurgeStaleLocked(int64_t now) {
    std::erase_if(m_entries, [now](const auto& item) { return IsUploadStatusStale(item.second, now); });
}

bool UploadStatusTable::Find(const std::string& key, UploadStatusEntry& entry) const {
    ScopedLock lock(m_lock);
    auto found = m_entries.find(key);
    if (found == m_entries.end()) {
        return false;
    }
    entry = found->second;
    return true;
}

size_t UploadStatusTable::GetCount() const {
    ScopedLock lock(m_lock);
    return m_entries.size();
}

void UploadStatusStart(const std::string& key, const std::string& fileName, int64_t total) {
    UploadStatusTable::GetInstance().Start(key, fileName, total);
}

void UploadStatusProgress(const std::string& key, int64_t received) {
    UploadStatusTable::GetInstance().Progress(key, received);
}

void UploadStatusFinish(const std::string& key, bool success) {
    UploadStatusTable::GetInstance().Finish(key, success);
}

void PurgeStaleUploadStatus() {
    UploadStatusTable::GetInstance().PurgeStale();
}

} // namespace Vuxo
