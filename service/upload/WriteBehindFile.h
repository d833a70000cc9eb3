// Writes an upload's bytes to its temporary file on a thread of its own, so that the connection thread
// receives (and searches for the part's end) the next buffer while the last one goes to the disk: the
// receive and the disk write, which took turns on one thread, overlap.
// The upload's connection thread owns it (on its stack, for one part) and is the only caller. A buffer
// handed over belongs to the writer until the next Write or Finish returns; the file is touched by the
// writer thread only between those calls, and by its owner only before the first and after Finish. The
// thread starts with the first buffer that is not the last, so a part that fits one buffer is written on
// the connection thread as before. m_lock guards the hand-over state.
#pragma once

#include "core/thread/AThread.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace Vuxo {

class TemporaryUploadFile;

class WriteBehindFile : private AThread {
public:
    explicit WriteBehindFile(TemporaryUploadFile& file);
    // Waits for the write in flight, so the file is left to its owner.
    ~WriteBehindFile() override;

    // Hands over the first `length` bytes of `buffer` and gives back in `buffer` one that is free to
    // fill (its size as the writer left it). Waits while the writer still writes the one before. `last`:
    // no more bytes follow. False when a write failed (this one's or one before); nothing more is written.
    bool Write(std::vector<char>& buffer, size_t length, bool last);
    // Waits until every byte handed over is written; false when a write failed.
    bool Finish();
    // The bytes written to the file so far.
    int64_t GetWritten() const;

private:
    int Run() override;
    void Interrupt() override;
    bool WriteDirect(const std::vector<char>& buffer, size_t length);
    // Takes note of one write's outcome; under m_lock.
    void Count(bool written, size_t length);

    TemporaryUploadFile& m_file;
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<char> m_pending; // the writer thread's while m_hasPending
    size_t m_pendingLength = 0;
    bool m_hasPending = false;
    bool m_failed = false;
    bool m_stopping = false;
    int64_t m_written = 0;
    bool m_started = false; // the owner's alone
};

} // namespace Vuxo
