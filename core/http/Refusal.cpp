#include "core/http/Refusal.h"

#include "core/net/Socket.h"

#include <string_view>

namespace Vuxo {

namespace {

constexpr std::string_view kAddressBusy = "HTTP/1.1 503 Service Unavailable\r\n"
                                          "Content-Type: text/plain\r\n"
                                          "Content-Length: 40\r\n"
                                          "X-Content-Type-Options: nosniff\r\n"
                                          "Connection:close\r\n\r\n"
                                          "Too many connections from this address.\n";

constexpr std::string_view kServerBusy = "HTTP/1.1 503 Service Unavailable\r\n"
                                         "Content-Type: text/plain\r\n"
                                         "Content-Length: 22\r\n"
                                         "X-Content-Type-Options: nosniff\r\n"
                                         "Connection:close\r\n\r\n"
                                         "Too many connections.\n";

} // namespace

void WriteRefusal(TCPSocket& socket, Refusal why) {
    const std::string_view answer = why == Refusal::AddressBusy ? kAddressBusy : kServerBusy;
    socket.SetNonBlocking(true);
    socket.SendRaw(answer.data(), answer.size(), 0);
    char discard[4096];
    socket.ReceiveRaw(discard, sizeof discard, 0); // a request already here would turn the close into a reset
}

} // namespace Vuxo
