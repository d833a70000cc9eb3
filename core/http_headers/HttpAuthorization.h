// The credentials of a request's "Authorization" header and the challenge of a 401 answer.
// Only HTTP Basic is ever accepted: a Digest header is recognised but never matches, any other scheme
// gives no credentials. One record per request, owned by the HttpRequest and used on its thread; no lock.
#pragma once

#include <string>
#include <string_view>

namespace Vuxo {

class HttpAuthorization {
public:
    static constexpr int kSchemeNone = -1;
    static constexpr int kSchemeBasic = 0;
    static constexpr int kSchemeDigest = 1;

    HttpAuthorization() = default;
    // Parses the header value.
    explicit HttpAuthorization(std::string_view headerValue) { Parse(headerValue); }

    // "<scheme word> <credentials>"; the word in any letter case.
    void Parse(std::string_view headerValue);
    // Base64 of "user:password", split at the first colon (the password may hold colons). Text that is
    // not Base64 or has no colon gives no credentials (no scheme).
    void ParseBasic(std::string_view credentials);
    // Marks the record as Digest; Digest credentials are never read.
    void ParseDigest(std::string_view credentials);

    // True only for Basic credentials equal to these, byte for byte; an empty user name never matches.
    bool Check(const std::string& user, const std::string& password) const;
    bool CheckBasic(const std::string& user, const std::string& password) const;

    std::string GetUserName() const { return m_user; }
    const std::string& GetPassword() const { return m_password; }
    int GetScheme() const { return m_scheme; }

private:
    void Clear();

    std::string m_user;
    std::string m_password;
    int m_scheme = kSchemeNone;
};

// "WWW-Authenticate"
const char* GetAuthenticateHeaderName();

// The challenge for a scheme: Basic gives `Basic realm="<realm>"`, Digest the same after "Digest ", any
// other scheme "". A quote or backslash in the realm is escaped and line breaks are dropped, so the value
// always stays one well-formed header line.
std::string MakeAuthenticateChallenge(std::string_view realm, int scheme);

} // namespace Vuxo
