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
        return true;
    }
    // Linux releases the descriptor even when close() fails, so it is never retried.
    return ::close(Release()) == 0;
}

} // namespace Vuxo
