#include "core/platform/process/Process.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace Vuxo {

namespace {

constexpr const char* kSpawnFailed = "failed to execute a process";
// How long the destructor lets the child end on its own after its pipes are closed.
constexpr int kExitGraceMs = 2000;
constexpr size_t kDrainChunk = 64 * 1024;

struct Pipe {
    FileDescriptor read;
    FileDescriptor write;
};

Pipe MakePipe() {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        throw std::runtime_error(kSpawnFailed);
    }
    return {FileDescriptor(ends[0]), FileDescriptor(ends[1])};
}

void MakeNonBlocking(int descriptor) {
    const int flags = ::fcntl(descriptor, F_GETFL);
    ::fcntl(descriptor, F_SETFL, flags | O_NONBLOCK);
}

// The C strings that posix_spawn takes, pointing into `texts`.
std::vector<char*> PointersOf(const std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    pointers.reserve(texts.size() + 1);
    for (const std::string& text : texts) {
        pointers.push_back(const_cast<char*>(text.c_str()));
    }
    pointers.push_back(nullptr);
    return pointers;
}

// The spawn settings, released however the spawn ends.
class SpawnSettings {
public:
    SpawnSettings() {
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawnattr_init(&attributes);
    }
    ~SpawnSettings() {
        ::posix_spawn_file_actions_destroy(&actions);
        ::posix_spawnattr_destroy(&attributes);
    }
    SpawnSettings(const SpawnSettings&) = delete;
    SpawnSettings& operator=(const SpawnSettings&) = delete;

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
};

// A write that never raises SIGPIPE on this thread: a reader that has gone gives EPIPE instead, and the
// signal it left pending is taken back, unless one was pending before.
ssize_t WriteWithoutSigpipe(int descriptor, const void* bytes, size_t count) {
    sigset_t pipeSignal;
    sigset_t previous;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    ::pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
    sigset_t pending;
    sigpending(&pending);
    const bool wasPending = sigismember(&pending, SIGPIPE) == 1;
    const ssize_t written = ::write(descriptor, bytes, count);
    const int error = errno;
    if (written < 0 && error == EPIPE && !wasPending) {
        const timespec none{};
        ::sigtimedwait(&pipeSignal, nullptr, &none);
    }
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    errno = error;
    return written;
}

int PollRetrying(pollfd* descriptors, nfds_t count, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const int result = ::poll(descriptors, count, timeoutMs);
        if (result >= 0 || errno != EINTR) {
            return result;
        }
        if (timeoutMs > 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            timeoutMs = left.count() > 0 ? static_cast<int>(left.count()) : 0;
        }
    }
}

} // namespace

Process::Process(const std::vector<std::string>& arguments, const std::string& directory,
                 const std::optional<std::vector<std::string>>& environment) {
    if (arguments.empty() || arguments[0].empty()) {
        throw std::runtime_error(kSpawnFailed);
    }
    Pipe input = MakePipe();
    Pipe output = MakePipe();

    SpawnSettings settings;
    if (!directory.empty()) {
        ::posix_spawn_file_actions_addchdir_np(&settings.actions, directory.c_str());
    }
    ::posix_spawn_file_actions_adddup2(&settings.actions, input.read.Get(), 0);
    ::posix_spawn_file_actions_adddup2(&settings.actions, output.write.Get(), 1);
    ::posix_spawn_file_actions_adddup2(&settings.actions, output.write.Get(), 2);
    ::posix_spawn_file_actions_addclosefrom_np(&settings.actions, 3);
    // The program ignores SIGPIPE, and an ignored signal survives exec; the child gets the usual default
    // and no blocked signals.
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigset_t noMask;
    sigemptyset(&noMask);
    ::posix_spawnattr_setsigdefault(&settings.attributes, &defaults);
    ::posix_spawnattr_setsigmask(&settings.attributes, &noMask);
    ::posix_spawnattr_setflags(&settings.attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    std::vector<char*> argv = PointersOf(arguments);
    std::vector<char*> envp = environment ? PointersOf(*environment) : std::vector<char*>();
    if (::posix_spawnp(&m_pid, argv[0], &settings.actions, &settings.attributes, argv.data(),
                       environment ? envp.data() : environ) != 0) {
        throw std::runtime_error(kSpawnFailed);
    }
    // The child's ends must go at once: while the parent holds the output's write end, the output never
    // reaches its end, and the child never sees the end of its input.
    input.read.Close();
    output.write.Close();
    m_input = std::move(input.write);
    m_output = std::move(output.read);
    MakeNonBlocking(m_input.Get());
    MakeNonBlocking(m_output.Get());
    m_pidfd = FileDescriptor(static_cast<int>(::syscall(SYS_pidfd_open, m_pid, 0)));
}

Process::~Process() {
    m_input.Close();
    m_output.Close();
    if (!WaitForExit(kExitGraceMs)) {
        ::kill(m_pid, SIGKILL);
        WaitForExit(-1);
    }
}

void Process::CloseInput() {
    m_input.Close();
}

int Process::Write(const void* bytes, size_t count, int timeoutMs) {
    if (count == 0) {
        return kOk;
    }
    if (!m_input.IsValid()) {
        return kFailed;
    }
    const char* next = static_cast<const char*>(bytes);
    size_t left = count;
    const size_t holdLimit = std::max(count, kMinHeldOutput);
    while (left > 0) {
        pollfd waits[2] = {{m_input.Get(), POLLOUT, 0}, {m_output.Get(), POLLIN, 0}};
        // With the held output full the child's output pipe fills and its writes wait: the pipe's own
        // back-pressure.
        const nfds_t waitCount = m_outputEnded || m_pending.size() >= holdLimit ? 1 : 2;
        const int ready = PollRetrying(waits, waitCount, timeoutMs);
        if (ready <= 0) {
            return kFailed; // no room came in time, or the wait failed
        }
        if (waitCount == 2 && waits[1].revents != 0 && !Drain(holdLimit)) {
            return kFailed;
        }
        if ((waits[0].revents & (POLLERR | POLLNVAL)) != 0) {
            return kFailed; // nothing reads the child's input any more
        }
        if ((waits[0].revents & POLLOUT) == 0) {
            continue;
        }
        const ssize_t written = WriteWithoutSigpipe(m_input.Get(), next, left);
        if (written < 0) {
            if (errno == EAGAIN || errno == EINTR) {
                continue;
            }
            return kFailed;
        }
        next += written;
        left -= static_cast<size_t>(written);
    }
    return kOk;
}

bool Process::Drain(size_t limit) {
    const size_t start = m_pending.size();
    const size_t room = std::min(kDrainChunk, limit - start);
    m_pending.resize(start + room);
    const ssize_t got = ::read(m_output.Get(), m_pending.data() + start, room);
    m_pending.resize(start + (got > 0 ? static_cast<size_t>(got) : 0));
    if (got == 0) {
        m_outputEnded = true;
        m_output.Close();
    }
    return got >= 0 || errno == EAGAIN || errno == EINTR;
}

int Process::Read(void* buffer, size_t size, size_t& bytesRead, int timeoutMs) {
    bytesRead = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    if (m_pending.empty() && !m_outputEnded && size > 0) {
        pollfd wait{m_output.Get(), POLLIN, 0};
        const int ready = PollRetrying(&wait, 1, timeoutMs);
        if (ready < 0 || (ready > 0 && !Drain(kDrainChunk))) {
            return kFailed;
        }
    }
    if (!m_pending.empty()) {
        bytesRead = std::min(size, m_pending.size());
        std::memcpy(buffer, m_pending.data(), bytesRead);
        m_pending.erase(0, bytesRead);
        return kOk;
    }
    if (!m_outputEnded) {
        return kOk;
    }
    // The output has ended; the child is done once it has exited too.
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return WaitForExit(left.count() > 0 ? static_cast<int>(left.count()) : 0) ? kEnded : kOk;
}

bool Process::WaitForExit(int timeoutMs) {
    if (m_reaped) {
        return true;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(m_pid, &status, WNOHANG);
        if (done == m_pid || (done < 0 && errno == ECHILD)) {
            m_reaped = true;
            return true;
        }
        if (timeoutMs < 0) {
            while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
            }
            m_reaped = true;
            return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        if (m_pidfd.IsValid()) {
            pollfd wait{m_pidfd.Get(), POLLIN, 0};
            PollRetrying(&wait, 1, static_cast<int>(left.count()));
        } else {
            std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(10)));
        }
    }
}

} // namespace Vuxo
