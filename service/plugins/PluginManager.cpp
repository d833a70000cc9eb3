#include "service/plugins/PluginManager.h"

#include "core/file/FindFileIterator.h"
#include "core/i18n/LocalizationStringTable.h"
#include "core/log/Trace.h"
#include "core/text/StringHelpers.h"
#include "service/accounts/AuthoritySet.h"

#include <utility>

namespace Vuxo {

PluginManager::PluginManager() = default;

PluginManager::~PluginManager() {
    UnloadAll();
}

PluginManager& PluginManager::GetInstance() {
    static PluginManager manager;
    return manager;
}

bool PluginManager::LoadPlugin(const std::string& path, std::string* error) {
    auto record = std::make_shared<PluginRecord>();
    if (!record->Load(path)) {
        if (error != nullptr) {
            *error = record->GetLoadError();
        }
        return false;
    }
    {
        ScopedLock lock(m_lock);
        const auto [position, inserted] = m_plugins.emplace(record->GetId(), record);
        if (inserted) {
            return true;
        }
    }
    // `record` is released here, outside the lock.
    if (error != nullptr) {
        *error = "a plug-in with the id \"" + record->GetId() + "\" is loaded already";
    }
    return false;
}

void PluginManager::UnloadAll() {
    PluginMap released;
    {
        ScopedLock lock(m_lock);
        released.swap(m_plugins);
    }
    // In id order, and outside the lock: Finalize runs here for every plug-in no request holds.
    for (auto& [id, record] : released) {
        record.reset();
    }
}

bool PluginManager::HasPlugin(const std::string& id) const {
    ScopedLock lock(m_lock);
    return m_plugins.count(id) != 0;
}

std::shared_ptr<const PluginRecord> PluginManager::GetPlugin(const std::string& id) const {
    ScopedLock lock(m_lock);
    const auto found = m_plugins.find(id);
    return found != m_plugins.end() ? found->second : nullptr;
}

std::vector<std::shared_ptr<const PluginRecord>> PluginManager::Snapshot() const {
    ScopedLock lock(m_lock);
    std::vector<std::shared_ptr<const PluginRecord>> records;
    records.reserve(m_plugins.size());
    for (const auto& [id, record] : m_plugins) {
        records.push_back(record);
    }
    return records;
}

void PluginManager::ListPlugins(std::vector<PluginInfo>& out, const AuthoritySet* rights) const {
    out.clear();
    for (const std::shared_ptr<const PluginRecord>& record : Snapshot()) {
        if (record->HasRequiredAuthority(rights)) {
            out.push_back(PluginInfo{record->GetId(), record->GetName(), record->GetType()});
        }
    }
}

void LoadPlugins(const std::string& programFolder, PluginManager& manager) {
    manager.UnloadAll();
    const std::string pluginFolder = programFolder + "/plugin";
    for (const FindFileData& entry : FindFileRange(pluginFolder)) {
        if (!entry.IsDirectory()) {
            continue;
        }
        const std::string path = pluginFolder + "/" + entry.name + "/" + entry.name + ".so";
        Trace(LOG_NOTICE, Tr("플러그인 로드.. : %s"), path.c_str());
        std::string error;
        if (!manager.LoadPlugin(path, &error)) {
            const std::string line =
                FormatString(kTraceTextLimit + 1, Tr("플러그인 로드 실패 : %s"), path.c_str());
            Trace(LOG_WARNING, "%s (%s)", line.c_str(), error.c_str());
        }
    }
}

void UnloadPlugins(PluginManager& manager) {
    manager.UnloadAll();
}

} // namespace Vuxo
