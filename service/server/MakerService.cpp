#include "service/server/MakerService.h"

#include "core/http_client/HttpConnection.h"

#include <cstring>

namespace Vuxo {

namespace {

constexpr unsigned kReplyBuffer = 200;

} // namespace

std::string MakeServiceUrl(std::string_view serviceAddress, std::string_view path) {
    std::string url = "http://";
    url += serviceAddress;
    url += path;
    return url;
}

std::string ReadShortReply(HttpConnection& connection) {
    char buffer[kReplyBuffer];
    unsigned held = 0;
    for (unsigned got;
         held < kReplyBuffer && (got = connection.Read(buffer + held, kReplyBuffer - held)) > 0;) {
        held += got;
    }
    // The last byte of the buffer is its terminator.
    const size_t length = held < kReplyBuffer ? held : kReplyBuffer - 1;
    return std::string(buffer, ::strnlen(buffer, length));
}

} // namespace Vuxo
