#include "service/upload/WriteBehindFile.h"

#include "service/upload/TemporaryUploadFile.h"

#include <utility>

namespace Vuxo {

WriteBehindFile::WriteBehindFile(TemporaryUploadFile& file) : m_file(file) {}

WriteBehindFile::~WriteBehindFile() {
    Stop(); // Run() finishes the write in flight before it looks at the stop
}

void WriteBehindFile::Count(bool written, size_t length) {
    m_failed = m_failed || !written;
    m_written += written ? static_cast<int64_t>(length) : 0;
}

bool WriteBehindFile::WriteDirect(const std::vector<char>& buffer, size_t length) {
    const bool written = m_file.Write(buffer.data(), length);
    std::lock_guard lock(m_lock);
    Count(written, length);
    return !m_failed;
}

bool WriteBehindFile::Write(std::vector<char>& buffer, size_t length, bool last) {
    if (!m_started && (last || !(m_started = Start()))) {
        return WriteDirect(buffer, length); // one buffer, or no thread to be had: written here
    }
    std::unique_lock lock(m_lock);
    m_changed.wait(lock, [this] { return !m_hasPending; });
    if (m_failed) {
        return false;
    }
    std::swap(m_pending, buffer);
    m_pendingLength = length;
    m_hasPending = true;
    m_changed.notify_all();
    return true;
}

bool WriteBehindFile::Finish() {
    std::unique_lock lock(m_lock);
    m_changed.wait(lock, [this] { return !m_hasPending; });
    return !m_failed;
}

int64_t WriteBehindFile::GetWritten() const {
    std::lock_guard lock(m_lock);
    return m_written;
}

int WriteBehindFile::Run() {
    std::unique_lock lock(m_lock);
    for (;;) {
        m_changed.wait(lock, [this] { return m_hasPending || m_stopping; });
        if (!m_hasPending) {
            return 0;
        }
        lock.unlock();
        const bool written = m_file.Write(m_pending.data(), m_pendingLength);
        lock.lock();
        Count(written, m_pendingLength);
        m_hasPending = false;
        m_changed.notify_all();
    }
}

void WriteBehindFile::Interrupt() {
    std::lock_guard lock(m_lock);
    m_stopping = true;
    m_changed.notify_all();
}

} // namespace Vuxo
