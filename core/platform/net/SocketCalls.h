// The operating system's socket calls, wrapped for the socket classes of core/net. This is the only code
// that calls socket, bind, accept, send, recv, poll, getaddrinfo, getifaddrs or sendfile. IPv4 only.
// Every descriptor is opened close-on-exec; every send carries MSG_NOSIGNAL and SIGPIPE is ignored for the
// whole process once the first socket is made, so a peer that went away never ends the process.
// Failures are reported as the socket error codes of SocketErrorText (errno mapped onto them).
// Stateless apart from the once-only SIGPIPE set-up; safe from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Vuxo::Net {

using Handle = int;
constexpr Handle kNoHandle = -1;

// Socket error codes (the numbering the error-text table uses).
enum ErrorCode : int {
    kErrInterrupted = 10004,
    kErrWouldBlock = 10035,
    kErrInvalidArgument = 10022,
    kErrNotSocket = 10038,
    kErrAddressInUse = 10048,
    kErrConnectionReset = 10054,
    kErrNotConnected = 10057,
    kErrShutdown = 10058,
    kErrTimedOut = 10060,
    kErrConnectionRefused = 10061,
    kErrHostNotFound = 11001,
    kErrTryAgain = 11002,
    kErrNoRecovery = 11003,
    kErrNoData = 11004,
};

// Ignores SIGPIPE process-wide (once; later calls do nothing).
void IgnoreBrokenPipe();
// Raises the process's soft limit of open descriptors to its hard limit (once), so that a server with many
// connections runs out of memory for threads before it runs out of descriptors.
void RaiseDescriptorLimit();

// errno of the last failed call, as a socket error code.
int LastError();
int ErrorFromErrno(int err);

Handle OpenTcp();
Handle OpenUdp();
void CloseHandle(Handle handle);
// Ends both directions; a thread blocked on the socket wakes up. The descriptor stays open.
bool ShutdownBoth(Handle handle);

bool SetReuseAddress(Handle handle);
bool SetNoDelay(Handle handle);
bool SetNonBlocking(Handle handle, bool on);
bool IsNonBlocking(Handle handle);
// Resets the connection now: bytes not yet sent are dropped (on this thread) and the peer gets a reset.
// The descriptor stays open.
bool Abort(Handle handle);
// SO_RCVTIMEO / SO_SNDTIMEO in milliseconds (0: no time-out).
bool SetReceiveTimeout(Handle handle, int milliseconds);
bool SetSendTimeout(Handle handle, int milliseconds);

// Binds to INADDR_ANY:port (host byte order). 0 on success, -1 on failure.
int BindAny(Handle handle, uint16_t port);
// Binds to address:port (address in network byte order). 0 on success, -1 on failure.
int Bind(Handle handle, uint32_t address, uint16_t port);
bool Listen(Handle handle);
struct IPv4Endpoint;
// accept4 with close-on-exec; kNoHandle on failure (errno kept for LastError). `peer`, when given, receives
// the client's address.
Handle Accept(Handle listener, IPv4Endpoint* peer = nullptr);
// address: IPv4 in network byte order; port in host byte order.
bool Connect(Handle handle, uint32_t address, uint16_t port);
// Connect that gives up once `timeoutMs` passed (negative: never) or `wake` (kNoHandle: none) became
// readable; the socket's blocking mode is kept. On failure errno tells why: ETIMEDOUT for the time-out,
// ECANCELED for a wake, else the connect's own error.
bool ConnectWithin(Handle handle, uint32_t address, uint16_t port, int timeoutMs, Handle wake);

// One send / recv; EINTR is retried. -1 on failure (LastError tells why).
long Send(Handle handle, const void* data, size_t length, int flags);
long Receive(Handle handle, void* buffer, size_t capacity, int flags);
// A recv that waits until all `capacity` bytes are here, unless the stream ends, the receive fails or its
// time-out passes with some of them here (those are given).
long ReceiveWaitingForAll(Handle handle, void* buffer, size_t capacity);
// What has arrived, left in place to be received; never waits. -1 when nothing has (or on failure).
long Peek(Handle handle, void* buffer, size_t capacity);

struct IPv4Endpoint {
    uint32_t address = 0; // network byte order
    uint16_t port = 0;    // host byte order
};
long SendTo(Handle handle, const void* data, size_t length, int flags, const IPv4Endpoint& to);
long ReceiveFrom(Handle handle, void* buffer, size_t capacity, int flags, IPv4Endpoint& from);

std::optional<IPv4Endpoint> PeerEndpoint(Handle handle);
std::optional<IPv4Endpoint> LocalEndpoint(Handle handle);
std::string DottedText(uint32_t address);

// A dotted IPv4 text ("a.b.c.d" only), else std::nullopt.
std::optional<uint32_t> ParseDotted(const std::string& text);
// A dotted text or a host name (getaddrinfo, IPv4). On failure std::nullopt and `error` holds the code.
std::optional<uint32_t> ResolveIPv4(const std::string& host, int& error);

// The IPv4 addresses of the interfaces that are up, loopback left out unless it is the only one.
std::vector<std::string> LocalIPv4Addresses();

enum class WaitResult { Ready, Woken, TimedOut, Failed };
// Waits until `handle` is readable (or at end / in error), or `wake` (kNoHandle: none) becomes readable,
// or `timeoutMs` passes (negative: no time-out).
WaitResult WaitReadable(Handle handle, Handle wake, int timeoutMs);
// Waits until `handle` can take more bytes (or is in error), or `timeoutMs` passes (negative: none).
WaitResult WaitWritable(Handle handle, int timeoutMs);
// Waits until one of `handles` is readable (or at its end, or in error), or `timeoutMs` passes (negative:
// no time-out). `ready` gets one flag per handle, set for each such one. Gives how many are set, 0 after
// the time-out, -1 on failure.
int WaitAnyReadable(const std::vector<Handle>& handles, std::vector<char>& ready, int timeoutMs);

// sendfile of at most `count` bytes of `fileDescriptor` from `offset` (advanced by what was sent).
// -1 on failure (LastError tells why), 0 at the end of the file.
long SendFile(Handle handle, int fileDescriptor, int64_t& offset, size_t count);

} // namespace Vuxo::Net
