// The syntax of the host a client names in its Host header (RFC 9110 7.2, RFC 3986 3.2.2), checked before
// the text is written back into anything (a playlist's URLs). Stateless; safe from any thread.
#pragma once

#include <string_view>

namespace Vuxo {

// True for a host and an optional port: a reg-name (letters, digits, "-._~", "!$&'()*+,;=" and %XX, which
// takes dotted IPv4 addresses in) or an IPv6 address in brackets, then optionally ":" and 1-5 digits up to
// 65535. The empty text, blanks, quotes, "<>", "/", "@" and control characters are never part of one.
bool IsValidHostAndPort(std::string_view text);

} // namespace Vuxo
