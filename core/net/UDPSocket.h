// A datagram socket bound to a local port with one stored peer address that sends go to and receives
// fill in. Part of the socket layer's interface; used by one thread at a time.
#pragma once

#include "core/net/Socket.h"

namespace Vuxo {

class UDPSocket : public Socket {
public:
    UDPSocket() = default;
    ~UDPSocket() override;

    // A datagram socket bound to INADDR_ANY:port; false (and nothing held) when the bind fails.
    bool Create(uint16_t port);
    // The stored peer: a dotted address, else a host look-up. False when the look-up fails.
    bool SetDestination(std::string_view host, uint16_t port);
    // To the stored peer; the result of the call (-1 on failure).
    long SendTo(const void* data, size_t length, int flags);
    // Fills the stored peer with the sender's address.
    long ReceiveFrom(void* buffer, size_t capacity, int flags);
    long ReceiveFrom(void* buffer, size_t capacity, int flags, std::string& senderAddress,
                     uint16_t& senderPort);

private:
    Net::IPv4Endpoint m_peer;
};

} // namespace Vuxo
