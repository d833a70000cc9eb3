#include "service/server/LogAppender.h"

#include "core/platform/fs/FileCalls.h"
#include "core/platform/sync/Futex.h"

#include <utility>

namespace Vuxo {

namespace {

// Queued bytes from which a thread that queues waits a moment for the writer: a stalled disk must not let
// the queue grow without end.
constexpr size_t kMostQueuedBytes = size_t{4} << 20;
constexpr int kFullWaitMs = 10;

} // namespace

LogAppender::LogAppender(FailedWrite onFailure) : m_onFailure(std::move(onFailure)) {}

LogAppender::~LogAppender() {
    WriteQueued(); // nothing is left behind by a returned Append; this only frees
}

void LogAppender::Append(const std::shared_ptr<FileDescriptor>& file, std::string_view record) {
    if (!m_writing.exchange(true)) {
        WriteQueued(); // what came before this record goes first
        Write(file, record);
        DrainAndRelease();
        return;
    }
    const int taken = m_taken.load();
    Node* node = new Node{m_queue.load(std::memory_order_relaxed), file, std::string(record)};
    const size_t queued = m_queuedBytes.fetch_add(record.size()) + record.size();
    while (!m_queue.compare_exchange_weak(node->next, node)) {
    }
    // The writer may have given the role up after this thread saw it taken and before the record was
    // queued: then this thread writes it.
    if (!m_writing.exchange(true)) {
        DrainAndRelease();
    } else if (queued >= kMostQueuedBytes) {
        m_fullWaiters.fetch_add(1);
        FutexWaitFor(m_taken, taken, kFullWaitMs);
        m_fullWaiters.fetch_sub(1);
    }
}

void LogAppender::DrainAndRelease() {
    for (;;) {
        WriteQueued();
        m_writing.store(false);
        // A record queued before the role was given up, by a thread that saw it taken, is this thread's.
        if (m_queue.load() == nullptr || m_writing.exchange(true)) {
            return;
        }
    }
}

void LogAppender::WriteQueued() {
    Node* node = m_queue.exchange(nullptr);
    if (node == nullptr) {
        return;
    }
    m_taken.fetch_add(1);
    if (m_fullWaiters.load() > 0) {
        FutexWakeAll(m_taken);
    }
    Node* oldest = nullptr;
    while (node != nullptr) {
        Node* next = node->next;
        node->next = oldest;
        oldest = node;
        node = next;
    }
    size_t bytes = 0;
    while (oldest != nullptr) {
        const std::shared_ptr<FileDescriptor> file = oldest->file;
        m_buffer.clear();
        while (oldest != nullptr && oldest->file == file) {
            m_buffer.append(oldest->bytes);
            bytes += oldest->bytes.size();
            delete std::exchange(oldest, oldest->next);
        }
        Write(file, m_buffer);
    }
    m_queuedBytes.fetch_sub(bytes);
    if (m_buffer.capacity() > (size_t{64} << 10)) {
        std::string().swap(m_buffer); // a burst does not keep its storage
    }
}

void LogAppender::Write(const std::shared_ptr<FileDescriptor>& file, std::string_view bytes) {
    if (WriteFully(file->Get(), bytes.data(), bytes.size()) != bytes.size() && m_onFailure) {
        m_onFailure(file);
    }
}

} // namespace Vuxo
