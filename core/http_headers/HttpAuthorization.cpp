#include "core/http_headers/HttpAuthorization.h"

#include "core/text/Base64.h"
#include "core/text/StringHelpers.h"

namespace Vuxo {

void HttpAuthorization::Clear() {
    m_user.clear();
    m_password.clear();
    m_scheme = kSchemeNone;
}

void HttpAuthorization::Parse(std::string_view headerValue) {
    Clear();
    size_t pos = 0;
    while (pos < headerValue.size() && IsSpace(headerValue[pos])) {
        ++pos;
    }
    const size_t wordStart = pos;
    while (pos < headerValue.size() && !IsSpace(headerValue[pos])) {
        ++pos;
    }
    std::string word(headerValue.substr(wordStart, pos - wordStart));
    ToUpper(word);
    while (pos < headerValue.size() && IsSpace(headerValue[pos])) {
        ++pos;
    }
    // The credentials run to the end of the line.
    std::string_view rest = headerValue.substr(pos);
    rest = rest.substr(0, rest.find_first_of("\r\n"));
    std::string credentials(rest);
    Trim(credentials, "\r\n\t ");

    if (word == "BASIC") {
        ParseBasic(credentials);
    } else if (word == "DIGEST") {
        ParseDigest(credentials);
    }
}

void HttpAuthorization::ParseBasic(std::string_view credentials) {
    Clear();
    const std::string decoded = Base64Decode(credentials);
    const size_t colon = decoded.find(':');
    if (colon == std::string::npos) {
        return; // not Base64, or no "user:password" inside: no credentials at all
    }
    m_scheme = kSchemeBasic;
    m_user = decoded.substr(0, colon);
    m_password = decoded.substr(colon + 1);
}

void HttpAuthorization::ParseDigest(std::string_view) {
    Clear();
    m_scheme = kSchemeDigest;
}

bool HttpAuthorization::Check(const std::string& user, const std::string& password) const {
    return m_scheme == kSchemeBasic && CheckBasic(user, password);
}

bool HttpAuthorization::CheckBasic(const std::string& user, const std::string& password) const {
    return !m_user.empty() && m_user == user && m_password == password;
}

const char* GetAuthenticateHeaderName() {
    return "WWW-Authenticate";
}

std::string MakeAuthenticateChallenge(std::string_view realm, int scheme) {
    std::string challenge;
    if (scheme == HttpAuthorization::kSchemeBasic) {
        challenge = "Basic ";
    } else if (scheme == HttpAuthorization::kSchemeDigest) {
        challenge = "Digest ";
    } else {
        return "";
    }
    challenge += "realm=\"";
    for (char c : realm) {
        if (c == '\r' || c == '\n') {
            continue;
        }
        if (c == '"' || c == '\\') {
            challenge += '\\';
        }
        challenge += c;
    }
    challenge += '"';
    return challenge;
}

} // namespace Vuxo
