// Collects the trace lines (level and text) written while it lives, for the service tests of skins, MIME
// types, built-in files and pages. One per test; the callback may run on any thread.
#pragma once

#include "core/log/Trace.h"

#include <mutex>
#include <string>
#include <vector>

namespace Vuxo::Testing {

class TraceLog {
public:
    struct Line {
        int level;
        std::string text;
    };

    TraceLog() {
        SetTraceMask(0x7fffffff);
        SetTraceCallback(&TraceLog::Collect, this);
    }
    ~TraceLog() { SetTraceCallback(nullptr, nullptr); }
    TraceLog(const TraceLog&) = delete;
    TraceLog& operator=(const TraceLog&) = delete;

    // True when a line of that level holds the text.
    bool Has(int level, const std::string& text) const {
        std::lock_guard<std::mutex> guard(m_mutex);
        for (const Line& line : m_lines) {
            if (line.level == level && line.text.find(text) != std::string::npos) {
                return true;
            }
        }
        return false;
    }
    int Count(int level) const {
        std::lock_guard<std::mutex> guard(m_mutex);
        int count = 0;
        for (const Line& line : m_lines) {
            count += line.level == level;
        }
        return count;
    }
    std::string Dump() const {
        std::lock_guard<std::mutex> guard(m_mutex);
        std::string text;
        for (const Line& line : m_lines) {
            text += std::to_string(line.level) + ": " + line.text + "\n";
        }
        return text;
    }

private:
    static void Collect(void* context, int level, const char* text) {
        auto* self = static_cast<TraceLog*>(context);
        std::lock_guard<std::mutex> guard(self->m_mutex);
        self->m_lines.push_back({level, text});
    }

    mutable std::mutex m_mutex;
    std::vector<Line> m_lines;
};

} // namespace Vuxo::Testing
