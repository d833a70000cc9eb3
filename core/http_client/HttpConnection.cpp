#include "core/http_client/HttpConnection.h"

#include "core/file/PelkFile.h"
#include "core/net/SocketError.h"
#include "core/text/StringHelpers.h"
#include "core/text/UrlCoding.h"
#include "core/transfer/Clock.h"

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

BareHttpConnection::BareHttpConnection() : m_clock(&SteadyClock::Instance()) {
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

void BareHttpConnection::CloseConnection() {
    std::lock_guard<std::mutex> lock(m_cancelLock);
    m_socket.Close();
}

void BareHttpConnection::SetTimeouts(int silenceMs, int exchangeMs) {
    m_silenceMs = std::max(silenceMs, 1);
    m_exchangeMs = std::max(exchangeMs, 1);
}

int BareHttpConnection::NextWaitMs() {
    const int64_t left = m_endMs - m_clock->NowMs();
    if (left <= 0) {
        throw socket_exception::FromCode(Net::kErrTimedOut);
    }
    return static_cast<int>(std::min<int64_t>(left, m_silenceMs));
}

bool BareHttpConnection::Open(const std::string& hostText) {
    m_endMs = m_clock->NowMs() + m_exchangeMs;
    std::string host;
    uint16_t port = 0;
    if (m_cancelled || !TCPSocket::ParseHostText(hostText, 80, host, port)) {
        return false;
    }
    int error = 0;
    const std::optional<uint32_t> address =
        Net::LookupIPv4(host, m_wake.GetHandle(), std::min(m_silenceMs, m_exchangeMs), error, m_lookup);
    if (!address) {
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(m_cancelLock);
        if (m_cancelled || !m_socket.Create()) {
            return false;
        }
    }
    try {
        return m_socket.Connect(*address, port, NextWaitMs(), m_wake.GetHandle()) && !m_cancelled;
    } catch (const socket_exception&) {
        return false; // the lookup took the exchange's whole time
    }
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
        const int wait = NextWaitMs();
        m_socket.SetTimeouts(wait, wait);
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

long BareHttpConnection::Receive(char* buffer, size_t capacity) {
    const int wait = NextWaitMs();
    m_socket.SetTimeouts(wait, wait);
    const long got = m_socket.ReceiveRaw(buffer, capacity, 0);
    if (got >= 0 && !m_cancelled) {
        return got;
    }
    const int error = Net::LastError();
    if (!m_cancelled && error == Net::kErrWouldBlock && wait == m_silenceMs) {
        return kIdle;
    }
    // A wait cut short by the exchange's end is its time-out.
    ThrowIfCancelledElse(error);
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
        CloseConnection();
        return -1;
    }
    try {
        SendAll(request);
        if (m_method == kHttpClientPostMultipart) {
            SendMultipart(parts);
        }
        return m_response.ReadHead();
    } catch (const std::exception&) {
        CloseConnection();
        if (IsCancelled()) {
            return -1;
        }
        throw;
    }
}

unsigned HttpConnection::Read(char* buffer, unsigned size) {
    try {
        const unsigned got = m_response.Read(buffer, size);
        if (got == 0 && size > 0) {
            CloseConnection();
        }
        return got;
    } catch (const std::exception&) {
        CloseConnection();
        throw;
    }
}

std::string HttpConnection::GetResponseHeader(std::string_view name) const {
    return m_response.GetHeader(name);
}

} // namespace Vuxo
