#include "core/http/HeaderParsing.h"

#include "core/text/StringHelpers.h"
#include "core/text/UrlCoding.h"

#include <cstring>

namespace Vuxo {

namespace {

constexpr std::string_view kBlanks = "\r\n\t ";

void SkipSpace(std::string_view text, size_t& pos) {
    while (pos < text.size() && IsSpace(text[pos])) {
        ++pos;
    }
}

std::string NextWord(std::string_view text, size_t& pos) {
    SkipSpace(text, pos);
    size_t start = pos;
    while (pos < text.size() && !IsSpace(text[pos])) {
        ++pos;
    }
    return std::string(text.substr(start, pos - start));
}

constexpr bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// A CR or LF that is not one half of a CR LF. The head ends before the CR LF CR LF that closes it, so a CR
// at its very end is bare too.
bool HasBareLineBreak(std::string_view text) {
    for (size_t at = text.find('\n'); at != std::string_view::npos; at = text.find('\n', at + 1)) {
        if (at == 0 || text[at - 1] != '\r') {
            return true;
        }
    }
    for (size_t at = text.find('\r'); at != std::string_view::npos; at = text.find('\r', at + 1)) {
        if (at + 1 == text.size() || text[at + 1] != '\n') {
            return true;
        }
    }
    return false;
}

std::string Trimmed(std::string_view text) {
    std::string s(text);
    Trim(s, kBlanks);
    return s;
}

void StoreFirst(HttpFieldMap& map, std::string name, std::string value) {
    map.emplace(std::move(name), std::move(value)); // emplace keeps an existing entry
}

} // namespace

int FindHeaderEnd(const char* bytes, size_t length, size_t added) {
    if (added > length || length < 4) {
        return -1;
    }
    size_t before = length - added;
    size_t start = before > 3 ? before - 3 : 0;
    const void* hit = ::memmem(bytes + start, length - start, "\r\n\r\n", 4);
    return hit == nullptr ? -1 : static_cast<int>(static_cast<const char*>(hit) - bytes);
}

int FindLineEnd(const char* bytes, size_t length, size_t n) {
    if (n > length || n < 2) {
        return -1;
    }
    size_t start = length - n;
    const void* hit = ::memmem(bytes + start, n, "\r\n", 2);
    return hit == nullptr ? -1 : static_cast<int>(static_cast<const char*>(hit) - bytes);
}

std::string GetHeaderName(std::string_view line, std::string_view delimiter) {
    size_t at = line.find(delimiter);
    if (at == std::string_view::npos) {
        return {};
    }
    std::string name = Trimmed(line.substr(0, at));
    ToUpper(name);
    return name;
}

std::string GetHeaderValue(std::string_view line, std::string_view delimiter) {
    size_t at = line.find(delimiter);
    if (at == std::string_view::npos) {
        return {};
    }
    return Trimmed(line.substr(at + delimiter.size()));
}

void ParseRequestHead(std::string_view text, RequestHead& head) {
    const auto fault = [&head](const char* why) {
        if (head.fault == nullptr) {
            head.fault = why;
        }
    };
    if (HasBareLineBreak(text)) {
        fault("bare line break");
    }
    size_t pos = 0;
    head.methodWord = NextWord(text, pos);
    head.uri = NextWord(text, pos);
    head.version = NextWord(text, pos);
    // The end of the request line; words beyond the third are read as a line of their own.
    while (pos < text.size() && (IsBlank(text[pos]) || text[pos] == '\r')) {
        ++pos;
    }
    if (pos < text.size() && text[pos] == '\n') {
        ++pos;
    }
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (line.empty() || line == "\r") {
            continue;
        }
        if (IsBlank(line.front())) {
            fault("folded header line"); // a continuation, or a blank line before the first field
        }
        const size_t colon = line.find(':');
        if (colon != std::string_view::npos && colon > 0 && IsBlank(line[colon - 1])) {
            fault("blank before a colon");
        }
        std::string name;
        std::string value;
        if (colon != std::string_view::npos) {
            name = Trimmed(line.substr(0, colon));
            ToUpper(name);
            value = Trimmed(line.substr(colon + 1));
        }
        if (head.headers.count(name) != 0) {
            head.repeatedNames.push_back(std::move(name));
        } else {
            head.headers.emplace(std::move(name), std::move(value));
        }
    }
}

bool TakeOriginForm(std::string& target, std::string& authority) {
    if (!target.empty() && target.front() == '/') {
        return true;
    }
    std::string_view rest(target);
    if (EqualsIgnoringCase(rest.substr(0, 7), "http://")) {
        rest.remove_prefix(7);
    } else if (EqualsIgnoringCase(rest.substr(0, 8), "https://")) {
        rest.remove_prefix(8);
    } else {
        return false;
    }
    const size_t end = rest.find_first_of("/?");
    const std::string_view host = rest.substr(0, end);
    if (host.empty() || host.find('@') != std::string_view::npos) {
        return false; // user info in a request is an error (RFC 9110 4.2.4)
    }
    std::string origin = end == std::string_view::npos || rest[end] == '?' ? "/" : "";
    if (end != std::string_view::npos) {
        origin.append(rest.substr(end));
    }
    authority.assign(host);
    target = std::move(origin);
    return true;
}

int MethodNumber(std::string_view methodWord) {
    if (methodWord == "GET") {
        return kHttpGet;
    }
    if (methodWord == "POST") {
        return kHttpPost;
    }
    return kHttpOtherMethod;
}

std::string DecodeRequestPath(std::string_view uri) {
    size_t q = uri.find('?');
    if (q == std::string_view::npos) {
        q = uri.size();
    }
    if (q <= 1) {
        return {};
    }
    return UrlDecode(uri.substr(1, q - 1));
}

void ParseQueryString(std::string_view uri, HttpFieldMap& query) {
    size_t q = uri.find('?');
    if (q == std::string_view::npos) {
        return;
    }
    std::string_view rest = uri.substr(q + 1);
    while (true) {
        size_t amp = rest.find('&');
        std::string_view piece = rest.substr(0, amp);
        if (!piece.empty()) {
            size_t eq = piece.find('=');
            std::string name = Trimmed(piece.substr(0, eq));
            std::string value = eq == std::string_view::npos ? std::string() : Trimmed(piece.substr(eq + 1));
            StoreFirst(query, FormDecode(name), FormDecode(value));
        }
        if (amp == std::string_view::npos) {
            break;
        }
        rest = rest.substr(amp + 1);
    }
}

void ParseFormBody(std::string_view body, HttpFieldMap& form) {
    while (!body.empty()) {
        size_t amp = body.find('&');
        std::string_view piece = body.substr(0, amp);
        body = amp == std::string_view::npos ? std::string_view() : body.substr(amp + 1);
        if (piece.empty()) {
            continue;
        }
        std::string_view name = piece;
        std::string_view value;
        if (piece.back() == '=') {
            name = piece.substr(0, piece.size() - 1);
        } else if (size_t eq = piece.find('='); eq != std::string_view::npos) {
            name = piece.substr(0, eq);
            value = piece.substr(eq + 1);
        }
        // A body ending in CR LF must not leave them in its last value.
        StoreFirst(form, FormDecode(Trimmed(name)),
                   value.empty() ? std::string() : FormDecode(Trimmed(value)));
    }
}

std::string GetMultipartBoundary(std::string_view contentType) {
    constexpr std::string_view kKey = "boundary=";
    size_t at = FindIgnoringCase(contentType, kKey);
    if (at == std::string_view::npos) {
        return {};
    }
    std::string_view rest = contentType.substr(at + kKey.size());
    std::string boundary = Trimmed(rest.substr(0, rest.find(';')));
    if (boundary.size() >= 2 && boundary.front() == '"' && boundary.back() == '"') {
        boundary = boundary.substr(1, boundary.size() - 2);
    }
    return boundary;
}

} // namespace Vuxo
