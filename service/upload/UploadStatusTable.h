// The progress of the uploads in flight, keyed by the random key that the upload form sends with its
// file and that the upload window then asks the progress page about. The upload (on its connection
// thread) creates and updates an entry; the progress page (on another) reads copies of it.
// GetInstance() is the program's one table (made on first use, never destroyed); tests build their own
// over a clock of their own. One CriticalSection guards the map; it is held only for single lookups and
// updates, never while anything is written to a connection or while anyone sleeps.
#pragma once

#include "core/thread/CriticalSection.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

namespace Vuxo {

class Clock;

struct UploadStatusEntry {
    static constexpr int kRunning = 0;
    static constexpr int kFinished = 1;
    static constexpr int kFailed = 2;

    int state = kRunning;
    std::string fileName;   // as the client sent it (UTF-8)
    int64_t lastUpdate = 0; // clock milliseconds of the last change
    int64_t received = 0;   // bytes of the file written so far
    int64_t total = 0;      // the request's Content-Length, 0 without one
    int64_t startTick = 0;  // clock milliseconds when the entry was made
};

// An entry not changed for longer than this is stale: purged, and no longer waited for.
constexpr int64_t kUploadStatusStaleMs = 60000;

// True when the entry was last changed more than kUploadStatusStaleMs before `nowMs`.
bool IsUploadStatusStale(const UploadStatusEntry& entry, int64_t nowMs);
// How long the progress page waits before it looks again: 3000 ms while the upload runs, else 0.
int64_t UploadStatusWaitMs(const UploadStatusEntry& entry);

class UploadStatusTable {
public:
    // The clock is not owned and must outlive the table.
    explicit UploadStatusTable(Clock& clock);
    UploadStatusTable(const UploadStatusTable&) = delete;
    UploadStatusTable& operator=(const UploadStatusTable&) = delete;

    // The program's table, on the steady clock.
    static UploadStatusTable& GetInstance();

    // Each of the three updates makes the entry (every field empty, startTick now) when the key is new.
    // Start also purges the stale entries first, so keys of uploads nobody watched do not pile up.
    void Start(const std::string& key, const std::string& fileName, int64_t total);
    void Progress(const std::string& key, int64_t received);
    void Finish(const std::string& key, bool success);

    // Removes every stale entry.
    void PurgeStale();
    // A copy of the entry; false when there is none.
    bool Find(const std::string& key, UploadStatusEntry& entry) const;
    size_t GetCount() const;

    Clock& GetClock() const { return m_clock; }
    int64_t NowMs() const;

private:
    // The entry of the key, made when missing; the lock must be held.
    UploadStatusEntry& Touch(const std::string& key, int64_t now);
    void PurgeStaleLocked(int64_t now);

    Clock& m_clock;
    mutable CriticalSection m_lock;
    std::map<std::string, UploadStatusEntry> m_entries;
};

// The updates of the program's table, as the upload calls them.
void UploadStatusStart(const std::string& key, const std::string& fileName, int64_t total);
void UploadStatusProgress(const std::string& key, int64_t received);
void UploadStatusFinish(const std::string& key, bool success);
void PurgeStaleUploadStatus();

} // namespace Vuxo
