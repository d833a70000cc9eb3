#include "service/dispatch/RequestOrigin.h"

#include "core/text/StringHelpers.h"
#include "service/dispatch/MapHelpers.h"

#include <string>
#include <string_view>

namespace Vuxo {

namespace {

struct Authority {
    std::string host; // letters folded
    std::string port; // "" when not written
};

// "host", "host:port", "[v6]" or "[v6]:port".
Authority SplitAuthority(std::string_view text) {
    Authority out;
    size_t colon = text.rfind(':');
    if (colon != std::string_view::npos && text.find(']', colon) != std::string_view::npos) {
        colon = std::string_view::npos; // the colons of an IPv6 address
    }
    out.host = std::string(text.substr(0, colon));
    ToLower(out.host);
    if (colon != std::string_view::npos) {
        out.port = std::string(text.substr(colon + 1));
    }
    return out;
}

std::string DefaultPort(std::string_view scheme) {
    if (EqualsIgnoringCase(scheme, "http")) {
        return "80";
    }
    return EqualsIgnoringCase(scheme, "https") ? "443" : std::string();
}

// The URL's host and port are the Host header's (a port left out is the scheme's in the URL, 80 in the
// Host header). "null", and any text that is not an http or https URL, matches nothing.
bool IsSameAuthority(std::string_view url, std::string_view hostHeader) {
    const size_t schemeEnd = url.find("://");
    if (schemeEnd == std::string_view::npos) {
        return false;
    }
    const std::string defaultPort = DefaultPort(url.substr(0, schemeEnd));
    std::string_view authority = url.substr(schemeEnd + 3);
    authority = authority.substr(0, authority.find_first_of("/?#"));
    const size_t at = authority.rfind('@');
    if (at != std::string_view::npos) {
        authority.remove_prefix(at + 1);
    }
    Authority source = SplitAuthority(authority);
    Authority target = SplitAuthority(hostHeader);
    if (source.port.empty()) {
        source.port = defaultPort;
    }
    if (target.port.empty()) {
        target.port = "80"; // the server speaks plain HTTP
    }
    return !defaultPort.empty() && !source.host.empty() && source.host == target.host &&
           source.port == target.port;
}

} // namespace

bool ComesFromAnotherOrigin(const HttpFieldMap& headers) {
    std::string site;
    if (FindMapValue(headers, "SEC-FETCH-SITE", site)) {
        ToLower(site);
        if (site == "same-origin" || site == "none") {
            return false; // this server's own page, or the person typed the address or chose a bookmark
        }
        if (site == "cross-site" || site == "same-site") {
            return true; // another site, or another port or sub-domain of this one
        }
    }
    std::string source;
    if (!FindMapValue(headers, "ORIGIN", source) && !FindMapValue(headers, "REFERER", source)) {
        return false;
    }
    return !IsSameAuthority(source, GetMapValue(headers, "HOST"));
}

} // namespace Vuxo
