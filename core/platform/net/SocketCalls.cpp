#include "core/platform/net/SocketCalls.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <ifaddrs.h>
#include <mutex>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <unistd.h>

namespace Vuxo::Net {

namespace {

struct ErrnoMapping {
    int err;
    int code;
};

// errno -> the socket error code whose text says the same thing.
constexpr ErrnoMapping kErrnoMap[] = {
    {EINTR, 10004},           {EACCES, 10013},
    {EPERM, 10013},           {EFAULT, 10014},
    {EINVAL, 10022},          {EMFILE, 10024},
    {ENFILE, 10024},          {EAGAIN, 10035},
    {EINPROGRESS, 10036},     {EALREADY, 10037},
    {ENOTSOCK, 10038},        {EBADF, 10038},
    {EDESTADDRREQ, 10039},    {EMSGSIZE, 10040},
    {EPROTOTYPE, 10041},      {ENOPROTOOPT, 10042},
    {EPROTONOSUPPORT, 10043}, {ESOCKTNOSUPPORT, 10044},
    {EOPNOTSUPP, 10045},      {EPFNOSUPPORT, 10046},
    {EAFNOSUPPORT, 10047},    {EADDRINUSE, 10048},
    {EADDRNOTAVAIL, 10049},   {ENETDOWN, 10050},
    {ENETUNREACH, 10051},     {ENETRESET, 10052},
    {ECONNABORTED, 10053},    {ECONNRESET, 10054},
    {ENOBUFS, 10055},         {EISCONN, 10056},
    {ENOTCONN, 10057},        {ESHUTDOWN, 10058},
    {EPIPE, 10058},           {ETIMEDOUT, 10060},
    {ECONNREFUSED, 10061},    {EHOSTDOWN, 10064},
    {EHOSTUNREACH, 10065},    {ENOMEM, 8},
};

int ErrorFromLookup(int gaiError) {
    switch (gaiError) {
    case EAI_NONAME:
        return kErrHostNotFound;
    case EAI_AGAIN:
        return kErrTryAgain;
    case EAI_FAIL:
        return kErrNoRecovery;
#ifdef EAI_NODATA
    case EAI_NODATA:
        return kErrNoData;
#endif
    case EAI_MEMORY:
        return 8;
    case EAI_SYSTEM:
        return LastError();
    default:
        return kErrHostNotFound;
    }
}

sockaddr_in MakeAddress(uint32_t address, uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = address;
    return sa;
}

std::optional<IPv4Endpoint> EndpointOf(const sockaddr_in& sa, socklen_t length) {
    if (length < sizeof(sockaddr_in) || sa.sin_family != AF_INET) {
        return std::nullopt;
    }
    return IPv4Endpoint{sa.sin_addr.s_addr, ntohs(sa.sin_port)};
}

bool SetIntOption(Handle handle, int level, int name, int value) {
    return ::setsockopt(handle, level, name, &value, sizeof value) == 0;
}

bool SetTimeOption(Handle handle, int name, int milliseconds) {
    timeval tv{};
    tv.tv_sec = milliseconds / 1000;
    tv.tv_usec = (milliseconds % 1000) * 1000;
    return ::setsockopt(handle, SOL_SOCKET, name, &tv, sizeof tv) == 0;
}

Handle OpenSocket(int type) {
    IgnoreBrokenPipe();
    return ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
}

} // namespace

void IgnoreBrokenPipe() {
    static std::once_flag once;
    std::call_once(once, [] { std::signal(SIGPIPE, SIG_IGN); });
}

void RaiseDescriptorLimit() {
    static std::once_flag once;
    std::call_once(once, [] {
        rlimit limit{};
        if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
            limit.rlim_cur = limit.rlim_max;
            ::setrlimit(RLIMIT_NOFILE, &limit); // nothing is lost when it fails: the old limit stays
        }
    });
}

int ErrorFromErrno(int err) {
    if (err == EWOULDBLOCK) {
        return kErrWouldBlock;
    }
    for (const auto& m : kErrnoMap) {
        if (m.err == err) {
            return m.code;
        }
    }
    return 10107; // "System call failure"
}

int LastError() {
    return ErrorFromErrno(errno);
}

Handle OpenTcp() {
    return OpenSocket(SOCK_STREAM);
}

Handle OpenUdp() {
    return OpenSocket(SOCK_DGRAM);
}

void CloseHandle(Handle handle) {
    if (handle != kNoHandle) {
        ::close(handle); // never retried on EINTR: the descriptor is gone either way on Linux
    }
}

bool ShutdownBoth(Handle handle) {
    return ::shutdown(handle, SHUT_RDWR) == 0;
}

bool SetReuseAddress(Handle handle) {
    return SetIntOption(handle, SOL_SOCKET, SO_REUSEADDR, 1);
}

bool SetNoDelay(Handle handle) {
    return SetIntOption(handle, IPPROTO_TCP, TCP_NODELAY, 1);
}

bool SetNonBlocking(Handle handle, bool on) {
    int flags = ::fcntl(handle, F_GETFL);
    if (flags < 0) {
        return false;
    }
    flags = on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    return ::fcntl(handle, F_SETFL, flags) == 0;
}

bool IsNonBlocking(Handle handle) {
    int flags = ::fcntl(handle, F_GETFL);
    return flags >= 0 && (flags & O_NONBLOCK) != 0;
}

bool Abort(Handle handle) {
    sockaddr unspecified{};
    unspecified.sa_family = AF_UNSPEC; // connecting to no address dissolves the connection
    return ::connect(handle, &unspecified, sizeof unspecified) == 0;
}

bool SetReceiveTimeout(Handle handle, int milliseconds) {
    return SetTimeOption(handle, SO_RCVTIMEO, milliseconds);
}

bool SetSendTimeout(Handle handle, int milliseconds) {
    return SetTimeOption(handle, SO_SNDTIMEO, milliseconds);
}

int BindAny(Handle handle, uint16_t port) {
    return Bind(handle, htonl(INADDR_ANY), port);
}

int Bind(Handle handle, uint32_t address, uint16_t port) {
    sockaddr_in sa = MakeAddress(address, port);
    return ::bind(handle, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0 ? 0 : -1;
}

bool Listen(Handle handle) {
    return ::listen(handle, SOMAXCONN) == 0;
}

Handle Accept(Handle listener, IPv4Endpoint* peer) {
    for (;;) {
        sockaddr_in sa{};
        socklen_t length = sizeof sa;
        Handle h = ::accept4(listener, reinterpret_cast<sockaddr*>(&sa), &length, SOCK_CLOEXEC);
        if (h >= 0 || errno != EINTR) {
            if (h >= 0 && peer != nullptr) {
                *peer = EndpointOf(sa, length).value_or(IPv4Endpoint{});
            }
            return h < 0 ? kNoHandle : h;
        }
    }
}

namespace {

// Waits for a connect in progress to finish (negative time-out: no limit); its outcome in errno.
bool AwaitConnect(Handle handle, int timeoutMs, Handle wake) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    pollfd fds[2] = {{handle, POLLOUT, 0}, {wake, POLLIN, 0}};
    const nfds_t count = wake == kNoHandle ? 1 : 2;
    for (;;) {
        int wait = -1;
        if (timeoutMs >= 0) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            wait = left > 0 ? static_cast<int>(left) : 0;
        }
        const int rc = ::poll(fds, count, wait);
        if (rc < 0 && errno == EINTR) {
            continue;
        }
        if (rc < 0) {
            return false;
        }
        if (count == 2 && fds[1].revents != 0) {
            errno = ECANCELED;
            return false;
        }
        if (rc == 0) {
            errno = ETIMEDOUT;
            return false;
        }
        int err = 0;
        socklen_t len = sizeof err;
        if (::getsockopt(handle, SOL_SOCKET, SO_ERROR, &err, &len) != 0) {
            return false;
        }
        errno = err;
        return err == 0;
    }
}

} // namespace

bool Connect(Handle handle, uint32_t address, uint16_t port) {
    sockaddr_in sa = MakeAddress(address, port);
    if (::connect(handle, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0) {
        return true;
    }
    // An interrupted connect goes on in the background: wait for its outcome.
    return errno == EINTR && AwaitConnect(handle, -1, kNoHandle);
}

bool ConnectWithin(Handle handle, uint32_t address, uint16_t port, int timeoutMs, Handle wake) {
    const bool wasNonBlocking = IsNonBlocking(handle);
    if (!wasNonBlocking && !SetNonBlocking(handle, true)) {
        return false;
    }
    sockaddr_in sa = MakeAddress(address, port);
    bool connected = ::connect(handle, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0;
    if (!connected && (errno == EINPROGRESS || errno == EINTR)) {
        connected = AwaitConnect(handle, timeoutMs, wake);
    }
    const int err = errno;
    if (!wasNonBlocking) {
        SetNonBlocking(handle, false);
    }
    errno = err;
    return connected;
}

long Send(Handle handle, const void* data, size_t length, int flags) {
    for (;;) {
        ssize_t n = ::send(handle, data, length, flags | MSG_NOSIGNAL);
        if (n >= 0 || errno != EINTR) {
            return static_cast<long>(n);
        }
    }
}

long Receive(Handle handle, void* buffer, size_t capacity, int flags) {
    for (;;) {
        ssize_t n = ::recv(handle, buffer, capacity, flags);
        if (n >= 0 || errno != EINTR) {
            return static_cast<long>(n);
        }
    }
}

long ReceiveWaitingForAll(Handle handle, void* buffer, size_t capacity) {
    return Receive(handle, buffer, capacity, MSG_WAITALL);
}

long Peek(Handle handle, void* buffer, size_t capacity) {
    return Receive(handle, buffer, capacity, MSG_PEEK | MSG_DONTWAIT);
}

long SendTo(Handle handle, const void* data, size_t length, int flags, const IPv4Endpoint& to) {
    sockaddr_in sa = MakeAddress(to.address, to.port);
    for (;;) {
        ssize_t n = ::sendto(handle, data, length, flags | MSG_NOSIGNAL,
                             reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
        if (n >= 0 || errno != EINTR) {
            return static_cast<long>(n);
        }
    }
}

long ReceiveFrom(Handle handle, void* buffer, size_t capacity, int flags, IPv4Endpoint& from) {
    for (;;) {
        sockaddr_in sa{};
        socklen_t len = sizeof sa;
        ssize_t n = ::recvfrom(handle, buffer, capacity, flags, reinterpret_cast<sockaddr*>(&sa), &len);
        if (n >= 0) {
            if (auto e = EndpointOf(sa, len)) {
                from = *e;
            }
            return static_cast<long>(n);
        }
        if (errno != EINTR) {
            return -1;
        }
    }
}

std::optional<IPv4Endpoint> PeerEndpoint(Handle handle) {
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    if (::getpeername(handle, reinterpret_cast<sockaddr*>(&sa), &len) != 0) {
        return std::nullopt;
    }
    return EndpointOf(sa, len);
}

std::optional<IPv4Endpoint> LocalEndpoint(Handle handle) {
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    if (::getsockname(handle, reinterpret_cast<sockaddr*>(&sa), &len) != 0) {
        return std::nullopt;
    }
    return EndpointOf(sa, len);
}

std::string DottedText(uint32_t address) {
    char text[INET_ADDRSTRLEN] = {};
    in_addr a{};
    a.s_addr = address;
    if (::inet_ntop(AF_INET, &a, text, sizeof text) == nullptr) {
        return {};
    }
    return text;
}

std::optional<uint32_t> ParseDotted(const std::string& text) {
    in_addr a{};
    if (::inet_pton(AF_INET, text.c_str(), &a) != 1) {
        return std::nullopt;
    }
    return a.s_addr;
}

std::optional<uint32_t> ResolveIPv4(const std::string& host, int& error) {
    error = 0;
    if (auto dotted = ParseDotted(host)) {
        return dotted;
    }
    if (host.empty()) {
        error = kErrHostNotFound;
        return std::nullopt;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    int rc = ::getaddrinfo(host.c_str(), nullptr, &hints, &list);
    if (rc != 0 || list == nullptr) {
        error = rc != 0 ? ErrorFromLookup(rc) : kErrNoData;
        return std::nullopt;
    }
    std::optional<uint32_t> result;
    for (const addrinfo* ai = list; ai != nullptr && !result; ai = ai->ai_next) {
        if (ai->ai_family == AF_INET && ai->ai_addr != nullptr) {
            result = reinterpret_cast<const sockaddr_in*>(ai->ai_addr)->sin_addr.s_addr;
        }
    }
    ::freeaddrinfo(list);
    if (!result) {
        error = kErrNoData;
    }
    return result;
}

std::vector<std::string> LocalIPv4Addresses() {
    std::vector<std::string> external;
    std::vector<std::string> loopback;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        return external;
    }
    for (const ifaddrs* ifa = list; ifa != nullptr; ifa = ifa->ifa_next) {
        if (ifa->ifa_addr == nullptr || ifa->ifa_addr->sa_family != AF_INET ||
            (ifa->ifa_flags & IFF_UP) == 0) {
            continue;
        }
        std::string text = DottedText(reinterpret_cast<const sockaddr_in*>(ifa->ifa_addr)->sin_addr.s_addr);
        ((ifa->ifa_flags & IFF_LOOPBACK) != 0 ? loopback : external).push_back(std::move(text));
    }
    ::freeifaddrs(list);
    return external.empty() ? loopback : external;
}

namespace {

WaitResult PollFor(pollfd* fds, nfds_t count, int timeoutMs) {
    for (;;) {
        int rc = ::poll(fds, count, timeoutMs < 0 ? -1 : timeoutMs);
        if (rc > 0) {
            if (count == 2 && fds[1].revents != 0) {
                return WaitResult::Woken;
            }
            return WaitResult::Ready; // ready, at its end, or in error: the next call tells which
        }
        if (rc == 0) {
            return WaitResult::TimedOut;
        }
        if (errno != EINTR) {
            return WaitResult::Failed;
        }
    }
}

} // namespace

WaitResult WaitReadable(Handle handle, Handle wake, int timeoutMs) {
    pollfd fds[2] = {{handle, POLLIN, 0}, {wake, POLLIN, 0}};
    return PollFor(fds, wake == kNoHandle ? 1 : 2, timeoutMs);
}

WaitResult WaitWritable(Handle handle, int timeoutMs) {
    pollfd fds[1] = {{handle, POLLOUT, 0}};
    return PollFor(fds, 1, timeoutMs);
}

int WaitAnyReadable(const std::vector<Handle>& handles, std::vector<char>& ready, int timeoutMs) {
    std::vector<pollfd> fds(handles.size());
    for (size_t i = 0; i < handles.size(); ++i) {
        fds[i] = {handles[i], POLLIN, 0};
    }
    ready.assign(handles.size(), 0);
    for (;;) {
        const int rc = ::poll(fds.data(), fds.size(), timeoutMs < 0 ? -1 : timeoutMs);
        if (rc >= 0) {
            for (size_t i = 0; i < fds.size(); ++i) {
                ready[i] = fds[i].revents != 0 ? 1 : 0;
            }
            return rc;
        }
        if (errno != EINTR) {
            return -1;
        }
    }
}

long SendFile(Handle handle, int fileDescriptor, int64_t& offset, size_t count) {
    for (;;) {
        off_t position = static_cast<off_t>(offset);
        ssize_t n = ::sendfile(handle, fileDescriptor, &position, count);
        if (n >= 0) {
            offset = static_cast<int64_t>(position);
            return static_cast<long>(n);
        }
        if (errno != EINTR) {
            return -1;
        }
    }
}

} // namespace Vuxo::Net
