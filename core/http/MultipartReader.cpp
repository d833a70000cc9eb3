#include "core/http/MultipartReader.h"

#include "core/http/DelimiterSearch.h"
#include "core/text/StringHelpers.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace Vuxo {

namespace {

constexpr std::string_view kBlanks = "\r\n\t ";

// Tokens of a Content-Disposition parameter list: ';' and '=' on their own, quoted runs without their
// quotes, and words (runs of anything else). Blanks before a token are skipped.
class DispositionTokens {
public:
    enum Kind { kEnd, kSemicolon, kEquals, kText };

    explicit DispositionTokens(std::string_view text) : m_text(text) {}

    Kind Next(std::string& token) {
        token.clear();
        while (m_pos < m_text.size() && (m_text[m_pos] == ' ' || m_text[m_pos] == '\t')) {
            ++m_pos;
        }
        if (m_pos >= m_text.size()) {
            return kEnd;
        }
        char c = m_text[m_pos];
        if (c == ';' || c == '=') {
            ++m_pos;
            return c == ';' ? kSemicolon : kEquals;
        }
        if (c == '"') {
            size_t close = m_text.find('"', m_pos + 1);
            if (close == std::string_view::npos) {
                m_pos = m_text.size(); // a quote that is never closed ends the list
                return kEnd;
            }
            token.assign(m_text.substr(m_pos + 1, close - m_pos - 1));
            m_pos = close + 1;
            return kText;
        }
        size_t start = m_pos;
        while (m_pos < m_text.size() && m_text[m_pos] != ';' && m_text[m_pos] != '=' &&
               m_text[m_pos] != '"') {
            ++m_pos;
        }
        token.assign(m_text.substr(start, m_pos - start));
        return kText;
    }

private:
    std::string_view m_text;
    size_t m_pos = 0;
};

std::string StripFolders(const std::string& name) {
    size_t slash = name.find_last_of("\\/");
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

} // namespace

void MultipartReader::Setup(std::string_view boundary, std::string_view initial, int64_t contentLength) {
    m_delimiter = boundary.empty() ? std::string() : "\r\n--" + std::string(boundary);
    contentLength = std::max<int64_t>(contentLength, 0);
    m_expected = contentLength > INT64_MAX - 2 ? INT64_MAX : contentLength + 2;
    size_t take = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(initial.size()), m_expected));
    m_buffer.assign(initial.begin(), initial.begin() + static_cast<std::ptrdiff_t>(take));
    m_begin = 0;
    m_end = take;
    m_searchFrom = 0;
    m_received = static_cast<int64_t>(take);
    m_ended = !IsActive();
    m_partName.clear();
    m_partHeaders.clear();
}

void MultipartReader::MakeRoom(size_t count) {
    if (m_buffer.size() - m_end >= count) {
        return;
    }
    size_t held = m_end - m_begin;
    if (m_begin > 0) {
        std::memmove(m_buffer.data(), m_buffer.data() + m_begin, held);
        m_begin = 0;
        m_end = held;
    }
    if (m_buffer.size() - m_end < count) {
        m_buffer.resize(held + count);
    }
}

bool MultipartReader::ReceiveMore(MultipartSource& source, size_t wanted) {
    if (m_received >= m_expected || wanted == 0) {
        return false;
    }
    size_t n = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(wanted), m_expected - m_received));
    MakeRoom(n);
    size_t got = std::min(source.ReceiveBody(m_buffer.data() + m_end, n), n);
    if (got == 0) {
        m_expected = m_received; // a source that gives nothing has no more body
        return false;
    }
    m_end += got;
    m_received += static_cast<int64_t>(got);
    return true;
}

void MultipartReader::Consume(size_t count) {
    count = std::min(count, m_end - m_begin);
    m_begin += count;
    m_searchFrom = m_searchFrom > count ? m_searchFrom - count : 0;
    if (m_begin == m_end) {
        m_begin = m_end = 0;
    }
}

long MultipartReader::Search() {
    return SearchIn(Held(), GetHeldCount(), m_searchFrom);
}

long MultipartReader::SearchIn(const char* data, size_t size, size_t& searchFrom) const {
    size_t d = m_delimiter.size();
    if (d == 0 || size < d) {
        return -1;
    }
    if (searchFrom + d <= size) {
        const char* hit = FindDelimiter(data + searchFrom, size - searchFrom, m_delimiter);
        if (hit != nullptr) {
            searchFrom = static_cast<size_t>(hit - data);
            return static_cast<long>(searchFrom);
        }
    }
    // Every start up to size - d is known not to match; only later ones can, once more bytes arrive.
    searchFrom = size - d + 1;
    return -1;
}

int MultipartReader::FindBoundary() {
    long h = Search();
    return h > INT_MAX ? INT_MAX : static_cast<int>(h);
}

void MultipartReader::EndParts() {
    m_ended = true;
    m_partName.clear();
    m_partHeaders.clear();
}

std::string MultipartReader::NextPart(MultipartSource& source) {
    m_partName.clear();
    m_partHeaders.clear();
    if (m_ended) {
        return {};
    }
    const size_t d = m_delimiter.size();
    long h;
    while ((h = Search()) < 0) {
        size_t held = GetHeldCount();
        if (held > d) {
            Consume(held - d); // keep what may be the start of a delimiter cut in two
        }
        if (!ReceiveMore(source, kReceiveChunk)) {
            break;
        }
    }
    if (h < 0) {
        EndParts(); // the body ended without a further delimiter
        return {};
    }
    size_t after = static_cast<size_t>(h) + d;
    while (GetHeldCount() <= after && ReceiveMore(source, kReceiveChunk)) {
    }
    if (GetHeldCount() <= after || Held()[after] == '-') {
        EndParts(); // the closing delimiter "--", or nothing after the delimiter at all
        return {};
    }
    Consume(after);
    if (!ReadPartHeaders(source)) {
        EndParts();
        return {};
    }
    auto name = m_partHeaders.find("NAME");
    m_partName = name == m_partHeaders.end() ? std::string() : name->second;
    return m_partName;
}

bool MultipartReader::ReadPartHeaders(MultipartSource& source) {
    int end = FindHeaderEnd(Held(), GetHeldCount(), GetHeldCount());
    while (end < 0) {
        size_t before = GetHeldCount();
        // With cap + 4 bytes held and no end yet, the block is longer than the cap whatever comes next.
        if (before >= kMaxPartHeader + 4 || !ReceiveMore(source, kReceiveChunk)) {
            return false;
        }
        end = FindHeaderEnd(Held(), GetHeldCount(), GetHeldCount() - before);
    }
    if (static_cast<size_t>(end) > kMaxPartHeader) {
        return false; // the same limit however the bytes arrived
    }
    // The header lines are text: a NUL ends them.
    std::string_view text(Held(), static_cast<size_t>(end));
    text = text.substr(0, text.find('\0'));
    size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && std::strchr(" \t\r\n\v\f", text[pos]) != nullptr) {
            ++pos;
        }
        size_t lineEnd = text.find('\n', pos);
        std::string_view line =
            text.substr(pos, lineEnd == std::string_view::npos ? std::string_view::npos : lineEnd - pos);
        if (!line.empty() && GetHeaderName(line, ":") == "CONTENT-DISPOSITION") {
            ParseContentDisposition(GetHeaderValue(line, ":"));
            break;
        }
        pos = lineEnd == std::string_view::npos ? text.size() : lineEnd + 1;
    }
    Consume(static_cast<size_t>(end) + 4);
    return true;
}

void MultipartReader::ParseContentDisposition(std::string_view value) {
    size_t semicolon = value.find(';');
    std::string_view params = semicolon != std::string_view::npos ? value.substr(semicolon + 1)
                              : value.empty()                     ? value
                                                                  : value.substr(1);
    DispositionTokens tokens(params);
    std::string name;
    std::string token;
    for (;;) {
        if (tokens.Next(name) != DispositionTokens::kText) {
            break;
        }
        if (tokens.Next(token) != DispositionTokens::kEquals) {
            break;
        }
        std::string paramValue;
        auto kind = tokens.Next(paramValue);
        Trim(name, kBlanks);
        ToUpper(name);
        m_partHeaders.emplace(name, kind == DispositionTokens::kText ? paramValue : std::string());
        if (kind == DispositionTokens::kSemicolon) {
            continue; // "name=;" : empty value, the list goes on
        }
        if (kind != DispositionTokens::kText || tokens.Next(token) != DispositionTokens::kSemicolon) {
            break;
        }
    }
    if (auto file = m_partHeaders.find("FILENAME"); file != m_partHeaders.end()) {
        file->second = StripFolders(file->second);
    }
}

std::string MultipartReader::GetPartFileName() const {
    auto file = m_partHeaders.find("FILENAME");
    return file == m_partHeaders.end() ? std::string() : file->second;
}

int MultipartReader::ReadPartData(MultipartSource& source, char* buffer, size_t capacity) {
    if (m_partName.empty() || capacity == 0) {
        return -1;
    }
    capacity = std::min<size_t>(capacity, INT_MAX);
    const size_t d = m_delimiter.size();
    long h = Search();
    if (h < 0 && GetHeldCount() < capacity + d) {
        if (capacity > d && GetHeldCount() <= capacity) {
            return ReceiveIntoCaller(source, buffer, capacity);
        }
        // More than d bytes must be held to tell part bytes from the start of a delimiter.
        do {
            if (!ReceiveMore(source, capacity + d - GetHeldCount())) {
                break;
            }
            h = Search();
        } while (h < 0 && GetHeldCount() <= d);
    }
    if (h < 0 && IsBodyComplete()) {
        return -1; // every byte of the body is here and the part never ends: the upload was cut
    }
    size_t n = h >= 0 ? static_cast<size_t>(h) : GetHeldCount() - d;
    n = std::min(n, capacity);
    if (n == 0) {
        return 0; // the delimiter is at the front: the part has ended
    }
    std::memcpy(buffer, Held(), n);
    Consume(n);
    return static_cast<int>(n);
}

int MultipartReader::ReceiveIntoCaller(MultipartSource& source, char* buffer, size_t capacity) {
    // The same result as receiving into the held bytes and copying out, without the copy: the bytes go
    // straight into the caller's buffer, are searched there, and only what follows the part's bytes
    // (at most the delimiter's length, unless the delimiter came in this receive) is taken back.
    const size_t d = m_delimiter.size();
    size_t filled = GetHeldCount();
    std::memcpy(buffer, Held(), filled);
    size_t searchFrom = m_searchFrom;
    m_begin = m_end = 0;
    long h = -1;
    do {
        size_t wanted = static_cast<size_t>(
            std::min<int64_t>(static_cast<int64_t>(capacity - filled), m_expected - m_received));
        if (wanted == 0) {
            break;
        }
        size_t got = std::min(source.ReceiveBodyWhole(buffer + filled, wanted), wanted);
        if (got == 0) {
            m_expected = m_received; // a source that gives nothing has no more body
            break;
        }
        filled += got;
        m_received += static_cast<int64_t>(got);
        h = SearchIn(buffer, filled, searchFrom);
    } while (h < 0 && filled <= d);
    size_t n = 0;
    if (h >= 0) {
        n = static_cast<size_t>(h);
    } else if (!IsBodyComplete() && filled > d) {
        n = filled - d;
    }
    // The rest stays held, as if it had never left.
    MakeRoom(filled - n);
    std::memcpy(m_buffer.data(), buffer + n, filled - n);
    m_end = filled - n;
    m_searchFrom = searchFrom > n ? searchFrom - n : 0;
    if (h < 0 && IsBodyComplete()) {
        return -1; // every byte of the body is here and the part never ends: the upload was cut
    }
    return static_cast<int>(n);
}

int64_t MultipartReader::Drain(MultipartSource& source) {
    int64_t dropped = 0;
    Consume(GetHeldCount());
    while (m_received < m_expected) {
        int64_t before = m_received;
        if (!ReceiveMore(source, kReceiveChunk)) {
            break;
        }
        dropped += m_received - before;
        Consume(GetHeldCount());
    }
    EndParts();
    return dropped;
}

} // namespace Vuxo
