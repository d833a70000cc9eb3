// The maker's web service as the server object reaches it: its build-time address, the three request
// paths, and the short replies they give. The address is handed to the server object through its
// options; only the program's entry may replace it (CORVANTA_SERVICE). Constants and stateless helpers.
#pragma once

#include <string>
#include <string_view>

namespace Vuxo {

class HttpConnection;

// host[:port] of the maker's service in a build of the program.
constexpr const char* kDefaultServiceAddress = "corvanta.example";
// Where a newer revision of the program can be fetched.
constexpr const char* kMakerHomepage = "https://corvanta.example/";

constexpr const char* kPublicAddressPath = "/corvanta/check/ipaddr.php";
constexpr const char* kRevisionPath = "/corvanta/check/revision.php";
constexpr const char* kRunningCheckPath = "/corvanta/check/runningcheck.php";

// "http://" + address + path.
std::string MakeServiceUrl(std::string_view serviceAddress, std::string_view path);

// The start of a reply body as the service's answers are read: at most 199 bytes, and only up to the
// first NUL. Throws what the connection throws.
std::string ReadShortReply(HttpConnection& connection);

} // namespace Vuxo
