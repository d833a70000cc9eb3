// A child program whose standard input and output (with standard error) are pipes held by the parent, so
// the parent can feed it a body and collect what it prints. The object owns the pipes and the child: its
// destructor closes the pipes, gives the child a short while to end, then kills it and reaps it.
// One thread at a time uses an object; there is no lock.
#pragma once

#include "core/platform/fs/FileDescriptor.h"

#include <cstddef>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace Vuxo {

class Process {
public:
    static constexpr int kOk = 0;
    static constexpr int kFailed = 2;
    static constexpr int kEnded = 3;
    // The child's output that Write holds for Read while it waits for room: as much as the write itself
    // and at least this. Past it the child's own writes wait until Read takes some.
    static constexpr size_t kMinHeldOutput = 1024 * 1024;
    // How long Write waits for room in the child's input before it gives up.
    static constexpr int kWriteTimeoutMs = 30000;

    // Starts `arguments[0]` (searched in PATH when it has no "/") with `arguments`, in `directory` (empty:
    // the parent's), with `environment` ("NAME=value" lines; none: the parent's). Throws std::runtime_error
    // "failed to execute a process" when the pipes cannot be made or the program cannot be started.
    explicit Process(const std::vector<std::string>& arguments, const std::string& directory = {},
                     const std::optional<std::vector<std::string>>& environment = std::nullopt);
    virtual ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // Writes all `count` bytes to the child's input: kOk, or kFailed when the input is closed, the child
    // stopped reading it, or no room came within `timeoutMs`. While the pipe is full the child's output
    // is drained into a buffer that Read hands out first (see kMinHeldOutput), so a child that answers as
    // it reads never blocks both sides, and one that prints without reading cannot fill the memory.
    // A count of 0 is kOk.
    int Write(const void* bytes, size_t count, int timeoutMs = kWriteTimeoutMs);
    // Closes the child's input, so that it sees the end of its data.
    void CloseInput();

    // Reads what the child printed: kOk with `bytesRead` bytes (0 when nothing came within `timeoutMs`),
    // kEnded once the child has closed its output and exited, kFailed when the pipe cannot be read.
    // Every byte printed before the end is read before kEnded.
    int Read(void* buffer, size_t size, size_t& bytesRead, int timeoutMs = 0);

    pid_t GetProcessId() const { return m_pid; }
    // The child's output held for Read.
    size_t HeldOutput() const { return m_pending.size(); }

private:
    // Reads once into m_pending, which holds less than `limit` bytes, up to `limit`; false on a read error.
    // Sets m_outputEnded at the end of the pipe.
    bool Drain(size_t limit);
    // True once the child has been reaped, waiting up to `timeoutMs` (negative: no limit) for it to end.
    bool WaitForExit(int timeoutMs);

    FileDescriptor m_input;  // the parent's end of the child's standard input
    FileDescriptor m_output; // the parent's end of the child's standard output and error
    FileDescriptor m_pidfd;  // readable once the child has ended; may be invalid on old kernels
    pid_t m_pid = -1;
    bool m_reaped = false;
    bool m_outputEnded = false;
    std::string m_pending; // output drained while a write waited for room
};

} // namespace Vuxo
