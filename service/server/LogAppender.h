// Appends the day log's records for every connection thread, one writer at a time. Thousands of threads
// each appending to the file themselves queue on the kernel's lock of the file, and every handoff of that
// lock waits for a sleeping thread to be woken: a convoy that held whole requests up for hundreds of
// milliseconds. Here the thread that finds nobody writing takes the writing role and writes its record,
// then also, in one go each time, whatever was queued meanwhile until nothing is; a thread that finds the
// role taken queues its record without a lock and goes on at once. So once every appending call has
// returned, every record is in the file. A thread that queues onto a queue grown too long (the disk
// stalls) waits a moment for it to be taken.
// Under a flood of requests the records would still leave a few at a time, and each write to the file
// costs a system call and the file system's work per write. So a thread that takes the role while others
// were queuing (the last writer wrote records of theirs), and whose caller may wait, queues its own
// record and lets the others' gather for a moment before writing them all at once. A record nobody else
// queues beside is written at once, as before.
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
    // by that thread before it returns. `mayGather`: the caller holds no lock and may be held up for a
    // moment, so that under load others' records can gather to leave with this one.
    void Append(const std::shared_ptr<FileDescriptor>& file, std::string_view record, bool mayGather = false);

private:
    struct Node {
        Node* next = nullptr;
        std::shared_ptr<FileDescriptor> file;
        std::string bytes;
        bool threadsOwn = false;         // a thread's own node: given back once written, never freed
        std::atomic<bool> queued{false}; // a thread's own node: in a queue, its bytes not yet written
    };
    struct ThreadNode;
    // The calling thread's own node; null once it is gone at the thread's end.
    static Node* ThreadsNode();

    // Queues the record for the holder of the role; gives the bytes now queued.
    size_t Queue(const std::shared_ptr<FileDescriptor>& file, std::string_view record);
    // Writes what is queued, oldest first; the caller holds the role. Gives how many records it wrote.
    size_t WriteQueued();
    // Writes what is queued until nothing is left behind, then gives the role up. `written` records were
    // written already under this hold, `own` of them (or of those queued) the holder's.
    void DrainAndRelease(size_t written, size_t own);
    void Write(const std::shared_ptr<FileDescriptor>& file, std::string_view bytes);

    const FailedWrite m_onFailure;
    alignas(64) std::atomic<Node*> m_queue{nullptr}; // most recent first
    alignas(64) std::atomic<bool> m_writing{false};  // a thread holds the writing role
    alignas(64) std::atomic<size_t> m_queuedBytes{0};
    std::atomic<int> m_taken{0};        // moves whenever the queue is taken to be written
    std::atomic<int> m_fullWaiters{0};  // threads waiting a moment for a long queue to be taken
    std::atomic<bool> m_crowded{false}; // the last hold of the role wrote records other threads queued
    alignas(64) std::string m_buffer;   // the records of one file gathered for one write
};

} // namespace Vuxo
