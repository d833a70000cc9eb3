#include "core/file/PelkFile.h"

#include "core/platform/fs/FileCalls.h"

#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>

namespace {

std::optional<Vuxo::FileOpenRequest> RequestForMode(unsigned mode, bool exclusive) {
    Vuxo::FileOpenRequest request;
    // A writer always locks the file for itself: sharing it would let a second writer truncate or
    // overwrite the first one's file under it.
    request.share =
        exclusive || mode != PelkFile::ModeRead ? Vuxo::FileShare::Exclusive : Vuxo::FileShare::Shared;
    switch (mode) {
    case PelkFile::ModeRead:
        request.access = Vuxo::FileAccess::Read;
        break;
    case PelkFile::ModeCreate:
        request.access = Vuxo::FileAccess::Write;
        request.create = true;
        request.truncate = true;
        break;
    case PelkFile::ModeReadWrite:
        request.access = Vuxo::FileAccess::ReadWrite;
        request.create = true;
        break;
    case PelkFile::ModeWrite:
        request.access = Vuxo::FileAccess::Write;
        request.create = true;
        break;
    default:
        return std::nullopt;
    }
    return request;
}

std::string FullPathOf(const std::string& path) {
    if (path.empty()) {
        return {};
    }
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(std::filesystem::path(path), error);
    if (error) {
        return path;
    }
    return absolute.lexically_normal().string();
}

} // namespace

PelkFile::PelkFile(const std::string& utf8Path, unsigned mode, bool exclusive) {
    Open(utf8Path, mode, exclusive);
}

PelkFile::PelkFile(int borrowedDescriptor) : m_descriptor(borrowedDescriptor), m_owned(false) {}

PelkFile::~PelkFile() {
    Close();
}

bool PelkFile::Open(const std::string& utf8Path, unsigned mode, bool exclusive) {
    return OpenBeneath(utf8Path, {}, mode, exclusive);
}

bool PelkFile::OpenBeneath(const std::string& root, const std::string& rest, unsigned mode, bool exclusive) {
    Close(); // a second Open must not leak the first descriptor
    m_openedPath = rest.empty() ? root : root + "/" + rest;
    m_fullPathMade = m_openedPath.empty() || m_openedPath.front() != '/';
    m_fullPath = m_fullPathMade ? FullPathOf(m_openedPath) : std::string();
    const std::optional<Vuxo::FileOpenRequest> request = RequestForMode(mode, exclusive);
    if (!request) {
        return false;
    }
    int64_t size = -1;
    Vuxo::FileDescriptor file = Vuxo::OpenRegularFileBeneath(root, rest, *request, nullptr, &size);
    if (!file.IsValid()) {
        return false;
    }
    m_sizeAtOpen = size;
    m_share = file.TakeShare();
    m_descriptor = file.Release();
    m_owned = true;
    return true;
}

size_t PelkFile::Read(void* buffer, size_t count) {
    if (count == 0 || m_descriptor < 0 || !buffer) {
        return 0;
    }
    return Vuxo::ReadFully(m_descriptor, buffer, count);
}

size_t PelkFile::Write(const void* buffer, size_t count) {
    if (count == 0 || m_descriptor < 0 || !buffer) {
        return 0;
    }
    return Vuxo::WriteFully(m_descriptor, buffer, count);
}

int64_t PelkFile::Tell() {
    return m_descriptor < 0 ? -1 : Vuxo::SeekDescriptor(m_descriptor, 0, Current);
}

int64_t PelkFile::GetSize() {
    return m_descriptor < 0 ? -1 : Vuxo::GetDescriptorSize(m_descriptor);
}

int64_t PelkFile::Seek(int64_t distance, int origin) {
    return m_descriptor < 0 ? -1 : Vuxo::SeekDescriptor(m_descriptor, distance, origin);
}

bool PelkFile::SetEnd(int64_t position) {
    if (m_descriptor < 0 || Seek(position, Begin) != position) {
        return false;
    }
    return Vuxo::TruncateDescriptor(m_descriptor, position);
}

bool PelkFile::Flush() {
    return m_descriptor >= 0 && Vuxo::SyncDescriptor(m_descriptor);
}

bool PelkFile::Close() {
    m_openedPath.clear();
    m_fullPath.clear();
    m_fullPathMade = true;
    m_sizeAtOpen = -1;
    if (m_descriptor < 0) {
        return true;
    }
    Vuxo::FileDescriptor file(m_descriptor);
    m_descriptor = -1;
    if (!m_owned) {
        file.Release(); // borrowed: its owner closes it
        return true;
    }
    m_owned = false;
    file.AttachShare(std::move(m_share)); // given back after the close
    return file.Close();
}

const std::string& PelkFile::GetFullPath() const {
    if (!m_fullPathMade) {
        m_fullPath = FullPathOf(m_openedPath);
        m_fullPathMade = true;
    }
    return m_fullPath;
}

std::string PelkFile::GetFileNamePart() const {
    const std::string& path = GetFullPath();
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
