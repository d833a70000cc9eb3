// Thin blocking IPv4 socket classes that report failed sends and receives as socket_exception.
// A Socket owns its descriptor and closes it when destroyed; objects are never copied: a descriptor is
// handed on with Detach() and Attach(). One object is used by one thread at a time, except that Shutdown()
// may be called from another thread to wake a blocked call (the descriptor stays open until Close()).
#pragma once

#include "core/platform/net/SocketCalls.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace Vuxo {

// Prepares the process for sockets (SIGPIPE ignored, the soft descriptor limit raised to the hard one).
// Every web server and outgoing connection calls it.
void SocketStartup();

// Switches a raw descriptor to non-blocking mode (or back).
bool SetNonBlocking(Net::Handle handle, bool on = true);

class Socket {
public:
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    virtual ~Socket() = 0;

    // Closes the descriptor when one is held.
    virtual void Close();

    // Takes a raw descriptor (a held one is closed first) / gives the descriptor up without closing it.
    void Attach(Net::Handle handle);
    Net::Handle Detach();
    Net::Handle GetHandle() const { return m_handle; }
    bool IsValid() const { return m_handle != Net::kNoHandle; }

    // One send / recv with flags; the result is passed through (-1 on failure).
    long SendRaw(const void* data, size_t length, int flags);
    long ReceiveRaw(void* buffer, size_t capacity, int flags);

    bool SetNonBlocking(bool on = true);
    // Binds to INADDR_ANY:port. 0 on success, -1 on failure.
    int Bind(uint16_t port);
    // Dotted address and port of this end.
    bool GetLocalAddress(std::string& address, uint16_t& port) const;
    // Ends both directions so that a call blocked on the socket in another thread returns.
    bool Shutdown();
    // Resets the connection at once and drops what is not sent yet, instead of the system holding those
    // bytes until a peer that does not read takes them; the work of freeing them falls on the calling
    // thread, not on the one that closes the descriptor later.
    bool Abort();

protected:
    Socket() = default;
    // The descriptor changed or went: whatever a subclass remembers of the old one is dropped.
    virtual void ForgetHandleState() {}

    Net::Handle m_handle = Net::kNoHandle;
};

class TCPSocket : public Socket {
public:
    TCPSocket() = default;
    ~TCPSocket() override;

    bool Create();
    // Makes the connection leave from this dotted local address (call after Create, before Connect).
    bool BindLocal(const std::string& dottedAddress);
    // "host", "host:port" (blanks and line ends around it are ignored). Ports outside 1-65535 are refused.
    bool Connect(std::string_view hostText, uint16_t defaultPort);
    // Connects to an address (network byte order), giving up after `timeoutMs` or when `wake` becomes
    // readable (see Net::ConnectWithin).
    bool Connect(uint32_t address, uint16_t port, int timeoutMs, Net::Handle wake);
    // Splits "host[:port]" as Connect takes it (blanks and line ends around it dropped); false for a port
    // outside 1-65535.
    static bool ParseHostText(std::string_view hostText, uint16_t defaultPort, std::string& host,
                              uint16_t& port);

    // One send of at most `length` bytes; the count sent. Throws socket_exception on failure.
    int Send(const void* data, size_t length);
    // One receive; the count received. Throws socket_exception "Connection closed" at the end of the
    // stream, and the error text (e.g. "Connection timed out") on failure.
    int Receive(void* buffer, size_t capacity);
    // The same, waiting for all `capacity` bytes unless the stream ends or the receive time-out passes with
    // some of them here (see Net::ReceiveWaitingForAll). Only for bytes the peer sends without waiting for
    // an answer, such as the rest of a body whose length it announced.
    int ReceiveWaitingForAll(void* buffer, size_t capacity);
    // Sends up to `count` bytes of a file from `offset` (advanced by what was sent); the count sent, 0 at the
    // end of the file. Throws socket_exception on failure.
    size_t SendFile(int fileDescriptor, int64_t& offset, size_t count);
    // Send, SendFile and Receive (or ReceiveWaitingForAll) for a caller that waits on its own once the
    // socket's time-out has passed: that gives kTimedOut instead of throwing.
    static constexpr long kTimedOut = -1;
    long SendWithin(const void* data, size_t length);
    long SendFileWithin(int fileDescriptor, int64_t& offset, size_t count);
    long ReceiveWithin(void* buffer, size_t capacity, bool waitForAll);
    // Receives until the buffer is full or a receive gives 0 or fails; the count so far.
    int ReceiveAll(void* buffer, size_t capacity);

    // Waits until the socket is readable (data, end of stream or error). False when waiting failed.
    bool IsReadable();
    // The same with a time-out in milliseconds: false when it passed first.
    bool WaitReadable(int timeoutMs);
    // Waits until the socket can take more bytes (or is in error); false when `timeoutMs` passed first.
    bool WaitWritable(int timeoutMs);

    bool SetNoDelay();
    // Sets both time-outs; values the socket already has are not set again (every request of a
    // connection sets the same ones).
    bool SetTimeouts(int receiveMs, int sendMs);
    // The receive time-out last set through SetTimeouts (0: none), -1 when unknown.
    int GetReceiveTimeoutMs() const { return m_receiveTimeoutMs; }

    bool GetPeerAddress(std::string& address, uint16_t& port) const;
    // The peer's dotted address, "" on failure. A connection's peer never changes, so it is asked once.
    std::string GetPeerIP() const;

protected:
    void ForgetHandleState() override;

private:
    [[noreturn]] void ThrowLastError() const;
    // A failed call's result: kTimedOut when the socket's time-out passed, else it throws.
    long TimedOutOrThrow() const;
    // Throws for a kTimedOut result, else gives it.
    long ThrowOnTimeOut(long result) const;
    // Resolves "host[:port]" as Connect takes it.
    static bool ResolveHostText(std::string_view hostText, uint16_t defaultPort, uint32_t& address,
                                uint16_t& port);

    int m_receiveTimeoutMs = -1;
    int m_sendTimeoutMs = -1;
    mutable std::string m_peerIP; // "" until asked successfully
};

class TCPServerSocket : public Socket {
public:
    TCPServerSocket() = default;
    ~TCPServerSocket() override;

    // Listens on INADDR_ANY:port (0: a free port of the system's choice), with SO_REUSEADDR.
    bool Listen(uint16_t port);
    // On success the child holds the new connection; `peerAddress`, when given, receives the client's
    // IPv4 address (network byte order).
    bool Accept(TCPSocket& child, uint32_t* peerAddress = nullptr);
    // Closes every connection still waiting in the backlog, then the listener.
    void Close() override;
    // The port actually listened on; -1 without a listener.
    int GetLocalPort() const;
};

} // namespace Vuxo
