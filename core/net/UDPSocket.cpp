#include "core/net/UDPSocket.h"

namespace Vuxo {

UDPSocket::~UDPSocket() = default;

bool UDPSocket::Create(uint16_t port) {
    Close();
    m_handle = Net::OpenUdp();
    if (m_handle == Net::kNoHandle) {
        return false;
    }
    if (Bind(port) != 0) {
        Close();
        return false;
    }
    return true;
}

bool UDPSocket::SetDestination(std::string_view host, uint16_t port) {
    int error = 0;
    auto address = Net::ResolveIPv4(std::string(host), error);
    if (!address) {
        return false;
    }
    m_peer = {*address, port};
    return true;
}

long UDPSocket::SendTo(const void* data, size_t length, int flags) {
    return Net::SendTo(m_handle, data, length, flags, m_peer);
}

long UDPSocket::ReceiveFrom(void* buffer, size_t capacity, int flags) {
    return Net::ReceiveFrom(m_handle, buffer, capacity, flags, m_peer);
}

long UDPSocket::ReceiveFrom(void* buffer, size_t capacity, int flags, std::string& senderAddress,
                            uint16_t& senderPort) {
    long n = ReceiveFrom(buffer, capacity, flags);
    if (n >= 0) {
        senderAddress = Net::DottedText(m_peer.address);
        senderPort = m_peer.port;
    }
    return n;
}

} // namespace Vuxo
