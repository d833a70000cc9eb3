#include "core/http_client/HttpResponseReader.h"

#include "core/net/SocketError.h"
#include "core/platform/net/SocketCalls.h"
#include "core/text/StringHelpers.h"

#include <algorithm>
#include <stdexcept>

namespace Vuxo {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// A strict decimal Content-Length: digits only, at most 2^63 - 1.
bool ParseContentLength(std::string_view text, uint64_t& value) {
    if (text.empty() || text.size() > 19 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return false;
    }
    value = 0;
    for (char c : text) {
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    return value <= static_cast<uint64_t>(INT64_MAX);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// A chunk-size line: blanks, hexadecimal digits, then optionally blanks and ";" extensions.
uint64_t ParseChunkSize(std::string_view line) {
    while (!line.empty() && IsBlank(line.front())) {
        line.remove_prefix(1);
    }
    size_t end = 0;
    uint64_t size = 0;
    for (; end < line.size() && HexDigit(line[end]) >= 0; ++end) {
        if (size > (UINT64_MAX >> 8)) {
            throw std::runtime_error("Chunk size is too large");
        }
        size = size * 16 + static_cast<uint64_t>(HexDigit(line[end]));
    }
    std::string_view rest = line.substr(end);
    while (!rest.empty() && IsBlank(rest.front())) {
        rest.remove_prefix(1);
    }
    if (end == 0 || (!rest.empty() && rest.front() != ';')) {
        throw std::runtime_error("Malformed chunk size");
    }
    return size;
}

// "chunked" as the last transfer coding, in any letter case.
bool IsChunked(std::string value) {
    ToLower(value);
    const size_t comma = value.rfind(',');
    std::string last = comma == std::string::npos ? value : value.substr(comma + 1);
    Trim(last, " \t");
    return last == "chunked";
}

// The header lines with every fold (a line end followed by blanks) replaced by one blank.
std::string Unfold(std::string_view lines) {
    std::string text;
    text.reserve(lines.size());
    for (size_t at = 0; at < lines.size();) {
        const size_t lineEnd = lines.find("\r\n", at);
        if (lineEnd == std::string_view::npos) {
            text.append(lines.substr(at));
            break;
        }
        text.append(lines.substr(at, lineEnd - at));
        at = lineEnd + 2;
        if (at < lines.size() && IsBlank(lines[at])) {
            while (at < lines.size() && IsBlank(lines[at])) {
                ++at;
            }
            text += ' ';
        } else {
            text += "\r\n";
        }
    }
    return text;
}

[[noreturn]] void ThrowTimedOut() {
    throw socket_exception::FromCode(Net::kErrTimedOut);
}

} // namespace

int HttpResponseReader::ReadHead() {
    for (int interim = 0;; ++interim) {
        m_headers.clear();
        const int status = ParseHead(ReadHeadBlock());
        // Interim answers (100 Continue and the like) come before the real one; 101 ends HTTP here.
        if (status < 100 || status >= 200 || status == 101) {
            ChooseFraming(status);
            return status;
        }
        if (interim == kMaxInterimResponses) {
            throw std::runtime_error("Too many interim responses");
        }
    }
}

std::string HttpResponseReader::ReadHeadBlock() {
    const size_t budget = kMaxHeaderBytes - m_headBytes;
    size_t searchFrom = m_receivedFrom;
    for (;;) {
        const size_t end = m_received.find("\r\n\r\n", searchFrom);
        if (end != std::string::npos && end + 4 - m_receivedFrom <= budget) {
            std::string head = m_received.substr(m_receivedFrom, end - m_receivedFrom);
            m_headBytes += end + 4 - m_receivedFrom;
            m_receivedFrom = end + 4;
            return head;
        }
        const size_t held = m_received.size() - m_receivedFrom;
        if (held >= budget) {
            throw std::runtime_error("Header size is too long");
        }
        // A separator split across two receives is still found.
        searchFrom = held > 3 ? held - 3 : 0;
        if (!ReceiveMore(budget - held)) {
            ThrowTimedOut();
        }
    }
}

int HttpResponseReader::ParseHead(std::string_view head) {
    size_t lineEnd = head.find("\r\n");
    const std::string_view statusLine = head.substr(0, lineEnd);
    // "HTTP/x.y NNN reason"
    const size_t blank = statusLine.find(' ');
    const bool wellFormed = statusLine.substr(0, 5) == "HTTP/" && blank != std::string_view::npos &&
                            statusLine.size() >= blank + 4 &&
                            std::all_of(statusLine.begin() + static_cast<long>(blank) + 1,
                                        statusLine.begin() + static_cast<long>(blank) + 4,
                                        [](char c) { return c >= '0' && c <= '9'; }) &&
                            (statusLine.size() == blank + 4 || statusLine[blank + 4] == ' ');
    if (!wellFormed) {
        throw std::runtime_error("Malformed status line");
    }
    if (lineEnd != std::string_view::npos) {
        const std::string_view rest = head.substr(lineEnd + 2);
        // A fold continues a header line; there is none before the first.
        if (rest.empty() || IsBlank(rest.front())) {
            throw std::runtime_error("Malformed header line");
        }
        const std::string lines = Unfold(rest);
        for (size_t start = 0; start != std::string::npos;) {
            const size_t end = lines.find("\r\n", start);
            const std::string_view line = std::string_view(lines).substr(
                start, end == std::string::npos ? std::string::npos : end - start);
            start = end == std::string::npos ? end : end + 2;
            if (line.find(':') == std::string_view::npos) {
                throw std::runtime_error("Malformed header line");
            }
            const std::string name = GetHeaderName(line, ":");
            const std::string value = GetHeaderValue(line, ":");
            const auto [entry, added] = m_headers.emplace(name, value);
            // Two different lengths leave the body's end unknown.
            if (!added && name == "CONTENT-LENGTH" && entry->second != value) {
                throw std::runtime_error("Conflicting Content-Length");
            }
        }
    }
    return (statusLine[blank + 1] - '0') * 100 + (statusLine[blank + 2] - '0') * 10 +
           (statusLine[blank + 3] - '0');
}

void HttpResponseReader::ChooseFraming(int status) {
    m_framing = Framing::Close;
    if (status == 204 || status == 304) {
        m_framing = Framing::None;
        return;
    }
    const auto coding = m_headers.find("TRANSFER-ENCODING");
    if (coding != m_headers.end() && !coding->second.empty()) {
        m_framing = IsChunked(coding->second) ? Framing::Chunked : Framing::Close;
        return;
    }
    const auto length = m_headers.find("CONTENT-LENGTH");
    if (length != m_headers.end()) {
        if (!ParseContentLength(length->second, m_remaining)) {
            throw std::runtime_error("Malformed Content-Length");
        }
        m_framing = Framing::Length;
        // Bytes past the body (there should be none: the connection closes) are dropped.
        const size_t held = m_received.size() - m_receivedFrom;
        if (held > m_remaining) {
            m_received.resize(m_receivedFrom + static_cast<size_t>(m_remaining));
        }
    }
}

bool HttpResponseReader::ReceiveMore(size_t room) {
    m_received.erase(0, m_receivedFrom);
    m_receivedFrom = 0;
    const size_t held = m_received.size();
    m_received.resize(held + room);
    const long got = m_source.Receive(m_received.data() + held, room);
    m_received.resize(held + static_cast<size_t>(std::max(got, 0L)));
    if (got == 0) {
        throw socket_exception("Connection closed");
    }
    return got != ResponseSource::kIdle;
}

long HttpResponseReader::Take(char* buffer, size_t size) {
    const size_t held = m_received.size() - m_receivedFrom;
    if (held == 0) {
        m_received.clear();
        m_receivedFrom = 0;
        return m_source.Receive(buffer, size);
    }
    const size_t count = std::min(size, held);
    std::copy_n(m_received.data() + m_receivedFrom, count, buffer);
    m_receivedFrom += count;
    return static_cast<long>(count);
}

size_t HttpResponseReader::TakeFramed(char* buffer, size_t size) {
    const long got = Take(buffer, size);
    if (got == 0) {
        throw socket_exception("Connection closed");
    }
    if (got == ResponseSource::kIdle) {
        ThrowTimedOut();
    }
    return static_cast<size_t>(got);
}

std::string HttpResponseReader::ReadLine(size_t limit) {
    for (;;) {
        const size_t newline = m_received.find('\n', m_receivedFrom);
        if (newline != std::string::npos && newline - m_receivedFrom <= limit) {
            std::string line = m_received.substr(m_receivedFrom, newline - m_receivedFrom);
            m_receivedFrom = newline + 1;
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            return line;
        }
        if (m_received.size() - m_receivedFrom > limit) {
            throw std::runtime_error("Chunk line is too long");
        }
        if (!ReceiveMore(kMaxChunkLine)) {
            ThrowTimedOut();
        }
    }
}

unsigned HttpResponseReader::ReadChunked(char* buffer, unsigned size) {
    for (;;) {
        switch (m_chunkState) {
        case ChunkState::Done:
            return 0;
        case ChunkState::Size:
            m_chunkLeft = ParseChunkSize(ReadLine(kMaxChunkLine));
            // The last chunk; trailers are left unread, since the connection closes.
            m_chunkState = m_chunkLeft == 0 ? ChunkState::Done : ChunkState::Data;
            break;
        case ChunkState::DataEnd:
            if (!ReadLine(kMaxChunkLine).empty()) {
                throw std::runtime_error("Malformed chunk");
            }
            m_chunkState = ChunkState::Size;
            break;
        case ChunkState::Data: {
            const size_t got = TakeFramed(buffer, static_cast<size_t>(std::min<uint64_t>(size, m_chunkLeft)));
            m_chunkLeft -= got;
            if (m_chunkLeft == 0) {
                m_chunkState = ChunkState::DataEnd;
            }
            return static_cast<unsigned>(got);
        }
        }
    }
}

unsigned HttpResponseReader::ReadLength(char* buffer, unsigned size) {
    if (m_remaining == 0) {
        return 0;
    }
    const size_t got = TakeFramed(buffer, static_cast<size_t>(std::min<uint64_t>(size, m_remaining)));
    m_remaining -= got;
    return static_cast<unsigned>(got);
}

unsigned HttpResponseReader::Read(char* buffer, unsigned size) {
    if (size == 0) {
        return 0;
    }
    switch (m_framing) {
    case Framing::None:
        return 0;
    case Framing::Chunked:
        return ReadChunked(buffer, size);
    case Framing::Length:
        return ReadLength(buffer, size);
    case Framing::Close: {
        const long got = Take(buffer, size);
        if (got <= 0) {
            m_framing = Framing::None; // the peer's close, or its silence, ended the body
            return 0;
        }
        return static_cast<unsigned>(got);
    }
    }
    return 0;
}

std::string HttpResponseReader::GetHeader(std::string_view name) const {
    std::string key(name);
    ToUpper(key);
    const auto found = m_headers.find(key);
    return found == m_headers.end() ? std::string() : found->second;
}

} // namespace Vuxo
