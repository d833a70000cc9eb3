#include "service/server/ServerLogSink.h"

#include "core/log/Trace.h"
#include "core/text/TextEscaping.h"
#include "core/text/Utf8.h"
#include "service/config/QuilloConfig.h"

#include <cstdio>
#include <ctime>

namespace Vuxo {

namespace {

// Line ends inside an entry become CR LF as well, so the file reads the same everywhere.
std::string WithCrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
            out.push_back('\r');
        }
        out.push_back(text[i]);
    }
    return out;
}

// One entry is one line: names, paths and user names from requests reach entries of every level but
// LOG_ALERT, so a line break in them must never forge a line of its own. Alerts are the program's own
// texts for a message box and keep their line breaks.
std::string OneLineEntry(int level, std::string_view text) {
    return level == LOG_ALERT ? std::string(text) : EscapeControlCharacters(text);
}

} // namespace

ServerLogSink::ServerLogSink(QuilloConfig& config, const std::string& programFolder, LogQueue& queue)
    : m_config(config), m_queue(queue), m_dayFile(programFolder + "/Log") {}

void ServerLogSink::SetAlertCallback(AlertCallback callback) {
    ScopedLock lock(m_alertLock);
    m_alert = std::move(callback);
}

void ServerLogSink::SetTimeSource(TimeSource source) {
    std::lock_guard<std::mutex> lock(m_fileLock);
    m_timeSource = std::move(source);
}

void ServerLogSink::Install() {
    SetTraceCallback(&ServerLogSink::OnTrace, this);
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

std::tm ServerLogSink::TimeOfEntry() {
    if (m_timeSource) {
        return m_timeSource();
    }
    // localtime_r takes the C library's time-zone lock; every thread logs, so convert once a second.
    const std::time_t now = std::time(nullptr);
    if (now != m_cachedSecond) {
        localtime_r(&now, &m_cachedTime);
        m_cachedSecond = now;
    }
    return m_cachedTime;
}

void ServerLogSink::WriteLog(int level, const std::u16string& text) {
    WriteLog(level, std::string_view(WideToUtf8(text)));
}

void ServerLogSink::WriteLog(int level, std::string_view entryText) {
    const std::string escaped = OneLineEntry(level, entryText);
    const std::string_view utf8Text = escaped;
    const bool toFile = level != LOG_DEBUG && m_config.writeLog.load();
    std::tm now;
    std::shared_ptr<FileDescriptor> file;
    {
        std::lock_guard<std::mutex> lock(m_fileLock);
        now = TimeOfEntry();
        if (toFile) {
            file = m_dayFile.FileFor(now);
        }
    }
    const std::string prefix = FormatPrefix(now);
    const std::u16string wide = Utf8ToWide(utf8Text);
    if (file) {
        // Bytes that are not UTF-8 (a hostile request path) reach the file as U+FFFD, as in the view.
        std::string record =
            WithCrLf(prefix + (IsValidUtf8(utf8Text) ? std::string(utf8Text) : WideToUtf8(wide)));
        record.append("\r\n");
        if (!DayLogFile::WriteRecord(*file, record)) {
            std::lock_guard<std::mutex> lock(m_fileLock);
            m_dayFile.Drop(file);
        }
    }
    m_queue.Push(level, Utf8ToWide(prefix) + wide);
    if (level == LOG_ALERT) {
        ScopedLock lock(m_alertLock);
        if (m_alert) {
            m_alert(wide);
        }
    }
}

} // namespace Vuxo
