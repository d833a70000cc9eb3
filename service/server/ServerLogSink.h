// The program's log sink: every trace entry whose level passes the mask arrives here, on whatever thread
// wrote it. Each entry gets the prefix "[MM/DD hh:mm:ss] " of the local time, goes to the day log file
// (when `writeLog` is on and the level is not 1) and to the log queue that the log view shows; a
// LOG_ALERT entry is also handed, without the prefix, to the alert callback, which the shell installs to
// show a message box on its GUI thread.
// Owned by the server object. Every line is formatted without a lock, each thread keeping the open file
// and the local time of the current second in a cache of its own, and written through the log appender,
// one writer at a time. One lock guards the day file's state and the time source; it is taken only
// when a thread's cached file is stale (another day, or the file was reopened: the file generation moved)
// or a time source is set. Another lock guards the alert callback, which is called while that lock is
// held, so once SetAlertCallback returns the old callback is no longer in use.
#pragma once

#include "core/log/LogQueue.h"
#include "core/log/TraceBatch.h"
#include "core/thread/CriticalSection.h"
#include "service/server/DayLogFile.h"
#include "service/server/LogAppender.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace Vuxo {

class QuilloConfig;

class ServerLogSink {
public:
    // Receives the text of a LOG_ALERT entry. Called on the thread that logged; it must hand the text to
    // the GUI thread and return, and must not log itself.
    using AlertCallback = std::function<void(const std::u16string& text)>;
    // The local time of an entry; tests give their own (none: the system clock).
    using TimeSource = std::function<std::tm()>;

    ServerLogSink(QuilloConfig& config, const std::string& programFolder,
                  LogQueue& queue = LogQueue::GetInstance());

    void SetAlertCallback(AlertCallback callback);
    void SetTimeSource(TimeSource source);

    // Installs OnTrace as the process's trace callback (with this sink as its context) / removes it.
    void Install();
    void Uninstall();

    // The trace callbacks: `context` is the sink.
    static void OnTrace(void* context, int level, const char* text);
    static void OnTraceBatch(void* context, const TraceEntry* entries, size_t count);
    // Writes one entry: file, queue, alert.
    void WriteLog(int level, const std::u16string& text);
    void WriteLog(int level, std::string_view utf8Text);
    // Writes entries in order as WriteLog does, their file lines of one date in one write. `mayGather`:
    // the caller holds no lock and may be held up a moment (held entries, delivered before the thread
    // waits on a peer or at the end of its batch), so that under load the file's lines leave together.
    void WriteEntries(const TraceEntry* entries, size_t count, bool mayGather = false);

    // "[MM/DD hh:mm:ss] ".
    static std::string FormatPrefix(const std::tm& localTime);

private:
    struct Entry;
    // The entry's local time and prefix: the time source's, or the clock's (converted once a second on
    // each thread).
    void TimeOfEntry(Entry& entry);
    // The open file of the entry's date, from the thread's cache when it is current (the cache keeps it
    // open); null when it cannot be opened.
    const FileDescriptor* FileOfEntry(const Entry& entry);
    // A write to `file` failed: the next entry reopens.
    void DropFile(const std::shared_ptr<FileDescriptor>& file);
    // The entry's line in the log queue, and an alert's callback.
    void ShowEntry(int level, const Entry& entry, std::string_view utf8Text);

    QuilloConfig& m_config;
    LogQueue& m_queue;
    const uint64_t m_id; // tells this sink's entries in the threads' caches from another's
    std::mutex m_fileLock;
    DayLogFile m_dayFile;
    // Moves whenever the day file is opened anew or dropped; a thread's cached file is current while
    // it holds the value it was taken with.
    std::atomic<uint64_t> m_fileGeneration{0};
    TimeSource m_timeSource; // empty: the clock
    std::atomic<bool> m_hasTimeSource{false};
    CriticalSection m_alertLock;
    AlertCallback m_alert;
    bool m_installed = false;
    // Last, so that it is gone (its queue written) before the day file and its lock it reports to.
    LogAppender m_appender;
};

} // namespace Vuxo
