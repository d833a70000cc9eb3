#include "service/server/ServerLogSink.h"

#include "core/log/Trace.h"
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

} // namespace

ServerLogSink::ServerLogSink(QuilloConfig& config, const std::string& programFolder, LogQueue& queue)
    : m_config(config), m_queue(queue), m_dayFile(programFolder + "/Log"),
      m_timeSource(&ServerLogSink::LocalTimeNow) {}

void ServerLogSink::SetAlertCallback(AlertCallback callback) {
    ScopedLock lock(m_alertLock);
    m_alert = std::move(callback);
}

void ServerLogSink::SetTimeSource(TimeSource source) {
    std::lock_guard<std::mutex> lock(m_fileLock);
    m_timeSource = source ? std::move(source) : TimeSource(&ServerLogSink::LocalTimeNow);
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
    static_cast<ServerLogSink*>(context)->WriteLog(level, Utf8ToWide(text != nullptr ? text : ""));
}

std::tm ServerLogSink::LocalTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

std::string ServerLogSink::FormatPrefix(const std::tm& localTime) {
    char prefix[48];
    std::snprintf(prefix, sizeof prefix, "[%02d/%02d %02d:%02d:%02d] ", localTime.tm_mon + 1,
                  localTime.tm_mday, localTime.tm_hour, localTime.tm_min, localTime.tm_sec);
    return prefix;
}

void ServerLogSink::WriteLog(int level, const std::u16string& text) {
    std::u16string line;
    {
        std::lock_guard<std::mutex> lock(m_fileLock);
        const std::tm now = m_timeSource();
        const std::string prefix = FormatPrefix(now);
        line = Utf8ToWide(prefix) + text;
        if (level != LOG_DEBUG && m_config.writeLog.load()) {
            m_dayFile.Append(now, WithCrLf(prefix + WideToUtf8(text)));
        }
    }
    m_queue.Push(level, std::move(line));
    if (level == LOG_ALERT) {
        ScopedLock lock(m_alertLock);
        if (m_alert) {
            m_alert(text);
        }
    }
}

} // namespace Vuxo
