#include "plugin/sdk/ContentSource.h"

#include "core/platform/fs/BeneathOpen.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Vuxo {

PlainFileSource::~PlainFileSource() {
    if (m_descriptor >= 0) {
        ::close(m_descriptor);
    }
}

bool PlainFileSource::Open(const std::string& root, const std::string& inside) {
    if (m_descriptor >= 0) {
        ::close(m_descriptor);
    }
    // O_NONBLOCK keeps a FIFO swapped in under the name from blocking the open; it is refused below.
    m_descriptor = OpenBeneath(root, inside, O_RDONLY | O_NOCTTY | O_NONBLOCK).Release();
    if (m_descriptor < 0) {
        return false;
    }
    struct stat st {};
    if (::fstat(m_descriptor, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(m_descriptor);
        m_descriptor = -1;
        return false;
    }
    const int flags = ::fcntl(m_descriptor, F_GETFL);
    if (flags >= 0) {
        ::fcntl(m_descriptor, F_SETFL, flags & ~O_NONBLOCK);
    }
    ::posix_fadvise(m_descriptor, 0, 0, POSIX_FADV_SEQUENTIAL);
    return true;
}

size_t PlainFileSource::Read(void* buffer, size_t count) {
    size_t done = 0;
    while (m_descriptor >= 0 && done < count) {
        const ssize_t got = ::read(m_descriptor, static_cast<char*>(buffer) + done, count - done);
        if (got > 0) {
            done += static_cast<size_t>(got);
        } else if (got < 0 && errno == EINTR) {
            continue;
        } else {
            break;
        }
    }
    return done;
}

int64_t PlainFileSource::GetSize() {
    struct stat st {};
    if (m_descriptor < 0 || ::fstat(m_descriptor, &st) != 0) {
        return -1;
    }
    return static_cast<int64_t>(st.st_size);
}

size_t ListedContent::Next(char* block, size_t capacity) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(m_remaining, capacity));
    const size_t got = m_exhausted ? 0 : m_source->Read(block, want);
    if (got < want) {
        // The file ended early or failed: zeros stand in for the rest, and it is not read again.
        std::memset(block + got, 0, want - got);
        m_exhausted = true;
        m_intact = false;
    }
    m_remaining -= want;
    return want;
}

bool ListedContent::Intact() {
    if (m_intact && m_source->GetSize() != static_cast<int64_t>(m_listedSize)) {
        m_intact = false; // it grew (or shrank and grew) since the listing
    }
    return m_intact;
}

bool StreamListedContent(ContentSource* source, uint64_t listedSize, std::vector<char>& buffer,
                         const std::function<void(const char* data, size_t length)>& sink) {
    ListedContent content(source, listedSize);
    while (!content.Done()) {
        sink(buffer.data(), content.Next(buffer.data(), buffer.size()));
    }
    return content.Intact();
}

} // namespace Vuxo
