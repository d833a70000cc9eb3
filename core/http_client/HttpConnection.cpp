#include "core/http_client/HttpConnection.h"

#include "core/file/PelkFile.h"
#include "core/net/SocketError.h"
#include "core/text/StringHelpers.h"
#include "core/text/UrlCoding.h"

#include <algorithm>
#include <random>
#include <stdexcept>

namespace Vuxo {

namespace {

constexpr size_t kFilePiece = 65536;
constexpr const char* kCancelledText = "Request cancelled";

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

// Bytes that would end the request line or start another field.
bool IsUsableFieldName(std::string_view name) {
    return !name.empty() && std::none_of(name.begin(), name.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte <= 0x20 || byte == 0x7f || c == '&' || c == '=' || c == '#';
    });
}

bool IsUsableRequestTarget(std::string_view text) {
    return std::none_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte <= 0x20 || byte == 0x7f;
    });
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

// A chunk-size line: hexadecimal digits, then optionally blanks and ";" extensions.
uint64_t ParseChunkSize(std::string_view line) {
    size_t end = 0;
    uint64_t size = 0;
    for (; end < line.size() && HexDigit(line[end]) >= 0; ++end) {
        if (size > (UINT64_MAX >> 8)) {
            throw std::runtime_error("Chunk size is too large");
        }
        size = size * 16 + static_cast<uint64_t>(HexDigit(line[end]));
    }
    std::string_view rest = line.substr(end);
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) {
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

} // namespace

// ---- HttpFormValue ----

HttpFormValue HttpFormValue::MakeFile(std::string path) {
    HttpFormValue value(std::move(path));
    value.isFile = true;
    return value;
}

std::string HttpFormValue::GetFileName() const {
    if (!isFile) {
        return text;
    }
    size_t separator = text.rfind('/');
    if (separator == std::string::npos) {
        separator = text.rfind('\\');
    }
    return separator == std::string::npos ? text : text.substr(separator + 1);
}

std::string HttpFormValue::GetFilePath() const {
    return isFile ? text : std::string();
}

// ---- BareHttpConnection ----

BareHttpConnection::BareHttpConnection() {
    SocketStartup();
}

BareHttpConnection::~BareHttpConnection() {
    std::lock_guard<std::mutex> lock(m_cancelLock);
    m_socket.Close();
}

void BareHttpConnection::Cancel() {
    m_cancelled = true;
    m_wake.Signal();
    std::lock_guard<std::mutex> lock(m_cancelLock);
    m_socket.Shutdown();
}

bool BareHttpConnection::Open(const std::string& hostText) {
    {
        std::lock_guard<std::mutex> lock(m_cancelLock);
        if (m_cancelled || !m_socket.Create()) {
            return false;
        }
    }
    if (!m_socket.Connect(hostText, 80, kTimeoutMs, m_wake.GetHandle()) || m_cancelled) {
        return false;
    }
    m_socket.SetTimeouts(kTimeoutMs, kTimeoutMs);
    return true;
}

void BareHttpConnection::ThrowIfCancelledElse(int errorCode) const {
    if (m_cancelled) {
        throw socket_exception(kCancelledText);
    }
    // A blocking socket reports its time-out as "would block".
    throw socket_exception::FromCode(errorCode == Net::kErrWouldBlock ? Net::kErrTimedOut : errorCode);
}

void BareHttpConnection::SendAll(std::string_view bytes) {
    while (!bytes.empty()) {
        const long sent = m_socket.SendRaw(bytes.data(), bytes.size(), 0);
        if (sent <= 0 || m_cancelled) {
            ThrowIfCancelledElse(sent == 0 ? Net::kErrShutdown : Net::LastError());
        }
        bytes.remove_prefix(static_cast<size_t>(sent));
    }
}

void BareHttpConnection::SendFileData(PelkFile& file, int64_t size) {
    std::vector<char> piece(kFilePiece);
    while (size > 0) {
        const size_t wanted = static_cast<size_t>(std::min<int64_t>(size, kFilePiece));
        const size_t got = file.Read(piece.data(), wanted);
        if (got == 0) {
            throw std::runtime_error("File shrank while it was sent");
        }
        SendAll(std::string_view(piece.data(), got));
        size -= static_cast<int64_t>(got);
    }
}

size_t BareHttpConnection::ReceiveSome(char* buffer, size_t capacity) {
    const long got = m_socket.ReceiveRaw(buffer, capacity, 0);
    if (got < 0 || m_cancelled) {
        ThrowIfCancelledElse(Net::LastError());
    }
    return static_cast<size_t>(got);
}

// ---- HttpConnection ----

// One field of a multipart body: its delimiter and header lines, and its value's size (a file stays open
// from the length's count to its sending).
struct HttpConnection::Part {
    std::string head;
    std::unique_ptr<PelkFile> file;
    int64_t size = 0;
};

HttpConnection::HttpConnection(int method, std::string_view url) : m_method(method) {
    constexpr std::string_view kScheme = "http://";
    if (url.substr(0, kScheme.size()) == kScheme) {
        url.remove_prefix(kScheme.size());
    }
    const size_t slash = url.find('/');
    m_host = std::string(url.substr(0, slash));
    m_path = slash == std::string_view::npos ? std::string("/") : std::string(url.substr(slash));
}

HttpConnection::~HttpConnection() = default;

void HttpConnection::AddField(std::string name, HttpFormValue value) {
    (m_method == kHttpClientGet ? m_queryFields : m_bodyFields)
        .push_back({std::move(name), std::move(value)});
}

void HttpConnection::AddHeader(std::string name, std::string value) {
    m_headers.emplace_back(std::move(name), std::move(value));
}

bool HttpConnection::IsWritable() const {
    if (m_host.empty() || !IsUsableRequestTarget(m_host) || !IsUsableRequestTarget(m_path)) {
        return false;
    }
    for (const auto& [name, value] : m_headers) {
        if (!IsUsableFieldName(name) || name.find(':') != std::string::npos || HasLineBreak(value)) {
            return false;
        }
    }
    for (const std::vector<Field>* fields : {&m_queryFields, &m_bodyFields}) {
        for (const Field& field : *fields) {
            if (!IsUsableFieldName(field.name)) {
                return false;
            }
        }
    }
    // A multipart field name and file name go between double quotes on a header line.
    return m_method != kHttpClientPostMultipart ||
           std::none_of(m_bodyFields.begin(), m_bodyFields.end(), [](const Field& field) {
               return field.name.find('"') != std::string::npos ||
                      field.value.GetFileName().find_first_of("\"\r\n") != std::string::npos;
           });
}

std::string HttpConnection::EncodeFields(const std::vector<Field>& fields) const {
    std::string text;
    for (const Field& field : fields) {
        if (!text.empty()) {
            text += '&';
        }
        text += field.name;
        text += '=';
        text += UrlEncode(field.value.GetFileName());
    }
    return text;
}

std::string HttpConnection::MakeBoundary() {
    // Dashes, then 5 to 14 random letters: 20 to 29 characters.
    std::mt19937 random{std::random_device{}()};
    const auto pick = [&random](int count) {
        return static_cast<int>(random() % static_cast<unsigned>(count));
    };
    const int length = pick(10) + 20;
    const int letters = pick(10) + 5;
    std::string boundary(static_cast<size_t>(length), '-');
    for (int i = 1; i <= letters; ++i) {
        const char base = pick(2) == 1 ? 'a' : 'A';
        boundary[static_cast<size_t>(length - i)] = static_cast<char>(base + pick(26));
    }
    return boundary;
}

std::string HttpConnection::BuildRequest(std::vector<Part>& parts) {
    if (!m_queryFields.empty()) {
        m_path += m_path.find('?') == std::string::npos ? '?' : '&';
        m_path += EncodeFields(m_queryFields);
        m_queryFields.clear();
    }
    std::string request = (m_method == kHttpClientGet ? "GET " : "POST ") + m_path + " HTTP/1.1\r\n";
    for (const auto& [name, value] : m_headers) {
        request += name + ": " + value + "\r\n";
    }
    request += "Host: " + m_host + "\r\nConnection: close\r\n";
    if (m_method == kHttpClientGet) {
        return request + "\r\n";
    }
    if (m_method == kHttpClientPostForm) {
        const std::string body = EncodeFields(m_bodyFields);
        return request + "Content-Length: " + std::to_string(body.size()) +
               "\r\nContent-Type: application/x-www-form-urlencoded\r\n\r\n" + body;
    }
    // Multipart. The files are opened now and their sizes taken once, for the length and for the sending.
    // The blank line that ends the header block is the "\r\n" the body begins with, so it is not counted.
    m_boundary = MakeBoundary();
    int64_t length = -2;
    for (const Field& field : m_bodyFields) {
        Part part;
        part.head = "\r\n--" + m_boundary + "\r\nContent-Disposition: form-data; name=\"" + field.name + "\"";
        if (field.value.isFile) {
            part.head +=
                "; filename=\"" + field.value.GetFileName() + "\"\r\nContent-Type: application/octet-stream";
            part.file = std::make_unique<PelkFile>(field.value.GetFilePath(), PelkFile::ModeRead, false);
            if (!part.file->IsOpen()) {
                throw std::runtime_error("Cannot open file");
            }
            part.size = part.file->GetSize();
        } else {
            part.size = static_cast<int64_t>(field.value.text.size());
        }
        part.head += "\r\n\r\n";
        length += static_cast<int64_t>(part.head.size()) + part.size;
        parts.push_back(std::move(part));
    }
    length += static_cast<int64_t>(ClosingDelimiter().size());
    return request + "Content-Length: " + std::to_string(length) +
           "\r\nContent-Type: multipart/form-data; boundary=" + m_boundary + "\r\n";
}

std::string HttpConnection::ClosingDelimiter() const {
    return "\r\n--" + m_boundary + "--\r\n";
}

void HttpConnection::SendMultipart(std::vector<Part>& parts) {
    for (size_t i = 0; i < parts.size(); ++i) {
        if (parts[i].file != nullptr) {
            SendAll(parts[i].head);
            SendFileData(*parts[i].file, parts[i].size);
        } else {
            SendAll(parts[i].head + m_bodyFields[i].value.text);
        }
    }
    SendAll(ClosingDelimiter());
}

int HttpConnection::Execute() {
    if (m_method < kHttpClientGet || m_method > kHttpClientPostMultipart || !IsWritable()) {
        return -1;
    }
    std::vector<Part> parts;
    const std::string request = BuildRequest(parts);
    if (!Open(m_host)) {
        return -1;
    }
    try {
        SendAll(request);
        if (m_method == kHttpClientPostMultipart) {
            SendMultipart(parts);
        }
        int status = ReadResponseHead();
        // Interim answers (100 Continue and the like) come before the real one.
        while (status >= 100 && status < 200 && status != 101) {
            m_responseHeaders.clear();
            status = ReadResponseHead();
        }
        ChooseFraming(status);
        return status;
    } catch (const std::exception&) {
        if (IsCancelled()) {
            return -1;
        }
        throw;
    }
}

int HttpConnection::ReadResponseHead() {
    size_t searchFrom = m_receivedFrom;
    for (;;) {
        const size_t end = m_received.find("\r\n\r\n", searchFrom);
        if (end != std::string::npos) {
            const std::string head = m_received.substr(m_receivedFrom, end - m_receivedFrom);
            m_receivedFrom = end + 4;
            return ParseResponseHead(head);
        }
        const size_t held = m_received.size() - m_receivedFrom;
        if (held >= kMaxHeaderBytes) {
            throw std::runtime_error("Header size is too long");
        }
        // A separator split across two receives is still found.
        searchFrom = std::max(m_receivedFrom, m_received.size() > 3 ? m_received.size() - 3 : 0);
        const size_t old = m_received.size();
        m_received.resize(old + kMaxHeaderBytes - held);
        const size_t got = ReceiveSome(m_received.data() + old, kMaxHeaderBytes - held);
        m_received.resize(old + got);
        if (got == 0) {
            throw socket_exception("Connection closed");
        }
    }
}

int HttpConnection::ParseResponseHead(std::string_view head) {
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
    while (lineEnd != std::string_view::npos) {
        const size_t start = lineEnd + 2;
        lineEnd = head.find("\r\n", start);
        const std::string_view line =
            head.substr(start, lineEnd == std::string_view::npos ? head.npos : lineEnd - start);
        if (line.find(':') == std::string_view::npos) {
            throw std::runtime_error("Malformed header line");
        }
        const std::string name = GetHeaderName(line, ":");
        const std::string value = GetHeaderValue(line, ":");
        const auto [entry, added] = m_responseHeaders.emplace(name, value);
        // Two different lengths leave the body's end unknown.
        if (!added && name == "CONTENT-LENGTH" && entry->second != value) {
            throw std::runtime_error("Conflicting Content-Length");
        }
    }
    return (statusLine[blank + 1] - '0') * 100 + (statusLine[blank + 2] - '0') * 10 +
           (statusLine[blank + 3] - '0');
}

void HttpConnection::ChooseFraming(int status) {
    m_framing = Framing::Close;
    if (status == 204 || status == 304) {
        m_framing = Framing::None;
        return;
    }
    const auto coding = m_responseHeaders.find("TRANSFER-ENCODING");
    if (coding != m_responseHeaders.end() && !coding->second.empty()) {
        m_framing = IsChunked(coding->second) ? Framing::Chunked : Framing::Close;
        return;
    }
    const auto length = m_responseHeaders.find("CONTENT-LENGTH");
    if (length != m_responseHeaders.end()) {
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

size_t HttpConnection::Take(char* buffer, size_t size) {
    const size_t held = m_received.size() - m_receivedFrom;
    if (held == 0) {
        m_received.clear();
        m_receivedFrom = 0;
        return ReceiveSome(buffer, size);
    }
    const size_t count = std::min(size, held);
    std::copy_n(m_received.data() + m_receivedFrom, count, buffer);
    m_receivedFrom += count;
    return count;
}

std::string HttpConnection::ReadLine(size_t limit) {
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
        m_received.erase(0, m_receivedFrom);
        m_receivedFrom = 0;
        const size_t held = m_received.size();
        m_received.resize(held + kMaxChunkLine);
        const size_t got = ReceiveSome(m_received.data() + held, kMaxChunkLine);
        m_received.resize(held + got);
        if (got == 0) {
            throw socket_exception("Connection closed");
        }
    }
}

unsigned HttpConnection::ReadChunked(char* buffer, unsigned size) {
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
            const size_t got = Take(buffer, static_cast<size_t>(std::min<uint64_t>(size, m_chunkLeft)));
            if (got == 0) {
                throw socket_exception("Connection closed");
            }
            m_chunkLeft -= got;
            if (m_chunkLeft == 0) {
                m_chunkState = ChunkState::DataEnd;
            }
            return static_cast<unsigned>(got);
        }
        }
    }
}

unsigned HttpConnection::Read(char* buffer, unsigned size) {
    if (size == 0) {
        return 0;
    }
    switch (m_framing) {
    case Framing::None:
        return 0;
    case Framing::Chunked:
        return ReadChunked(buffer, size);
    case Framing::Length: {
        if (m_remaining == 0) {
            return 0;
        }
        const size_t got = Take(buffer, static_cast<size_t>(std::min<uint64_t>(size, m_remaining)));
        if (got == 0) {
            throw socket_exception("Connection closed");
        }
        m_remaining -= got;
        return static_cast<unsigned>(got);
    }
    case Framing::Close: {
        const size_t got = Take(buffer, size);
        if (got == 0) {
            m_framing = Framing::None; // the peer's close ended the body
        }
        return static_cast<unsigned>(got);
    }
    }
    return 0;
}

std::string HttpConnection::GetResponseHeader(std::string_view name) const {
    std::string key(name);
    MakeUpper(key);
    const auto found = m_responseHeaders.find(key);
    return found == m_responseHeaders.end() ? std::string() : found->second;
}

} // namespace Vuxo
