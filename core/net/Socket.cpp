#include "core/net/Socket.h"

#include "core/net/SocketError.h"
#include "core/text/StringHelpers.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace Vuxo {

namespace {

constexpr size_t kMaxTransfer = INT_MAX; // the counts are ints

// A receive or send that gave "would block" on a blocking socket ran into its time-out.
int MapTimeout(Net::Handle handle, int code) {
    if (code == Net::kErrWouldBlock && !Net::IsNonBlocking(handle)) {
        return Net::kErrTimedOut;
    }
    return code;
}

} // namespace

void SocketStartup() {
    Net::IgnoreBrokenPipe();
    Net::RaiseDescriptorLimit();
}

bool SetNonBlocking(Net::Handle handle, bool on) {
    return Net::SetNonBlocking(handle, on);
}

// ---- Socket ----

Socket::~Socket() {
    Socket::Close();
}

void Socket::Close() {
    if (m_handle != Net::kNoHandle) {
        Net::CloseHandle(m_handle);
        m_handle = Net::kNoHandle;
        ForgetHandleState();
    }
}

void Socket::Attach(Net::Handle handle) {
    if (handle != m_handle) {
        Close();
        m_handle = handle;
        ForgetHandleState();
    }
}

Net::Handle Socket::Detach() {
    Net::Handle h = m_handle;
    m_handle = Net::kNoHandle;
    ForgetHandleState();
    return h;
}

long Socket::SendRaw(const void* data, size_t length, int flags) {
    return Net::Send(m_handle, data, length, flags);
}

long Socket::ReceiveRaw(void* buffer, size_t capacity, int flags) {
    return Net::Receive(m_handle, buffer, capacity, flags);
}

bool Socket::SetNonBlocking(bool on) {
    return IsValid() && Net::SetNonBlocking(m_handle, on);
}

int Socket::Bind(uint16_t port) {
    return Net::BindAny(m_handle, port);
}

bool Socket::GetLocalAddress(std::string& address, uint16_t& port) const {
    auto e = Net::LocalEndpoint(m_handle);
    if (!e) {
        return false;
    }
    address = Net::DottedText(e->address);
    port = e->port;
    return true;
}

bool Socket::Shutdown() {
    return IsValid() && Net::ShutdownBoth(m_handle);
}

bool Socket::Abort() {
    return IsValid() && Net::Abort(m_handle);
}

// ---- TCPSocket ----

TCPSocket::~TCPSocket() = default;

bool TCPSocket::Create() {
    Close();
    m_handle = Net::OpenTcp();
    if (m_handle == Net::kNoHandle) {
        return false;
    }
    Net::SetNoDelay(m_handle);
    return true;
}

bool TCPSocket::BindLocal(const std::string& dottedAddress) {
    auto address = Net::ParseDotted(dottedAddress);
    return IsValid() && address && Net::Bind(m_handle, *address, 0) == 0;
}

bool TCPSocket::ParseHostText(std::string_view hostText, uint16_t defaultPort, std::string& host,
                              uint16_t& port) {
    std::string text(hostText);
    Trim(text, "\r\n\t ");
    host = text;
    long number = defaultPort;
    if (auto colon = text.find(':'); colon != std::string::npos) {
        host = text.substr(0, colon);
        std::string digits = text.substr(colon + 1);
        errno = 0;
        number = std::strtol(digits.c_str(), nullptr, 10);
        if (errno == ERANGE) {
            return false;
        }
    }
    if (number < 1 || number > 65535) {
        return false;
    }
    port = static_cast<uint16_t>(number);
    return true;
}

bool TCPSocket::ResolveHostText(std::string_view hostText, uint16_t defaultPort, uint32_t& address,
                                uint16_t& port) {
    std::string host;
    if (!ParseHostText(hostText, defaultPort, host, port)) {
        return false;
    }
    int error = 0;
    auto resolved = Net::ResolveIPv4(host, error);
    if (!resolved) {
        return false;
    }
    address = *resolved;
    return true;
}

bool TCPSocket::Connect(std::string_view hostText, uint16_t defaultPort) {
    uint32_t address = 0;
    uint16_t port = 0;
    return IsValid() && ResolveHostText(hostText, defaultPort, address, port) &&
           Net::Connect(m_handle, address, port);
}

bool TCPSocket::Connect(uint32_t address, uint16_t port, int timeoutMs, Net::Handle wake) {
    return IsValid() && Net::ConnectWithin(m_handle, address, port, timeoutMs, wake);
}

void TCPSocket::ThrowLastError() const {
    throw socket_exception::FromCode(MapTimeout(m_handle, Net::LastError()));
}

int TCPSocket::Send(const void* data, size_t length) {
    return static_cast<int>(ThrowOnTimeOut(SendWithin(data, length)));
}

int TCPSocket::Receive(void* buffer, size_t capacity) {
    return static_cast<int>(ThrowOnTimeOut(ReceiveWithin(buffer, capacity, false)));
}

int TCPSocket::ReceiveWaitingForAll(void* buffer, size_t capacity) {
    return static_cast<int>(ThrowOnTimeOut(ReceiveWithin(buffer, capacity, true)));
}

size_t TCPSocket::SendFile(int fileDescriptor, int64_t& offset, size_t count) {
    return static_cast<size_t>(ThrowOnTimeOut(SendFileWithin(fileDescriptor, offset, count)));
}

long TCPSocket::ThrowOnTimeOut(long result) const {
    if (result == kTimedOut) {
        ThrowLastError(); // errno still tells why ("would block" on a non-blocking socket)
    }
    return result;
}

long TCPSocket::TimedOutOrThrow() const {
    if (Net::LastError() == Net::kErrWouldBlock) {
        return kTimedOut;
    }
    ThrowLastError();
}

long TCPSocket::SendWithin(const void* data, size_t length) {
    if (length == 0) {
        return 0;
    }
    long n = Net::Send(m_handle, data, length < kMaxTransfer ? length : kMaxTransfer, 0);
    if (n == 0) {
        throw socket_exception::FromCode(Net::kErrShutdown);
    }
    return n > 0 ? n : TimedOutOrThrow();
}

long TCPSocket::SendFileWithin(int fileDescriptor, int64_t& offset, size_t count) {
    long n = Net::SendFile(m_handle, fileDescriptor, offset, count);
    return n >= 0 ? n : TimedOutOrThrow();
}

long TCPSocket::ReceiveWithin(void* buffer, size_t capacity, bool waitForAll) {
    if (capacity == 0) {
        return 0;
    }
    capacity = capacity < kMaxTransfer ? capacity : kMaxTransfer;
    long n = waitForAll ? Net::ReceiveWaitingForAll(m_handle, buffer, capacity)
                        : Net::Receive(m_handle, buffer, capacity, 0);
    if (n == 0) {
        throw socket_exception("Connection closed");
    }
    return n > 0 ? n : TimedOutOrThrow();
}

int TCPSocket::ReceiveAll(void* buffer, size_t capacity) {
    auto* bytes = static_cast<char*>(buffer);
    size_t held = 0;
    capacity = capacity < kMaxTransfer ? capacity : kMaxTransfer;
    while (held < capacity) {
        long n = Net::Receive(m_handle, bytes + held, capacity - held, 0);
        if (n <= 0) {
            break;
        }
        held += static_cast<size_t>(n);
    }
    return static_cast<int>(held);
}

bool TCPSocket::IsReadable() {
    return Net::WaitReadable(m_handle, Net::kNoHandle, -1) == Net::WaitResult::Ready;
}

bool TCPSocket::WaitReadable(int timeoutMs) {
    return Net::WaitReadable(m_handle, Net::kNoHandle, timeoutMs < 0 ? 0 : timeoutMs) ==
           Net::WaitResult::Ready;
}

bool TCPSocket::WaitWritable(int timeoutMs) {
    return Net::WaitWritable(m_handle, timeoutMs < 0 ? 0 : timeoutMs) == Net::WaitResult::Ready;
}

bool TCPSocket::SetNoDelay() {
    return IsValid() && Net::SetNoDelay(m_handle);
}

bool TCPSocket::SetTimeouts(int receiveMs, int sendMs) {
    if (receiveMs != m_receiveTimeoutMs) {
        m_receiveTimeoutMs = Net::SetReceiveTimeout(m_handle, receiveMs) ? std::max(receiveMs, 0) : -1;
    }
    if (sendMs != m_sendTimeoutMs) {
        m_sendTimeoutMs = Net::SetSendTimeout(m_handle, sendMs) ? std::max(sendMs, 0) : -1;
    }
    return m_receiveTimeoutMs >= 0 && m_sendTimeoutMs >= 0;
}

void TCPSocket::ForgetHandleState() {
    m_receiveTimeoutMs = -1;
    m_sendTimeoutMs = -1;
    m_peerIP.clear();
}

bool TCPSocket::GetPeerAddress(std::string& address, uint16_t& port) const {
    auto e = Net::PeerEndpoint(m_handle);
    if (!e) {
        return false;
    }
    address = Net::DottedText(e->address);
    port = e->port;
    return true;
}

std::string TCPSocket::GetPeerIP() const {
    if (m_peerIP.empty()) {
        uint16_t port = 0;
        std::string address;
        if (GetPeerAddress(address, port)) {
            m_peerIP = std::move(address);
        }
    }
    return m_peerIP;
}

// ---- TCPServerSocket ----

TCPServerSocket::~TCPServerSocket() {
    TCPServerSocket::Close();
}

bool TCPServerSocket::Listen(uint16_t port) {
    Close();
    m_handle = Net::OpenTcp();
    if (m_handle == Net::kNoHandle) {
        return false;
    }
    // Without it a restart on the same port fails while old connections linger in TIME_WAIT.
    Net::SetReuseAddress(m_handle);
    if (Bind(port) != 0 || !Net::Listen(m_handle)) {
        Close();
        return false;
    }
    return true;
}

bool TCPServerSocket::Accept(TCPSocket& child, uint32_t* peerAddress) {
    Net::IPv4Endpoint peer;
    Net::Handle h = Net::Accept(m_handle, peerAddress != nullptr ? &peer : nullptr);
    if (h == Net::kNoHandle) {
        return false;
    }
    if (peerAddress != nullptr) {
        *peerAddress = peer.address;
    }
    child.Attach(h);
    Net::SetNoDelay(h);
    return true;
}

void TCPServerSocket::Close() {
    if (m_handle == Net::kNoHandle) {
        return;
    }
    // Connections still waiting in the backlog are closed rather than left unanswered.
    Net::SetNonBlocking(m_handle, true);
    for (Net::Handle h; (h = Net::Accept(m_handle)) != Net::kNoHandle;) {
        Net::CloseHandle(h);
    }
    Socket::Close();
}

int TCPServerSocket::GetLocalPort() const {
    auto e = Net::LocalEndpoint(m_handle);
    return e ? e->port : -1;
}

} // namespace Vuxo
