// An owned handle of a shared library loaded at run time: dlopen with RTLD_NOW | RTLD_LOCAL, symbols found
// by name with dlsym, dlclose when the object goes. The loader's error text of the last failed call is
// kept, so the caller can log why a library could not be used.
// Moved but never copied; one owner at a time, no lock. The dynamic loader counts opens of one file, so
// two objects over the same file hold the same handle and the library stays mapped until both are closed.
#pragma once

#include <string>

namespace Vuxo {

class DynamicLibrary {
public:
    DynamicLibrary() = default;
    ~DynamicLibrary();

    DynamicLibrary(DynamicLibrary&& other) noexcept;
    DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // Closes a library already open, then loads `path` and resolves all its symbols now. A path without
    // "/" would be searched for in the system's library folders, so callers pass a path with a folder.
    // False (and GetError filled) when the loader refuses it.
    bool Open(const std::string& path);
    // The address of an exported symbol, or null (GetError filled) when it is missing or nothing is open.
    void* FindSymbol(const char* name);
    // Releases this object's reference; false when dlclose reports an error. Closing a closed object
    // succeeds.
    bool Close();

    bool IsOpen() const { return m_handle != nullptr; }
    // The loader's handle: equal for two objects that opened the same library file.
    void* GetHandle() const { return m_handle; }
    // What the loader said about the last failure ("" when nothing failed yet).
    const std::string& GetError() const { return m_error; }

private:
    void* m_handle = nullptr;
    std::string m_error;
};

} // namespace Vuxo
