#include "core/text/HostSyntax.h"

#include <algorithm>
#include <string_view>

namespace Vuxo {

namespace {

constexpr bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

constexpr bool IsHexDigit(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// unreserved / sub-delims of RFC 3986.
bool IsRegNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || IsDigit(c) ||
           std::string_view("-._~!$&'()*+,;=").find(c) != std::string_view::npos;
}

bool IsRegName(std::string_view name) {
    for (size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '%') {
            if (i + 2 >= name.size() || !IsHexDigit(name[i + 1]) || !IsHexDigit(name[i + 2])) {
                return false;
            }
            i += 2;
        } else if (!IsRegNameCharacter(name[i])) {
            return false;
        }
    }
    return !name.empty();
}

// The inside of "[...]": hexadecimal groups, colons and a dotted IPv4 tail; no zone, no IPvFuture.
bool IsIpv6Literal(std::string_view text) {
    if (text.size() < 2 || text.size() > 45 || text.find(':') == std::string_view::npos) {
        return false;
    }
    for (char c : text) {
        if (!IsHexDigit(c) && c != ':' && c != '.') {
            return false;
        }
    }
    return true;
}

bool IsPort(std::string_view text) {
    if (text.empty() || text.size() > 5) {
        return false;
    }
    unsigned value = 0;
    for (char c : text) {
        if (!IsDigit(c)) {
            return false;
        }
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value <= 65535;
}

} // namespace

bool IsValidHostAndPort(std::string_view text) {
    size_t hostEnd = 0; // where the host ends: the end of the text, or a ":" before the port
    if (!text.empty() && text.front() == '[') {
        const size_t close = text.find(']');
        if (close == std::string_view::npos || !IsIpv6Literal(text.substr(1, close - 1))) {
            return false;
        }
        hostEnd = close + 1;
        if (hostEnd < text.size() && text[hostEnd] != ':') {
            return false;
        }
    } else {
        hostEnd = std::min(text.rfind(':'), text.size());
        if (!IsRegName(text.substr(0, hostEnd))) {
            return false;
        }
    }
    return hostEnd == text.size() || IsPort(text.substr(hostEnd + 1));
}

} // namespace Vuxo
