#include "ProbeSupport.h"

#include <dlfcn.h>
#include <filesystem>
#include <system_error>

namespace Vuxo::PluginTesting {

std::string ProbeLibraryPath(const std::string& name) {
    return std::string(CORVANTA_PROBE_DIR) + "/" + name + "/" + name + ".so";
}

std::string ShippedPluginPath(const std::string& name) {
    return std::string(CORVANTA_PROGRAM_DIR) + "/plugin/" + name + "/" + name + ".so";
}

bool InstallPlugin(const std::string& programFolder, const std::string& libraryPath, const std::string& id) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path folder = fs::path(programFolder) / "plugin" / id;
    fs::create_directories(folder, error);
    if (error) {
        return false;
    }
    fs::create_symlink(libraryPath, folder / (id + ".so"), error);
    return !error;
}

ProbeHooks::ProbeHooks(const std::string& name) {
    m_handle = dlopen(ProbeLibraryPath(name).c_str(), RTLD_NOW | RTLD_LOCAL);
    Counters(m_initializeBase, m_finalizeBase);
}

ProbeHooks::~ProbeHooks() {
    if (m_handle != nullptr) {
        dlclose(m_handle);
    }
}

void* ProbeHooks::Symbol(const char* name) const {
    return m_handle != nullptr ? dlsym(m_handle, name) : nullptr;
}

void ProbeHooks::Counters(int& initializeCalls, int& finalizeCalls) const {
    initializeCalls = -1;
    finalizeCalls = -1;
    if (auto* counters = reinterpret_cast<void (*)(int*, int*)>(Symbol("ProbeCounters"))) {
        counters(&initializeCalls, &finalizeCalls);
    }
}

int ProbeHooks::InitializeCalls() const {
    int initializeCalls = 0;
    int finalizeCalls = 0;
    Counters(initializeCalls, finalizeCalls);
    return initializeCalls - m_initializeBase;
}

int ProbeHooks::FinalizeCalls() const {
    int initializeCalls = 0;
    int finalizeCalls = 0;
    Counters(initializeCalls, finalizeCalls);
    return finalizeCalls - m_finalizeBase;
}

bool ProbeHooks::IsStarted() const {
    auto* started = reinterpret_cast<int (*)()>(Symbol("ProbeIsStarted"));
    return started != nullptr && started() != 0;
}

bool ProbeHooks::WaitBlocked() const {
    auto* wait = reinterpret_cast<int (*)()>(Symbol("ProbeWaitBlocked"));
    return wait != nullptr && wait() != 0;
}

void ProbeHooks::Release(bool released) const {
    if (auto* release = reinterpret_cast<void (*)(int)>(Symbol("ProbeRelease"))) {
        release(released ? 1 : 0);
    }
}

bool ProbeHooks::WaitFinalized(int count) const {
    auto* wait = reinterpret_cast<int (*)(int)>(Symbol("ProbeWaitFinalized"));
    return wait != nullptr && wait(m_finalizeBase + count) != 0;
}

} // namespace Vuxo::PluginTesting
