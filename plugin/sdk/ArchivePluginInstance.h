// The identity the archive plug-ins share: the same author and version, an action on the selected entries
// that needs the list and download rights. Only the name differs from one archive format to another.
// Owned by the exports like every plug-in instance (PluginInstance.h); read-only, so no lock.
#pragma once

#include "plugin/sdk/PluginApi.h"
#include "plugin/sdk/PluginInstance.h"

namespace Vuxo {

class ArchivePluginDllInstance : public CorvantaPluginDllInstance {
public:
    // `name` is a static UTF-8 text.
    explicit ArchivePluginDllInstance(const char* name) : m_name(name) {}

    const char* GetPlugInName() const override { return m_name; }
    const char* GetPlugInAuthor() const override { return "corvanta@quillo.example"; }
    const char* GetPlugInVersion() const override { return "0.3"; }
    int GetPlugInType() const override { return CORVANTA_PLUGIN_TYPE_ACTION; }
    const char* GetRequiredAuthority() const override { return "LD"; }

private:
    const char* m_name;
};

} // namespace Vuxo
