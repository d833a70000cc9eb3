#include "service/mounts/MountManager.h"

#include "core/i18n/LocalizationStringTable.h"
#include "core/log/Trace.h"
#include "core/platform/fs/FileCalls.h"
#include "core/text/StringHelpers.h"
#include "core/text/Utf8.h"
#include "service/mounts/LocalPathCheck.h"

#include <filesystem>
#include <mutex>
#include <shared_mutex>
#include <system_error>
#include <utility>

namespace Vuxo {

namespace {

// Where the load-problem message sends the user.
constexpr const char* kHomepageAddress = "https://corvanta.example/";

// Absolute, with "." and ".." components and repeated "/" removed, and without a trailing "/" (except
// for "/" itself). "" when the path is empty or cannot be made absolute.
std::string NormaliseLocalPath(const std::string& localPath) {
    if (localPath.empty()) {
        return {};
    }
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(localPath, error);
    if (error) {
        return {};
    }
    std::string normal = absolute.lexically_normal().string();
    while (normal.size() > 1 && normal.back() == '/') {
        normal.pop_back();
    }
    return normal;
}

// The last component of a normalised path, made into a name that can be requested: invalid UTF-8 becomes
// U+FFFD, and "\" (which the request-path rules read as "/") and control characters become "_".
std::string DeriveMountName(const std::string& normalPath) {
    std::string name = WideToUtf8(Utf8ToWide(normalPath.substr(normalPath.rfind('/') + 1)));
    for (char& c : name) {
        if (c == '\\' || IsControlCharacter(c)) {
            c = '_';
        }
    }
    return name;
}

void SplitRequestPath(std::string_view requestPath, std::string& mountName, std::string& rest) {
    const std::size_t slash = requestPath.find('/');
    if (slash == std::string_view::npos) {
        mountName.assign(requestPath);
        rest.clear();
    } else {
        mountName.assign(requestPath.substr(0, slash));
        rest.assign(requestPath.substr(slash + 1));
    }
}

void ReportLoadProblem() {
    std::string text = Tr("설정파일 로딩중 일부 문제가 발생하여 무시했습니다.\n"
                          "오래된 버전의 설정파일이거나, 파일이 손상되었을 가능성이 있습니다.\n"
                          "이 메시지가 계속 나타나면 홈페이지에 증상을 알려 주십시오.");
    text += '\n';
    text += kHomepageAddress;
    Trace(LOG_ALERT, "%s", text.c_str());
}

} // namespace

bool IsValidMountName(std::string_view name) {
    if (name.empty() || name == "." || name == ".." || !IsValidUtf8(name)) {
        return false;
    }
    for (char c : name) {
        if (c == '/' || c == '\\' || IsControlCharacter(c)) {
            return false;
        }
    }
    return true;
}

MountManager::MountManager(QuilloConfig& config) : m_config(config) {
    if (!LoadMounts()) {
        ReportLoadProblem();
    }
}

MountManager::~MountManager() = default;

bool MountManager::LoadMounts() {
    std::vector<std::string> items;
    {
        ScopedLock listLock(m_config.GetListLock());
        items = m_config.mounts;
    }
    MountMap loaded;
    bool allGood = true;
    for (const std::string& item : items) {
        std::string name;
        Mount mount;
        if (!ParseMountEntry(item, name, mount)) {
            allGood = false;
            continue;
        }
        loaded.emplace(std::move(name), std::move(mount)); // the first of two equal names stays
    }
    std::lock_guard lock(m_lock);
    m_mounts = std::move(loaded);
    return allGood;
}

void MountManager::StoreMounts() {
    ScopedLock storeLock(m_storeLock);
    std::vector<std::string> items;
    {
        std::shared_lock lock(m_lock);
        items.reserve(m_mounts.size());
        for (const auto& [name, mount] : m_mounts) {
            items.push_back(FormatMountEntry(name, mount));
        }
    }
    ScopedLock listLock(m_config.GetListLock());
    m_config.mounts = std::move(items);
}

void MountManager::SaveMounts() {
    CommitChange();
}

void MountManager::CommitChange() {
    StoreMounts();
    std::function<void()> listener;
    {
        std::shared_lock lock(m_lock);
        listener = m_listener;
    }
    if (listener) {
        listener();
    }
    m_config.Save();
}

bool MountManager::Locate(const std::string& mountName, const std::string& rest, std::string& root,
                          bool& isDirectory) const {
    {
        std::shared_lock lock(m_lock);
        const auto found = m_mounts.find(mountName);
        if (found == m_mounts.end()) {
            return false;
        }
        root = found->second.localPath;
        isDirectory = found->second.isDirectory;
    }
    // Nothing lies below a file.
    return isDirectory ? IsSafeShareRest(rest) : rest.empty();
}

std::string MountManager::GetLocalPath(const std::string& mountName, const std::string& rest) const {
    std::string root;
    bool isDirectory = false;
    if (!Locate(mountName, rest, root, isDirectory)) {
        return {};
    }
    if (!isDirectory) {
        return root;
    }
    return rest.empty() || StaysInsideShare(root, rest) ? JoinSharePath(root, rest) : std::string();
}

std::string MountManager::GetLocalPathForOpen(std::string_view requestPath) const {
    std::string mountName;
    std::string rest;
    SplitRequestPath(requestPath, mountName, rest);
    std::string root;
    bool isDirectory = false;
    if (!Locate(mountName, rest, root, isDirectory)) {
        return {};
    }
    return isDirectory ? JoinSharePath(root, rest) : root;
}

std::string MountManager::GetLocalPath(std::string_view requestPath) const {
    std::string mountName;
    std::string rest;
    SplitRequestPath(requestPath, mountName, rest);
    return GetLocalPath(mountName, rest);
}

bool MountManager::PathExists(const std::string& mountName, const std::string& rest) const {
    const std::string localPath = GetLocalPath(mountName, rest);
    PathInfo info;
    return !localPath.empty() && QueryPath(localPath, info) && info.kind != PathKind::Missing;
}

bool MountManager::PathExists(std::string_view requestPath) const {
    std::string mountName;
    std::string rest;
    SplitRequestPath(requestPath, mountName, rest);
    return PathExists(mountName, rest);
}

bool MountManager::Locate(std::string_view requestPath, std::string& root, std::string& rest) const {
    std::string mountName;
    bool isDirectory = false;
    SplitRequestPath(requestPath, mountName, rest);
    return Locate(mountName, rest, root, isDirectory);
}

bool MountManager::OpenFile(std::string_view requestPath, PelkFile& file) const {
    std::string root;
    std::string rest;
    if (!Locate(requestPath, root, rest)) {
        file.Close();
        return false;
    }
    return file.OpenBeneath(root, rest, PelkFile::ModeRead, false);
}

FileDescriptor MountManager::OpenFolder(std::string_view requestPath) const {
    std::string root;
    std::string rest;
    return Locate(requestPath, root, rest) ? OpenFolderBeneath(root, rest) : FileDescriptor();
}

bool MountManager::GetMount(const std::string& name, Mount& mount) const {
    std::shared_lock lock(m_lock);
    const auto found = m_mounts.find(name);
    if (found == m_mounts.end()) {
        return false;
    }
    mount = found->second;
    return true;
}

bool MountManager::GetMountIdentity(const std::string& name, uint32_t& id, bool& isDirectory) const {
    std::shared_lock lock(m_lock);
    const auto found = m_mounts.find(name);
    if (found == m_mounts.end()) {
        return false;
    }
    id = found->second.id.GetId();
    isDirectory = found->second.isDirectory;
    return true;
}

void MountManager::ListMountNames(std::vector<std::string>& names) const {
    std::shared_lock lock(m_lock);
    names.reserve(names.size() + m_mounts.size());
    for (const auto& entry : m_mounts) {
        names.push_back(entry.first);
    }
}

std::string MountManager::AddMount(const std::string& localPath) {
    const std::string normalPath = NormaliseLocalPath(localPath);
    PathInfo info;
    if (normalPath.empty() || !QueryPath(normalPath, info) || info.kind == PathKind::Missing) {
        Trace(LOG_WARNING, Tr("공유 추가 실패(없는 파일) : %s"), localPath.c_str());
        return {};
    }
    if (normalPath == "/") {
        Trace(LOG_WARNING, Tr("공유 추가 실패(최상위 폴더는 공유할 수 없음) : %s"), localPath.c_str());
        return {};
    }
    const std::string name = DeriveMountName(normalPath);
    Mount mount;
    mount.localPath = normalPath;
    mount.isDirectory = info.kind == PathKind::Directory;
    {
        std::lock_guard lock(m_lock);
        if (m_mounts.count(name) != 0) {
            Trace(LOG_WARNING, Tr("공유 추가 실패(같은 이름의 공유 항목이 있음) : %s"), normalPath.c_str());
            return {};
        }
        m_mounts.emplace(name, std::move(mount));
    }
    Trace(LOG_INFO, Tr("공유 추가됨: %s (%s)"), name.c_str(), normalPath.c_str());
    CommitChange();
    return name;
}

bool MountManager::RemoveMount(const std::string& name) {
    {
        std::lock_guard lock(m_lock);
        if (m_mounts.erase(name) == 0) {
            return false;
        }
    }
    Trace(LOG_INFO, Tr("공유 해제됨: %s"), name.c_str());
    CommitChange();
    return true;
}

bool MountManager::RenameMount(const std::string& oldName, const std::string& newName) {
    bool renamed = false;
    if (IsValidMountName(newName)) {
        std::lock_guard lock(m_lock);
        auto found = m_mounts.find(oldName);
        if (found != m_mounts.end() && m_mounts.count(newName) == 0) {
            auto node = m_mounts.extract(found);
            node.key() = newName;
            m_mounts.insert(std::move(node));
            renamed = true;
        }
    }
    if (!renamed) {
        Trace(LOG_WARNING, Tr("공유항목 이름 변경 실패: %s -> %s"), oldName.c_str(), newName.c_str());
        return false;
    }
    Trace(LOG_INFO, Tr("공유항목 이름 변경: %s -> %s"), oldName.c_str(), newName.c_str());
    CommitChange();
    return true;
}

bool MountManager::SetMount(const std::string& name, const Mount& mount) {
    {
        std::lock_guard lock(m_lock);
        auto found = m_mounts.find(name);
        if (found == m_mounts.end()) {
            return false;
        }
        found->second = mount;
    }
    Trace(LOG_INFO, Tr("공유 항목 설정이 변경됨 : %s"), name.c_str());
    CommitChange();
    return true;
}

void MountManager::SetChangeListener(std::function<void()> listener) {
    std::lock_guard lock(m_lock);
    m_listener = std::move(listener);
}

} // namespace Vuxo
