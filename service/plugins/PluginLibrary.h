// One plug-in library in memory: the loaded file, its exports bound by name, started once with the host
// table (Initialize) and stopped once (Finalize) just before the last user lets it go.
//
// Records of the registry share a library through std::shared_ptr, and so do requests that still run a
// plug-in after a reload or unload took it out of the registry: the library is finalized and closed by
// whoever drops the last reference, on whatever thread that is.
//
// The dynamic loader hands out one handle per library file however often it is opened. So that a reload
// while an old request is still running does not start the same module twice (and the old copy's
// Finalize then stop the new one), a process-wide table maps every live handle to its one PluginLibrary;
// loading a file whose library is still alive returns that library. The table's mutex is held while a
// library is loaded, initialized, finalized and closed, so those steps never overlap for one file.
#pragma once

#include "core/platform/dynlib/DynamicLibrary.h"
#include "plugin/sdk/PluginApi.h"

#include <memory>
#include <string>
#include <utility>

namespace Vuxo {

// The bound exports. All are set for a loaded library; getRequiredAuthority is DefaultRequiredAuthority
// when the library lacks that export.
struct PluginExports {
    CorvantaGetTextFunction getAuthor = nullptr;
    CorvantaGetTextFunction getName = nullptr;
    CorvantaGetTextFunction getVersion = nullptr;
    CorvantaGetTypeFunction getType = nullptr;
    CorvantaInitializeFunction initialize = nullptr;
    CorvantaFinalizeFunction finalize = nullptr;
    CorvantaOnRequestFunction onRequest = nullptr;
    CorvantaGetTextFunction getRequiredAuthority = nullptr;
};

// What the host assumes of a library that does not say which rights its plug-in needs: "LD".
extern "C" const char* DefaultRequiredAuthority(void);

class PluginLibrary {
public:
    // Loads `path`, binds the seven required exports in the order Author, Name, Version, Type,
    // Initialize, Finalize, OnRequest (the first missing one is a failure), then the optional
    // GetRequiredAuthority, and calls Initialize with the host table. Null, with `error` saying why (the
    // loader's text), on failure; a failed library is finalized when Finalize was bound, then closed.
    static std::shared_ptr<PluginLibrary> Load(const std::string& path, std::string& error);

    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    const PluginExports& GetExports() const { return m_exports; }

private:
    struct Deleter;
    PluginLibrary(DynamicLibrary library, const PluginExports& exports)
        : m_library(std::move(library)), m_exports(exports) {}
    ~PluginLibrary() = default;

    DynamicLibrary m_library;
    PluginExports m_exports;
};

} // namespace Vuxo
