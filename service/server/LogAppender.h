// Appends the day log's records for every connection thread, one writer at a time. Thousands of threads
// each appending to the file themselves queue on the kernel's lock of the file, and every handoff of that
// lock waits for a sleeping thread to be woken: a convoy that held whole requests up for hundreds of
// milliseconds. Here the thread that finds nobody writing takes the writing role and writes its record,
// then also, in one go each time, whatever was queued meanwhile until nothing is; a thread that finds the
// role taken queues its record without a lock and goes on at once. So once every appending call has
// returned, every record is in the file. A thread that queues onto a queue grown too long (the disk
// stalls) waits a moment for it to be taken.
// Owned by the server's log sink. No lock: the queue is a list pushed with compare-and-swap and taken
// whole by the holder of the role, which is one atomic flag; m_buffer belongs to the holder.
#pragma once

#include "core/platform/fs/FileDescriptor.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace Vuxo {

class LogAppender {
public:
    // Called with a file a write to which failed, on the thread that wrote.
    using FailedWrite = std::function<void(const std::shared_ptr<FileDescriptor>& file)>;

    explicit LogAppender(FailedWrite onFailure);
    ~LogAppender();

    // Appends the whole record (line ends included) to `file`, now or, when another thread is writing,
    // by that thread before it returns.
    void Append(const std::shared_ptr<FileDescriptor>& file, std::string_view record);

private:
    struct Node {
        Node* next;
        std::shared_ptr<FileDescriptor> file;
        std::string bytes;
    };

    // Writes what is queued, oldest first; the caller holds the role.
    void WriteQueued();
    // Writes what is queued until nothing is left behind, then gives the role up.
    void DrainAndRelease();
    void Write(const std::shared_ptr<FileDescriptor>& file, std::string_view bytes);

    const FailedWrite m_onFailure;
    std::atomic<Node*> m_queue{nullptr}; // most recent first
    std::atomic<bool> m_writing{false};  // a thread holds the writing role
    std::atomic<size_t> m_queuedBytes{0};
    std::atomic<int> m_taken{0};       // moves whenever the queue is taken to be written
    std::atomic<int> m_fullWaiters{0}; // threads waiting a moment for a long queue to be taken
    std::string m_buffer;              // the records of one file gathered for one write
};

} // namespace Vuxo
