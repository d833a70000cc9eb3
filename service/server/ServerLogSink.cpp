#include "service/server/ServerLogSink.h"

#include "core/log/Trace.h"
#include "core/text/StringHelpers.h"
#include "core/text/TextEscaping.h"
#include "core/text/Utf8.h"
#include "service/config/QuilloConfig.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ctime>

namespace Vuxo {

namespace {

// Appends `text`, its line ends made CR LF, so the file reads the same everywhere.
void AppendWithCrLf(std::string& out, std::string_view text) {
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string_view::npos; start = end + 1) {
        out.append(text, start, end - start);
        out.append(end == 0 || text[end - 1] != '\r' ? "\r\n" : "\n");
    }
    out.append(text, start);
}

// One entry is one line: names, paths and user names from requests reach entries of every level but
// LOG_ALERT, so a line break in them must never forge a line of its own. Alerts are the program's own
// texts for a message box and keep their line breaks. `storage` holds the escaped text when one is needed.
std::string_view OneLineEntry(int level, std::string_view text, std::string& storage) {
    if (level == LOG_ALERT || !HasControlCharacter(text)) {
        return text;
    }
    storage = EscapeControlCharacters(text);
    return storage;
}

uint64_t NewSinkId() {
    static std::atomic<uint64_t> last{0};
    return last.fetch_add(1) + 1;
}

// What one thread last used: the local time of one second with its prefix (any sink), and one sink's day
// file with the generation and date it was taken for.
struct ThreadLogCache {
    std::time_t second = -1;
    std::tm localTime{};
    std::string prefix;

    uint64_t sinkId = 0;
    uint64_t fileGeneration = 0;
    int year = -1;
    int month = -1;
    int day = -1;
    std::shared_ptr<FileDescriptor> file;
    std::string record; // the file line being built, kept for its storage
};

thread_local ThreadLogCache t_logCache;

} // namespace

struct ServerLogSink::Entry {
    std::tm localTime{};
    char prefixBytes[48] = {};
    std::string_view prefix;

    void SetPrefix(std::string_view text) {
        const size_t length = std::min(text.size(), sizeof prefixBytes);
        std::copy_n(text.data(), length, prefixBytes);
        prefix = std::string_view(prefixBytes, length);
    }
};

ServerLogSink::ServerLogSink(QuilloConfig& config, const std::string& programFolder, LogQueue& queue)
    : m_config(config), m_queue(queue), m_id(NewSinkId()), m_dayFile(programFolder + "/Log"),
      m_appender([this](const std::shared_ptr<FileDescriptor>& file) { DropFile(file); }) {}

void ServerLogSink::SetAlertCallback(AlertCallback callback) {
    ScopedLock lock(m_alertLock);
    m_alert = std::move(callback);
}

void ServerLogSink::SetTimeSource(TimeSource source) {
    std::lock_guard<std::mutex> lock(m_fileLock);
    m_hasTimeSource.store(static_cast<bool>(source));
    m_timeSource = std::move(source);
}

void ServerLogSink::Install() {
    SetTraceCallbacks(&ServerLogSink::OnTrace, &ServerLogSink::OnTraceBatch, this);
    m_installed = true;
}

void ServerLogSink::Uninstall() {
    if (m_installed) {
        SetTraceCallback(nullptr, nullptr);
        m_installed = false;
    }
}

void ServerLogSink::OnTrace(void* context, int level, const char* text) {
    static_cast<ServerLogSink*>(context)->WriteLog(level, std::string_view(text != nullptr ? text : ""));
}

std::string ServerLogSink::FormatPrefix(const std::tm& localTime) {
    char prefix[48];
    std::snprintf(prefix, sizeof prefix, "[%02d/%02d %02d:%02d:%02d] ", localTime.tm_mon + 1,
                  localTime.tm_mday, localTime.tm_hour, localTime.tm_min, localTime.tm_sec);
    return prefix;
}

void ServerLogSink::TimeOfEntry(Entry& entry) {
    if (m_hasTimeSource.load()) {
        std::lock_guard<std::mutex> lock(m_fileLock);
        if (m_timeSource) {
            entry.localTime = m_timeSource();
            entry.SetPrefix(FormatPrefix(entry.localTime));
            return;
        }
    }
    // localtime_r takes the C library's time-zone lock, so each thread converts once a second.
    ThreadLogCache& cache = t_logCache;
    const std::time_t now = std::time(nullptr);
    if (now != cache.second) {
        localtime_r(&now, &cache.localTime);
        cache.prefix = FormatPrefix(cache.localTime);
        cache.second = now;
    }
    entry.localTime = cache.localTime;
    entry.SetPrefix(cache.prefix);
}

const FileDescriptor* ServerLogSink::FileOfEntry(const Entry& entry) {
    ThreadLogCache& cache = t_logCache;
    const std::tm& date = entry.localTime;
    const uint64_t generation = m_fileGeneration.load(std::memory_order_acquire);
    if (cache.file && cache.sinkId == m_id && cache.fileGeneration == generation &&
        cache.year == date.tm_year && cache.month == date.tm_mon && cache.day == date.tm_mday) {
        return cache.file.get(); // the cache keeps it open; no count moves on a line every thread shares
    }
    std::shared_ptr<FileDescriptor> file;
    uint64_t taken;
    {
        std::lock_guard<std::mutex> lock(m_fileLock);
        const std::shared_ptr<FileDescriptor> before = m_dayFile.CurrentFile();
        file = m_dayFile.FileFor(date);
        if (file != before) {
            m_fileGeneration.fetch_add(1, std::memory_order_release);
        }
        taken = m_fileGeneration.load(std::memory_order_relaxed);
    }
    cache.sinkId = m_id;
    cache.fileGeneration = taken;
    cache.year = date.tm_year;
    cache.month = date.tm_mon;
    cache.day = date.tm_mday;
    cache.file = std::move(file);
    return cache.file.get();
}

void ServerLogSink::DropFile(const std::shared_ptr<FileDescriptor>& file) {
    // Every thread's cached file goes stale with the generation; the failed one closes with its last holder.
    std::lock_guard<std::mutex> lock(m_fileLock);
    m_dayFile.Drop(file);
    m_fileGeneration.fetch_add(1, std::memory_order_release);
}

void ServerLogSink::WriteLog(int level, const std::u16string& text) {
    WriteLog(level, std::string_view(WideToUtf8(text)));
}

void ServerLogSink::WriteLog(int level, std::string_view utf8Text) {
    const TraceEntry entry{level, utf8Text};
    WriteEntries(&entry, 1);
}

void ServerLogSink::OnTraceBatch(void* context, const TraceEntry* entries, size_t count) {
    static_cast<ServerLogSink*>(context)->WriteEntries(entries, count, true);
}

void ServerLogSink::WriteEntries(const TraceEntry* entries, size_t count, bool mayGather) {
    // The file lines of one date leave in one record: the file cannot change between them, as only
    // another date moves the thread's cached file within the call (recordFile is that file).
    std::string& record = t_logCache.record;
    record.clear();
    const FileDescriptor* recordFile = nullptr;
    std::tm recordDate{};
    const auto WriteOut = [&] {
        if (!record.empty()) {
            m_appender.Append(t_logCache.file, record, mayGather);
        }
        if (record.capacity() > 4096) {
            std::string().swap(record); // one long entry does not keep its storage on every thread
        }
        record.clear();
    };
    const bool toFile = m_config.writeLog.load();
    for (size_t i = 0; i < count; ++i) {
        const int level = entries[i].level;
        std::string escaped;
        const std::string_view utf8Text = OneLineEntry(level, entries[i].text, escaped);
        Entry entry;
        TimeOfEntry(entry);
        if (level != LOG_DEBUG && toFile) {
            const std::tm& date = entry.localTime;
            if (!record.empty() && (date.tm_year != recordDate.tm_year || date.tm_mon != recordDate.tm_mon ||
                                    date.tm_mday != recordDate.tm_mday)) {
                WriteOut();
            }
            if (record.empty()) {
                recordFile = FileOfEntry(entry);
                recordDate = date;
            }
            if (recordFile) {
                // Bytes that are not UTF-8 (a hostile request path) reach the file as U+FFFD, as in the view.
                record.append(entry.prefix);
                AppendWithCrLf(record, IsValidUtf8(utf8Text)
                                           ? utf8Text
                                           : std::string_view(WideToUtf8(Utf8ToWide(utf8Text))));
                record.append("\r\n");
            }
        }
        ShowEntry(level, entry, utf8Text);
    }
    WriteOut();
}

void ServerLogSink::ShowEntry(int level, const Entry& entry, std::string_view utf8Text) {
    // The view's line: the prefix (ASCII) and the text decoded in one go.
    std::u16string line(entry.prefix.size() + utf8Text.size(), u'\0');
    std::copy(entry.prefix.begin(), entry.prefix.end(), line.begin());
    line.resize(entry.prefix.size() +
                Utf8Decode(line.data() + entry.prefix.size(), utf8Text.data(), utf8Text.size()));
    if (level == LOG_ALERT) {
        const std::u16string text = line.substr(entry.prefix.size());
        m_queue.Push(level, std::move(line));
        ScopedLock lock(m_alertLock);
        if (m_alert) {
            m_alert(text);
        }
        return;
    }
    m_queue.Push(level, std::move(line));
}

} // namespace Vuxo
