// An owned POSIX file descriptor: closed when the object goes, moved but never copied. A file opened with
// a share mode carries its ShareLock, given back after the close.
// Not thread-safe; one owner at a time.
#pragma once

#include "core/platform/fs/ShareLock.h"

#include <utility>

namespace Vuxo {

class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int descriptor) : m_descriptor(descriptor) {}
    ~FileDescriptor();

    FileDescriptor(FileDescriptor&& other) noexcept
        : m_descriptor(other.Release()), m_share(std::move(other.m_share)) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int Get() const { return m_descriptor; }
    bool IsValid() const { return m_descriptor >= 0; }
    // Gives up ownership without closing. A share lock stays here: take it first (TakeShare) to keep it
    // with the descriptor.
    int Release();
    void AttachShare(ShareLock share) { m_share = std::move(share); }
    ShareLock TakeShare() { return std::move(m_share); }
    // Closes now; false when close() reports an error (the descriptor is released either way).
    bool Close();

private:
    int m_descriptor = -1;
    ShareLock m_share;
};

} // namespace Vuxo
