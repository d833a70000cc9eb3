#include "service/server/LogAppender.h"

#include "core/platform/fs/FileCalls.h"
#include "core/platform/sync/Futex.h"

#include <chrono>
#include <thread>
#include <utility>

namespace Vuxo {

namespace {

// Queued bytes from which a thread that queues waits a moment for the writer: a stalled disk must not let
// the queue grow without end. A writer that the scheduler keeps off the processor for a turn of two
// thousand runnable connection threads (a fifth of a second) sees several megabytes queued meanwhile; at
// a bound that low every connection waited for it, and the waits held the next writer up in turn.
constexpr size_t kMostQueuedBytes = size_t{32} << 20;
constexpr int kFullWaitMs = 10;
// How long a writer under load lets records gather: at a hundred thousand records a second, a few hundred
// leave in one write.
constexpr auto kGatherTime = std::chrono::milliseconds(1);

// The most of one file's records gathered for one write. A backlog of tens of megabytes gathered whole
// took as much again for its buffer, and the allocator kept it: under two thousand connections the
// program's peak RSS went from 209-231 MB to 153-186 MB with this bound, and the rate rose with it.
constexpr size_t kMostGatheredBytes = size_t{1} << 20;

// A thread's records above this size do not keep their storage in its node.
constexpr size_t kKeptRecordBytes = 4096;

thread_local bool t_ownNodeGone = false; // trivially destroyed, so still readable after the node is gone

} // namespace

// Each thread queues its records in a node of its own, so that under load a record costs no allocation
// (nor a free on the writer's thread) and no count on the file's shared owner: the node keeps the file
// it carried last. A thread whose node is still queued when it records again takes a fresh one.
struct LogAppender::ThreadNode {
    Node node;
    ~ThreadNode() {
        // The thread ends: its node leaves with the writer that holds the role, which does not return
        // before it is written.
        while (node.queued.load(std::memory_order_acquire)) {
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        t_ownNodeGone = true; // a record from a later thread-exit destructor takes a fresh node
    }
};

LogAppender::Node* LogAppender::ThreadsNode() {
    if (t_ownNodeGone) {
        return nullptr;
    }
    thread_local ThreadNode own;
    return &own.node;
}

LogAppender::LogAppender(FailedWrite onFailure) : m_onFailure(std::move(onFailure)) {}

LogAppender::~LogAppender() {
    WriteQueued(); // nothing is left behind by a returned Append; this only frees
}

void LogAppender::Append(const std::shared_ptr<FileDescriptor>& file, std::string_view record,
                         bool mayGather) {
    if (!m_writing.exchange(true)) {
        if (mayGather && m_crowded.load(std::memory_order_relaxed)) {
            Queue(file, record); // in its place among the records that gather meanwhile
            std::this_thread::sleep_for(kGatherTime);
            DrainAndRelease(0, 1);
            return;
        }
        const size_t before = WriteQueued(); // what came before this record goes first
        Write(file, record);
        DrainAndRelease(before, 0);
        return;
    }
    const int taken = m_taken.load();
    const size_t queued = Queue(file, record);
    // The writer may have given the role up after this thread saw it taken and before the record was
    // queued: then this thread writes it.
    if (!m_writing.exchange(true)) {
        DrainAndRelease(0, 0);
    } else if (queued >= kMostQueuedBytes) {
        m_fullWaiters.fetch_add(1);
        FutexWaitFor(m_taken, taken, kFullWaitMs);
        m_fullWaiters.fetch_sub(1);
    }
}

size_t LogAppender::Queue(const std::shared_ptr<FileDescriptor>& file, std::string_view record) {
    Node* node = ThreadsNode();
    if (node == nullptr || node->queued.load(std::memory_order_acquire)) {
        node = new Node;
        node->file = file;
    } else {
        node->threadsOwn = true;
        if (node->file != file) {
            node->file = file;
        }
        if (node->bytes.capacity() > kKeptRecordBytes) {
            std::string().swap(node->bytes);
        }
        node->queued.store(true, std::memory_order_relaxed);
    }
    node->bytes.assign(record);
    node->next = m_queue.load(std::memory_order_relaxed);
    const size_t queued = m_queuedBytes.fetch_add(record.size()) + record.size();
    while (!m_queue.compare_exchange_weak(node->next, node)) {
    }
    return queued;
}

void LogAppender::DrainAndRelease(size_t written, size_t own) {
    for (;;) {
        written += WriteQueued();
        m_writing.store(false);
        // A record queued before the role was given up, by a thread that saw it taken, is this thread's.
        if (m_queue.load() == nullptr || m_writing.exchange(true)) {
            break;
        }
    }
    m_crowded.store(written > own, std::memory_order_relaxed);
}

size_t LogAppender::WriteQueued() {
    Node* node = m_queue.exchange(nullptr);
    if (node == nullptr) {
        return 0;
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
    size_t records = 0;
    while (oldest != nullptr) {
        const std::shared_ptr<FileDescriptor> file = oldest->file;
        m_buffer.clear();
        while (oldest != nullptr && oldest->file == file) {
            if (!m_buffer.empty() && m_buffer.size() + oldest->bytes.size() > kMostGatheredBytes) {
                Write(file, m_buffer);
                m_buffer.clear();
            }
            m_buffer.append(oldest->bytes);
            bytes += oldest->bytes.size();
            ++records;
            Node* written = std::exchange(oldest, oldest->next);
            if (written->threadsOwn) {
                written->queued.store(false, std::memory_order_release); // its owner's again
            } else {
                delete written;
            }
        }
        Write(file, m_buffer);
    }
    m_queuedBytes.fetch_sub(bytes);
    if (m_buffer.capacity() > (size_t{64} << 10)) {
        std::string().swap(m_buffer); // a burst does not keep its storage
    }
    return records;
}

void LogAppender::Write(const std::shared_ptr<FileDescriptor>& file, std::string_view bytes) {
    if (WriteFully(file->Get(), bytes.data(), bytes.size()) != bytes.size() && m_onFailure) {
        m_onFailure(file);
    }
}

} // namespace Vuxo
