// The eight exports of every plug-in library. Nothing thrown inside a plug-in leaves through them.
#include "plugin/sdk/PluginApi.h"
#include "plugin/sdk/PluginInstance.h"
#include "plugin/sdk/PluginModule.h"

#include <exception>

namespace {

HostApi g_hostTable{};
Vuxo::CorvantaPluginDllInstance* g_instance = nullptr;

void DestroyInstance() noexcept {
    delete g_instance;
    g_instance = nullptr;
}

} // namespace

namespace Vuxo {

const HostApi& GetHostTable() {
    return g_hostTable;
}

} // namespace Vuxo

extern "C" {

void* Initialize(const HostApi* api) {
    DestroyInstance(); // a second Initialize replaces the first instead of leaking it
    if (api == nullptr) {
        g_hostTable = HostApi{};
        return nullptr;
    }
    g_hostTable = *api;
    try {
        g_instance = Vuxo::CreatePluginDllInstance().release();
    } catch (...) {
        g_instance = nullptr;
    }
    return g_instance;
}

void Finalize(void) {
    DestroyInstance();
    g_hostTable = HostApi{};
}

// The identity exports are meant for the time between Initialize and Finalize; outside it they answer
// with empty values rather than crash.
const char* GetPlugInName(void) {
    return g_instance != nullptr ? g_instance->GetPlugInName() : "";
}

const char* GetPlugInAuthor(void) {
    return g_instance != nullptr ? g_instance->GetPlugInAuthor() : "";
}

const char* GetPlugInVersion(void) {
    return g_instance != nullptr ? g_instance->GetPlugInVersion() : "";
}

int GetPlugInType(void) {
    return g_instance != nullptr ? g_instance->GetPlugInType() : 0;
}

const char* GetRequiredAuthority(void) {
    return g_instance != nullptr ? g_instance->GetRequiredAuthority() : "LD";
}

int OnRequest(void* context) {
    if (g_instance == nullptr) {
        return 0;
    }
    try {
        return Vuxo::RunRequestProcessor(context);
    } catch (...) {
        return 0;
    }
}

} // extern "C"
