#include "service/plugins/PluginRecord.h"

#include "service/accounts/AuthoritySet.h"

#include <filesystem>
#include <system_error>

namespace Vuxo {

namespace {

std::string CallText(CorvantaGetTextFunction function) {
    try {
        const char* text = function != nullptr ? function() : nullptr;
        return text != nullptr ? std::string(text) : std::string();
    } catch (...) {
        return std::string();
    }
}

// The absolute folder of the library, without a trailing "/".
std::string LibraryFolder(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path absolute = fs::absolute(fs::path(path), error);
    if (error) {
        absolute = fs::path(path);
    }
    std::string folder = absolute.lexically_normal().parent_path().string();
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    return folder;
}

} // namespace

std::string PluginIdFromPath(const std::string& path) {
    const size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    constexpr std::string_view kSuffix = ".so";
    if (name.size() > kSuffix.size() &&
        name.compare(name.size() - kSuffix.size(), kSuffix.size(), kSuffix) == 0) {
        name.resize(name.size() - kSuffix.size());
    }
    return name;
}

bool PluginRecord::Load(const std::string& path) {
    m_library.reset();
    m_loadError.clear();
    std::shared_ptr<PluginLibrary> library = PluginLibrary::Load(path, m_loadError);
    if (library == nullptr) {
        m_id.clear();
        m_folder.clear();
        return false;
    }
    m_id = PluginIdFromPath(path);
    m_folder = LibraryFolder(path);
    m_library = std::move(library);
    return true;
}

bool PluginRecord::HasRequiredAuthority(const AuthoritySet* rights) const {
    const uint32_t held = rights != nullptr ? rights->GetBits() : 0;
    for (char letter : GetRequiredAuthority()) {
        uint32_t needed = 0;
        switch (letter) {
        case 'L':
            needed = AuthoritySet::kList;
            break;
        case 'D':
            needed = AuthoritySet::kDownload;
            break;
        case 'U':
            needed = AuthoritySet::kUpload;
            break;
        case 'A':
            needed = AuthoritySet::kManage;
            break;
        default:
            continue;
        }
        if ((held & needed) == 0) {
            return false;
        }
    }
    return true;
}

std::string PluginRecord::GetName() const {
    return m_library ? CallText(m_library->GetExports().getName) : "";
}

std::string PluginRecord::GetAuthor() const {
    return m_library ? CallText(m_library->GetExports().getAuthor) : "";
}

std::string PluginRecord::GetVersion() const {
    return m_library ? CallText(m_library->GetExports().getVersion) : "";
}

int PluginRecord::GetType() const {
    if (!m_library) {
        return 0;
    }
    try {
        return m_library->GetExports().getType();
    } catch (...) {
        return 0;
    }
}

std::string PluginRecord::GetRequiredAuthority() const {
    if (!m_library) {
        return DefaultRequiredAuthority();
    }
    try {
        // A plug-in that answers nothing is held to what a plug-in without the export needs.
        const char* text = m_library->GetExports().getRequiredAuthority();
        return text != nullptr ? std::string(text) : std::string(DefaultRequiredAuthority());
    } catch (...) {
        return DefaultRequiredAuthority();
    }
}

int PluginRecord::OnRequest(void* context) const {
    if (!m_library) {
        return 0;
    }
    try {
        return m_library->GetExports().onRequest(context);
    } catch (...) {
        return 0;
    }
}

} // namespace Vuxo
