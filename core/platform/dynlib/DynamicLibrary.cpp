#include "core/platform/dynlib/DynamicLibrary.h"

#include <dlfcn.h>
#include <utility>

namespace Vuxo {

namespace {

// The loader's text for the last failure of this thread, or `fallback` when it gave none.
std::string TakeLoaderError(const char* fallback) {
    const char* text = dlerror();
    return text != nullptr ? std::string(text) : std::string(fallback);
}

} // namespace

DynamicLibrary::~DynamicLibrary() {
    Close();
}

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
    : m_handle(std::exchange(other.m_handle, nullptr)), m_error(std::move(other.m_error)) {}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
    if (this != &other) {
        Close();
        m_handle = std::exchange(other.m_handle, nullptr);
        m_error = std::move(other.m_error);
    }
    return *this;
}

bool DynamicLibrary::Open(const std::string& path) {
    Close();
    m_error.clear();
    if (path.empty() || path.find('\0') != std::string::npos) {
        m_error = "invalid library path";
        return false;
    }
    dlerror(); // forget an older failure so the text below belongs to this call
    m_handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (m_handle == nullptr) {
        m_error = TakeLoaderError("the library could not be loaded");
        return false;
    }
    return true;
}

void* DynamicLibrary::FindSymbol(const char* name) {
    if (m_handle == nullptr || name == nullptr) {
        m_error = "no library is open";
        return nullptr;
    }
    dlerror();
    void* address = dlsym(m_handle, name);
    if (address == nullptr) {
        // A symbol may legitimately sit at address 0 only in exotic cases; for exports of functions a null
        // address always means "missing".
        m_error = TakeLoaderError("the symbol is missing");
    }
    return address;
}

bool DynamicLibrary::Close() {
    if (m_handle == nullptr) {
        return true;
    }
    void* handle = std::exchange(m_handle, nullptr);
    dlerror();
    if (dlclose(handle) != 0) {
        m_error = TakeLoaderError("the library could not be released");
        return false;
    }
    return true;
}

} // namespace Vuxo
