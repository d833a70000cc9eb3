// Test support for the plug-in host: where the probe plug-ins and the shipped plug-ins are built, putting
// one into a program folder's "plugin" folder, the probe's own counters and request gate (read through a
// second dlopen of the same file, which the loader maps to the same module), and a trace collector.
#pragma once

#include "core/log/Trace.h"

#include <mutex>
#include <string>
#include <vector>

namespace Vuxo::PluginTesting {

// <build>/tests/plugin-probes/<name>/<name>.so
std::string ProbeLibraryPath(const std::string& name);
// <program folder of the build>/plugin/<name>/<name>.so
std::string ShippedPluginPath(const std::string& name);

// Makes <programFolder>/plugin/<id>/ and links <id>.so there to `libraryPath`; false on failure.
bool InstallPlugin(const std::string& programFolder, const std::string& libraryPath, const std::string& id);

class ProbeHooks {
public:
    explicit ProbeHooks(const std::string& name);
    ~ProbeHooks();
    ProbeHooks(const ProbeHooks&) = delete;
    ProbeHooks& operator=(const ProbeHooks&) = delete;

    bool IsOpen() const { return m_handle != nullptr; }
    // Calls since this object was made (the module may stay mapped across tests of one process, so its
    // own counters start wherever an earlier test left them).
    int InitializeCalls() const;
    int FinalizeCalls() const;
    // Between Initialize and Finalize.
    bool IsStarted() const;
    // Waits (bounded) until a request is held inside OnRequest; false when none came.
    bool WaitBlocked() const;
    void Release(bool released) const;
    // Waits (bounded) until Finalize ran `count` times since this object was made.
    bool WaitFinalized(int count) const;

private:
    void* Symbol(const char* name) const;
    void Counters(int& initializeCalls, int& finalizeCalls) const;
    void* m_handle = nullptr;
    int m_initializeBase = 0;
    int m_finalizeBase = 0;
};

// Collects trace lines while it lives (the callback may run on any thread).
class TraceLog {
public:
    struct Line {
        int level;
        std::string text;
    };
    TraceLog();
    ~TraceLog();
    TraceLog(const TraceLog&) = delete;
    TraceLog& operator=(const TraceLog&) = delete;

    std::vector<Line> Lines() const;
    // The lines of that level that contain `text`.
    int Count(int level, const std::string& text) const;
    std::string Dump() const;

private:
    static void Collect(void* context, int level, const char* text);
    mutable std::mutex m_mutex;
    std::vector<Line> m_lines;
};

} // namespace Vuxo::PluginTesting
