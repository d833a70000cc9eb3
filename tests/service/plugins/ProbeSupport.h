// Test support for the plug-in host: where the probe plug-ins and the shipped plug-ins are built, putting
// one into a program folder's "plugin" folder, the probe's own counters and request gate (read through a
// second dlopen of the same file, which the loader maps to the same module).
#pragma once

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

} // namespace Vuxo::PluginTesting
