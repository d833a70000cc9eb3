// The plug-in registry: every loaded plug-in by id (ids compared byte by byte, listed in byte order),
// the lookups of the request processor and the plug-in rows of the folder pages, and the folder scan
// that fills it.
// GetInstance() is the program's one registry, made on first use and destroyed at exit (which releases
// every plug-in); tests build their own. One re-entrant lock guards the map. Connection threads look
// plug-ins up while the shell's reload and unload keys change the map: a lookup hands out a shared
// reference, so a plug-in taken out of the map stays loaded until the last request using it has ended.
// No plug-in code runs while the lock is held.
#pragma once

#include "core/thread/CriticalSection.h"
#include "service/plugins/PluginRecord.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace Vuxo {

class AuthoritySet;

// One row of a page's plug-in lists.
struct PluginInfo {
    std::string id;
    std::string name; // UTF-8, as the plug-in gives it
    int type = 0;     // CORVANTA_PLUGIN_TYPE_* bits
};

class PluginManager {
public:
    PluginManager();
    // Releases every plug-in that no request still uses.
    virtual ~PluginManager();
    PluginManager(const PluginManager&) = delete;
    PluginManager& operator=(const PluginManager&) = delete;

    static PluginManager& GetInstance();

    // Loads the library at `path` and registers it under its id. False, with `error` (when given) saying
    // why, when the library cannot be used or its id is taken already (the first plug-in of an id stays).
    bool LoadPlugin(const std::string& path, std::string* error = nullptr);
    // Takes every plug-in out of the registry, releasing them in id order (a plug-in still running for a
    // request is released when that request ends).
    void UnloadAll();

    bool HasPlugin(const std::string& id) const;
    // The plug-in of that id, or null.
    std::shared_ptr<const PluginRecord> GetPlugin(const std::string& id) const;
    // Clears `out`, then one row per plug-in, in id order, whose required rights `rights` hold.
    void ListPlugins(std::vector<PluginInfo>& out, const AuthoritySet* rights) const;

private:
    using PluginMap = std::map<std::string, std::shared_ptr<const PluginRecord>>;

    std::vector<std::shared_ptr<const PluginRecord>> Snapshot() const;

    mutable CriticalSection m_lock;
    PluginMap m_plugins;
};

// The folder scan: UnloadAll, then for every folder d of programFolder + "/plugin" the library
// "<programFolder>/plugin/<d>/<d>.so" is loaded (logged at LOG_NOTICE); a failure is logged at LOG_WARNING
// with the path and the loader's reason. Files directly in "plugin" are passed over.
void LoadPlugins(const std::string& programFolder, PluginManager& manager = PluginManager::GetInstance());

// Releases every plug-in of the registry (the shell's unload key).
void UnloadPlugins(PluginManager& manager = PluginManager::GetInstance());

} // namespace Vuxo
