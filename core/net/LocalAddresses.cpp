#include "core/net/LocalAddresses.h"

#include "core/net/Socket.h"
#include "core/platform/net/SocketCalls.h"

namespace Vuxo {

void GetLocalIPv4Addresses(std::vector<std::string>& addresses) {
    addresses = Net::LocalIPv4Addresses();
}

std::string GetLocalAddressToward(std::string_view host) {
    TCPSocket socket;
    std::string address;
    uint16_t port = 0;
    if (!socket.Create() || !socket.Connect(host, 80) || !socket.GetLocalAddress(address, port)) {
        return "?.?.?.?";
    }
    return address;
}

} // namespace Vuxo
