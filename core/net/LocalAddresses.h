// The addresses of this host as the server settings and the public-address thread show them.
// Stateless; safe from any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace Vuxo {

// The dotted IPv4 addresses of this host (interfaces that are up; loopback only when there is no other).
// The list is cleared first.
void GetLocalIPv4Addresses(std::vector<std::string>& addresses);

// The dotted local address of a TCP connection to host:80; "?.?.?.?" when it cannot be made.
std::string GetLocalAddressToward(std::string_view host);

} // namespace Vuxo
