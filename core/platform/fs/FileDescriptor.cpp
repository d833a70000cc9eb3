#include "core/platform/fs/FileDescriptor.h"

#include <unistd.h>

namespace Vuxo {

FileDescriptor::~FileDescriptor() {
    Close();
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
        Close();
        m_descriptor = other.Release();
        m_share = std::move(other.m_share);
    }
    return *this;
}

int FileDescriptor::Release() {
    const int descriptor = m_descriptor;
    m_descriptor = -1;
    return descriptor;
}

bool FileDescriptor::Close() {
    if (m_descriptor < 0) {
        m_share.Reset();
        return true;
    }
    // Linux releases the descriptor even when close() fails, so it is never retried. The share lock goes
    // after the descriptor: its flock must be gone when the next opener takes the table's entry.
    const bool closed = ::close(Release()) == 0;
    m_share.Reset();
    return closed;
}

} // namespace Vuxo
