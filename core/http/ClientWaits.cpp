#include "core/http/ClientWaits.h"

#include "core/http/AddressCounts.h"
#include "core/net/Socket.h"
#include "core/net/SocketError.h"
#include "core/transfer/Clock.h"

#include <algorithm>

namespace Vuxo {

namespace {

// The stalled place is held only while the connection waits.
class StalledPlace {
public:
    explicit StalledPlace(AddressPlaces* places)
        : m_places(places), m_taken(places == nullptr || places->Take(AddressState::Stalled)) {}
    ~StalledPlace() {
        if (m_places != nullptr) {
            m_places->Give(AddressState::Stalled);
        }
    }
    StalledPlace(const StalledPlace&) = delete;
    StalledPlace& operator=(const StalledPlace&) = delete;
    bool IsTaken() const { return m_taken; }

private:
    AddressPlaces* m_places;
    bool m_taken;
};

} // namespace

ClientWaits::ClientWaits(TCPSocket& socket, const ConnectionTimeouts& timeouts, AddressPlaces* places,
                         Clock& clock)
    : m_socket(socket), m_timeouts(timeouts), m_places(places), m_clock(clock) {}

size_t ClientWaits::Send(const void* data, size_t length) {
    for (;;) {
        const long sent = m_socket.SendWithin(data, length);
        if (sent != TCPSocket::kTimedOut) {
            return static_cast<size_t>(sent);
        }
        WaitToSend();
    }
}

size_t ClientWaits::SendFile(int fileDescriptor, int64_t& offset, size_t count) {
    for (;;) {
        const long sent = m_socket.SendFileWithin(fileDescriptor, offset, count);
        if (sent != TCPSocket::kTimedOut) {
            return static_cast<size_t>(sent);
        }
        WaitToSend();
    }
}

void ClientWaits::WaitToSend() {
    if (!WaitOnClient(true, m_timeouts.ioMs)) {
        m_socket.Abort();
        throw socket_exception::FromCode(Net::kErrTimedOut);
    }
}

size_t ClientWaits::Receive(void* buffer, size_t capacity, bool whole) {
    // Short waits in the receive itself, so that a client that sends nothing is noticed.
    const int stallMs = std::max(m_timeouts.stallMs, 1); // 0 would be no time-out at all
    m_socket.SetTimeouts(stallMs, stallMs);
    int64_t silentMs = 0;
    for (;;) {
        int64_t start = m_clock.NowMs();
        const long received = m_socket.ReceiveWithin(buffer, capacity, whole);
        int64_t waited = m_clock.NowMs() - start;
        CountBody(waited, received > 0 ? static_cast<size_t>(received) : 0);
        if (received > 0) {
            return static_cast<size_t>(received);
        }
        silentMs += waited;
        // Woken at the window's end too, so that a body too slow is ended then and not a byte later.
        const int64_t windowLeft =
            m_timeouts.bodyWindowMs > 0 ? m_timeouts.bodyWindowMs - m_windowWaitedMs : m_timeouts.ioMs;
        start = m_clock.NowMs();
        const bool ready =
            WaitOnClient(false, std::max<int64_t>(std::min(m_timeouts.ioMs - silentMs, windowLeft), 1));
        waited = m_clock.NowMs() - start;
        silentMs += waited;
        CountBody(waited, 0);
        if (!ready && silentMs >= m_timeouts.ioMs) {
            throw socket_exception::FromCode(Net::kErrTimedOut);
        }
    }
}

bool ClientWaits::WaitOnClient(bool toSend, int64_t limitMs) {
    StalledPlace place(m_places);
    if (!place.IsTaken()) {
        if (toSend) {
            m_socket.Abort();
        }
        throw socket_exception("Too many stalled connections from this address");
    }
    const int limit = static_cast<int>(std::clamp<int64_t>(limitMs, 0, INT32_MAX));
    return toSend ? m_socket.WaitWritable(limit) : m_socket.WaitReadable(limit);
}

void ClientWaits::CountBody(int64_t waitedMs, size_t bytes) {
    if (m_timeouts.bodyWindowMs <= 0 || m_timeouts.bodyMinRate <= 0) {
        return;
    }
    m_windowWaitedMs += std::max<int64_t>(waitedMs, 0);
    m_windowBytes += static_cast<int64_t>(bytes);
    if (m_windowWaitedMs < m_timeouts.bodyWindowMs) {
        return;
    }
    if (m_windowBytes * 1000 < static_cast<int64_t>(m_timeouts.bodyMinRate) * m_windowWaitedMs) {
        throw socket_exception("Request body too slow");
    }
    m_windowWaitedMs = 0;
    m_windowBytes = 0;
}

} // namespace Vuxo
