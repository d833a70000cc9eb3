// The text side of reading an HTTP/1.1 request: finding the end of a header block, splitting header lines,
// the request line, the query string and a url-encoded form body. Pure functions over bytes already
// received (the connection thread does the reading), shared by the request parser, the multipart reader and
// the outgoing HTTP client. Stateless; safe from any thread.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace Vuxo {

// Header names in upper case -> values; the first value stored under a name is kept. Looked up by any
// string type (std::less<>), so a lookup by a literal builds no string.
using HttpFieldMap = std::map<std::string, std::string, std::less<>>;

// Method numbers of a request.
constexpr int kHttpGet = 0;
constexpr int kHttpPost = 1;
constexpr int kHttpOtherMethod = 2;

// Index of the first "\r\n\r\n" in bytes[0, length), -1 when absent or when `added` exceeds `length`.
// Only the last `added` bytes and the 3 before them are searched (the earlier ones were searched before), so
// a separator split across two reads is still found.
int FindHeaderEnd(const char* bytes, size_t length, size_t added);

// Index of the first "\r\n" within the last n bytes, -1 when absent or when n exceeds the length.
int FindLineEnd(const char* bytes, size_t length, size_t n);

// The text before the first `delimiter`, trimmed of "\r\n\t " and upper-cased; "" without the delimiter.
std::string GetHeaderName(std::string_view line, std::string_view delimiter);
// The text after the first `delimiter`, trimmed of "\r\n\t "; "" without the delimiter.
std::string GetHeaderValue(std::string_view line, std::string_view delimiter);

// What the request line and the header lines of one header block say.
struct RequestHead {
    std::string methodWord;
    std::string uri;
    std::string version;
    HttpFieldMap headers;
    // Names that came on more than one line (only the first value is in `headers`).
    std::vector<std::string> repeatedNames;
    // Why the head cannot be read only one way, or null: a CR or LF that is not part of a CR LF, a
    // folded line (one that starts with a blank), a blank between a name and its colon. Another reader
    // of such a head (a proxy in front) may see other lines, a body length included.
    const char* fault = nullptr;
};

// The three words of the request line (a missing word takes the next word of the text, across line ends),
// then every further line as "name: value". A line without ':' stores the empty name once.
void ParseRequestHead(std::string_view text, RequestHead& head);

// Makes the request target its origin form ("/path?query"): an absolute-form target
// ("http://host:port/path?query", http or https) becomes its path and query ("/" when the path is empty)
// and `authority` receives its "host:port". False for any other target (asterisk-form "*", a target
// without a leading "/", an empty or user-info authority): it names nothing here.
bool TakeOriginForm(std::string& target, std::string& authority);

// 0 for exactly "GET", 1 for exactly "POST", 2 for anything else.
int MethodNumber(std::string_view methodWord);

// The URI up to its first '?', without its first character, percent-decoded ('+' stays '+').
std::string DecodeRequestPath(std::string_view uri);

// The parameters after the URI's first '?', split at '&': names and values trimmed, then form-decoded;
// empty pieces are skipped; the first value of a name is kept.
void ParseQueryString(std::string_view uri, HttpFieldMap& query);

// A url-encoded form body: pieces split at '&' (empty ones vanish); names and values trimmed of "\r\n\t "
// and form-decoded; the first value of a name is kept.
void ParseFormBody(std::string_view body, HttpFieldMap& form);

// The boundary parameter of a multipart Content-Type value (after "boundary=", up to the next ';'),
// trimmed and without surrounding quotes; "" when there is none.
std::string GetMultipartBoundary(std::string_view contentType);

} // namespace Vuxo
