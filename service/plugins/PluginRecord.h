// One plug-in of the registry: its id (the name of its library file without ".so", which is also the name
// of its folder), the absolute folder of the library, and the library itself with its bound exports.
// Made and loaded by PluginManager on the loading thread, then only read; shared through std::shared_ptr
// by the registry and by every request that runs the plug-in, so the library is released (Finalize,
// dlclose) by the last of them. Calls into the plug-in catch whatever it might throw.
#pragma once

#include "service/plugins/PluginLibrary.h"

#include <memory>
#include <string>

namespace Vuxo {

class AuthoritySet;

class PluginRecord {
public:
    PluginRecord() = default;
    PluginRecord(const PluginRecord&) = delete;
    PluginRecord& operator=(const PluginRecord&) = delete;

    // Loads the library at `path` (see PluginLibrary::Load) and takes id and folder from the path. False,
    // with GetLoadError saying why, when the library cannot be used; the record then holds nothing.
    bool Load(const std::string& path);
    const std::string& GetLoadError() const { return m_loadError; }
    bool IsLoaded() const { return m_library != nullptr; }

    // True when every letter of "LDUA" in the plug-in's required-rights text has its bit in `rights`;
    // other characters (lower-case letters included) ask for nothing, so "" and "ld" always pass. No
    // rights (null) hold no bit.
    bool HasRequiredAuthority(const AuthoritySet* rights) const;

    const std::string& GetId() const { return m_id; }
    // Absolute, without a trailing "/".
    const std::string& GetFolder() const { return m_folder; }

    // What the plug-in says of itself ("" or 0 when it answers nothing). Only for a loaded record.
    std::string GetName() const;
    std::string GetAuthor() const;
    std::string GetVersion() const;
    int GetType() const;
    std::string GetRequiredAuthority() const;

    // Runs the plug-in for one request; 0 when it threw (which a plug-in must never do).
    int OnRequest(void* context) const;

private:
    std::string m_id;
    std::string m_folder;
    std::string m_loadError;
    std::shared_ptr<PluginLibrary> m_library;
};

// The id a library path gives: its file name without a final ".so".
std::string PluginIdFromPath(const std::string& path);

} // namespace Vuxo
