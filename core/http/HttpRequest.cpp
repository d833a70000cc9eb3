#include "core/http/HttpRequest.h"

#include "core/http/FormBodyBudget.h"
#include "core/log/Trace.h"
#include "core/log/TraceBatch.h"
#include "core/text/StringHelpers.h"
#include "core/thread/StopEvent.h"

#include <algorithm>
#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <thread>

namespace Vuxo {

namespace {

// Appends `text` without its CR and LF: a header line or status line must stay one line.
void AppendOneLine(std::string& out, std::string_view text) {
    for (size_t start = 0; start < text.size();) {
        const size_t end = std::min(text.find_first_of("\r\n", start), text.size());
        out.append(text.substr(start, end - start));
        start = end + 1;
    }
}

// The piece of a file sent at once: half a second at the current speed, 1 KiB to 256 KiB, as the
// download buffer is sized, so that a speed limit can pace the transfer.
size_t FileChunkForSpeed(int64_t bytesPerSecond) {
    int64_t size = (bytesPerSecond / 2) / 1024 * 1024;
    return static_cast<size_t>(std::clamp<int64_t>(size, 1024, 256 * 1024));
}

// The size line that opens a chunk: eight hex digits (leading zeros are allowed) and CR LF, written in
// place once the chunk's size is known.
constexpr size_t kChunkSizeLine = 10;
constexpr std::string_view kLastChunk = "0\r\n\r\n";

// A body's bytes received at once by ReceiveBodyWhole, at most.
constexpr size_t kWholeBodyPiece = 256 * 1024;

// A url-encoded body is received in pieces of at most this size, each taken from the form budget once
// it has arrived.
constexpr size_t kFormReceiveChunk = 16 * 1024;

Clock& ClockOf(TransferStatusAggregator* aggregator) {
    return (aggregator != nullptr ? *aggregator : NullTransferStatusAggregator::GetInstance()).GetClock();
}

// The gathering storage of the connection thread's last request: one allocation less per request, which
// matters for a small response, whose header and body do not fit the allocator's per-thread cache and
// would take a lock shared with other threads. Kept only up to the size of one gathered send.
thread_local std::string t_spareOutput;

} // namespace

HttpRequest::HttpRequest(TCPSocket& socket, TransferStatusAggregator* aggregator,
                         const ConnectionTimeouts& timeouts, AddressPlaces* places)
    : m_socket(socket), m_reporter(aggregator), m_waits(socket, timeouts, places, ClockOf(aggregator)) {
    m_output.swap(t_spareOutput);
    // Sends wait in short steps, so that one the client does not take is noticed (ClientWaits).
    m_socket.SetTimeouts(timeouts.ioMs, std::max(timeouts.stallMs, 1));
}

HttpRequest::~HttpRequest() {
    if (m_formReserved > 0) {
        FormBodyBudget::Shared().Release(GetRemoteAddress(), m_formReserved);
    }
    if (m_output.capacity() <= kGatherLimit) {
        m_output.clear();
        t_spareOutput.swap(m_output);
    }
}

std::string HttpRequest::GetRemoteAddress() const {
    if (m_remoteAddress.empty()) {
        m_remoteAddress = m_socket.GetPeerIP();
    }
    return m_remoteAddress;
}

std::string HttpRequest::GetLocalAddress() const {
    std::string address;
    uint16_t port = 0;
    return m_socket.GetLocalAddress(address, port) ? address : std::string();
}

void HttpRequest::SetStopEvent(const StopEvent* stopEvent) {
    m_stopEvent = stopEvent;
    m_reporter.SetStopEvent(stopEvent);
}

bool HttpRequest::WaitForStop(std::chrono::milliseconds timeout) const {
    if (m_stopEvent == nullptr) {
        std::this_thread::sleep_for(timeout);
        return false;
    }
    return m_stopEvent->WaitFor(timeout);
}

bool HttpRequest::ClientKeepsConnection() const {
    // HTTP/1.0 closes by default; its clients read to the end of the stream.
    if (m_version == "HTTP/1.0") {
        return false;
    }
    const auto header = m_headers.find("CONNECTION");
    if (header == m_headers.end()) {
        return true;
    }
    std::string tokens = header->second;
    ToLower(tokens);
    size_t start = 0;
    while (start <= tokens.size()) {
        size_t end = std::min(tokens.find(',', start), tokens.size());
        std::string token = tokens.substr(start, end - start);
        Trim(token, " \t");
        if (token == "close") {
            return false;
        }
        start = end + 1;
    }
    return true;
}

// ---- Authorization ----

void HttpRequest::ParseAuthorization() {
    auto header = m_headers.find("AUTHORIZATION");
    if (header != m_headers.end()) {
        m_authorization = std::make_unique<HttpAuthorization>(header->second);
    } else {
        m_authorization.reset();
    }
    Log(LOG_DEBUG, "Authentication Info Parsed.");
}

bool HttpRequest::CheckCredentials(const std::string& user, const std::string& password) const {
    return m_authorization != nullptr && m_authorization->Check(user, password);
}

std::string HttpRequest::GetUserName() const {
    return m_authorization != nullptr ? m_authorization->GetUserName() : std::string();
}

// ---- Response ----

void HttpRequest::BeginResponse(int code, std::string_view reason) {
    DisposeBody();
    Log(LOG_DEBUG, "BeginResponse(%d, %.*s)", code, static_cast<int>(reason.size()), reason.data());
    char number[16];
    const auto [end, error] = std::to_chars(number, number + sizeof number, code);
    (void)error; // an int always fits
    const std::string_view status(number, static_cast<size_t>(end - number));
    BeginLine(reason.size() + status.size() + 12); // "HTTP/1.1 ", " " and the line end
    m_output.append("HTTP/1.1 ").append(status).append(" ");
    AppendOneLine(m_output, reason);
    m_output.append("\r\n");
}

void HttpRequest::BeginLine(size_t length) {
    if (m_output.size() + length > kGatherLimit) {
        Flush();
    }
}

void HttpRequest::SendHeader(std::string_view name, std::string_view value) {
    Log(LOG_DEBUG, "SendHeader(%.*s, %.*s)", static_cast<int>(name.size()), name.data(),
        static_cast<int>(value.size()), value.data());
    BeginLine(name.size() + value.size() + 4);
    AppendOneLine(m_output, name);
    m_output.append(": ");
    AppendOneLine(m_output, value);
    m_output.append("\r\n");
}

void HttpRequest::EndHeaderBlock() {
    if (m_headerEnded) {
        return;
    }
    m_headerEnded = true;
    m_output.append(PolicyHeaderLines(m_contentPolicy));
    if (!m_keepAlive) {
        m_output.append("Connection:close\r\n");
    }
    m_output.append("\r\n");
    OpenChunk();
}

void HttpRequest::SetChunked() {
    SendHeader("Transfer-Encoding", "chunked");
    m_chunked = !m_head;
}

void HttpRequest::OpenChunk() {
    if (m_chunked && m_headerEnded && m_chunkStart == std::string::npos) {
        m_chunkStart = m_output.size();
        m_output.append(kChunkSizeLine, '0');
    }
}

void HttpRequest::CloseChunk() {
    if (m_chunkStart == std::string::npos) {
        return;
    }
    const size_t size = m_output.size() - m_chunkStart - kChunkSizeLine;
    if (size == 0) {
        m_output.resize(m_chunkStart);
    } else {
        static constexpr char kHex[] = "0123456789abcdef";
        char* line = m_output.data() + m_chunkStart;
        for (int digit = 7; digit >= 0; --digit) {
            line[7 - digit] = kHex[(size >> (4 * digit)) & 0xF];
        }
        line[8] = '\r';
        line[9] = '\n';
        m_output.append("\r\n");
    }
    m_chunkStart = std::string::npos;
}

void HttpRequest::WriteChunked(const char* data, size_t length) {
    // Room is left for the chunk's closing line end and the last chunk, so the gathering storage never
    // grows past the size of one send.
    const size_t limit = kGatherLimit - 2 - kLastChunk.size();
    while (length > 0) {
        const size_t room = limit > m_output.size() ? limit - m_output.size() : 0;
        if (room == 0) {
            Flush();
            continue;
        }
        const size_t piece = std::min(room, length);
        m_output.append(data, piece);
        data += piece;
        length -= piece;
    }
}

void HttpRequest::Write(const void* data, size_t length) {
    EndHeaderBlock();
    if (m_head) {
        return;
    }
    const char* bytes = static_cast<const char*>(data);
    if (m_chunked) {
        WriteChunked(bytes, length);
        return;
    }
    if (m_output.size() + length <= kGatherLimit) {
        m_output.append(bytes, length);
        return;
    }
    Flush();
    if (length < kGatherLimit) {
        m_output.append(bytes, length);
    } else {
        SendAll(bytes, length);
    }
}

void HttpRequest::Write(const char* text) {
    Write(text, text != nullptr ? std::char_traits<char>::length(text) : 0);
}

void HttpRequest::EndResponse() {
    Log(LOG_DEBUG, "EndResponse");
    EndHeaderBlock();
    if (m_chunked) {
        CloseChunk();
        m_output.append(kLastChunk);
        m_chunked = false;
    }
}

void HttpRequest::Flush() {
    CloseChunk();
    if (!m_output.empty()) {
        std::string pending;
        pending.swap(m_output); // taken out first, so a failed send is never repeated
        SendAll(pending.data(), pending.size());
        pending.clear();
        m_output.swap(pending); // keeps the storage for the next bytes
    }
    OpenChunk();
}

void HttpRequest::SendAll(const char* data, size_t length) {
    TraceBatch::DeliverHeld(); // no log line waits behind the peer or the speed limit
    while (length > 0) {
        const size_t sent = m_waits.Send(data, length);
        data += sent;
        length -= sent;
        m_reporter.AddTransferredBytes(kDirectionDownload, static_cast<uint64_t>(sent));
    }
}

void HttpRequest::SendFileData(int fileDescriptor, int64_t offset, int64_t count) {
    if (m_chunked) {
        throw std::logic_error("File data cannot go into a chunked body.");
    }
    EndHeaderBlock();
    if (m_head) {
        return;
    }
    Flush();
    TraceBatch::DeliverHeld();
    while (count > 0) {
        size_t chunk = FileChunkForSpeed(m_reporter.GetSpeed(kDirectionDownload));
        chunk = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(chunk), count));
        const size_t sent = m_waits.SendFile(fileDescriptor, offset, chunk);
        if (sent == 0) {
            throw std::runtime_error("The file ended before the promised length was sent.");
        }
        count -= static_cast<int64_t>(sent);
        m_reporter.AddTransferredBytes(kDirectionDownload, static_cast<uint64_t>(sent));
    }
}

int64_t HttpRequest::DisposeBody() {
    if (IsBodyComplete() || !MayReadBody()) {
        return 0; // nothing unread, or a client that has not sent its body: the connection closes
    }
    int64_t drained = 0;
    if (m_formPending && !m_formRefused) {
        drained += DrainForm();
    }
    if (!m_multipart.IsBodyComplete()) {
        drained += m_multipart.Drain(*this);
    }
    Log(LOG_DEBUG, "Dispose(%lld bytes)-OK", static_cast<long long>(drained));
    return drained;
}

void HttpRequest::SetPendingForm(std::string held, int64_t length) {
    m_formHeld = std::move(held);
    m_formLength = length;
    m_formPending = true;
}

void HttpRequest::SendContinue() {
    if (MayReadBody()) {
        return;
    }
    m_continueSent = true;
    static constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
    SendAll(kContinue.data(), kContinue.size());
}

bool HttpRequest::ReceiveForm() {
    if (!m_formPending) {
        return true;
    }
    std::string body = std::move(m_formHeld);
    if (m_formRefused || !TakeFormBudget(static_cast<int64_t>(body.size()))) {
        return RefuseForm();
    }
    m_reporter.AddTransferredBytes(kDirectionUpload, body.size());
    const size_t need = static_cast<size_t>(m_formLength);
    if (body.size() < need) {
        SendContinue();
    }
    char piece[kFormReceiveChunk];
    while (body.size() < need) {
        const int n = Receive(piece, std::min(need - body.size(), sizeof piece));
        if (!TakeFormBudget(n)) {
            return RefuseForm();
        }
        // Grown and copied into rather than appended to: a call of append here made the compiler stop
        // inlining the appends of the header writers (480 more instructions in every request).
        const size_t at = body.size();
        body.resize(at + static_cast<size_t>(n));
        std::memcpy(body.data() + at, piece, static_cast<size_t>(n));
    }
    m_formPending = false;
    ParseFormBody(body, m_form);
    return true;
}

bool HttpRequest::TakeFormBudget(int64_t bytes) {
    if (!FormBodyBudget::Shared().Reserve(GetRemoteAddress(), bytes)) {
        return false;
    }
    m_formReserved += bytes;
    return true;
}

bool HttpRequest::RefuseForm() {
    // What arrived of it is dropped at once; the rest is never read.
    m_formRefused = true;
    std::string().swap(m_formHeld);
    if (m_formReserved > 0) {
        FormBodyBudget::Shared().Release(GetRemoteAddress(), m_formReserved);
        m_formReserved = 0;
    }
    Log(LOG_WARNING, "Form body refused: too many held at once (%lld bytes)",
        static_cast<long long>(m_formLength));
    return false;
}

int64_t HttpRequest::DrainForm() {
    int64_t left = m_formLength - static_cast<int64_t>(m_formHeld.size());
    const int64_t drained = m_formLength;
    m_reporter.AddTransferredBytes(kDirectionUpload, m_formHeld.size());
    std::string().swap(m_formHeld);
    char buffer[8192];
    while (left > 0) {
        left -= Receive(buffer, static_cast<size_t>(std::min<int64_t>(left, sizeof buffer)));
    }
    m_formPending = false;
    return drained;
}

size_t HttpRequest::ReceiveBody(char* buffer, size_t capacity) {
    SendContinue();
    TraceBatch::DeliverHeld();
    return ReportBody(m_waits.Receive(buffer, capacity, false));
}

size_t HttpRequest::ReceiveBodyWhole(char* buffer, size_t capacity) {
    SendContinue();
    TraceBatch::DeliverHeld();
    // Woken once per piece rather than once per arriving segment, the thread leaves the sending side of
    // the connection less to do: over loopback a 1 GiB upload went from about 2.9 to 3.9 GB/s. The piece
    // stays small, and the upload's buffer is sized to half a second at its speed, so a kick, the speed
    // limit and the transfer view still hear of the transfer about as often as before.
    return ReportBody(m_waits.Receive(buffer, std::min(capacity, kWholeBodyPiece), true));
}

size_t HttpRequest::ReportBody(size_t received) {
    m_reporter.AddTransferredBytes(kDirectionUpload, received);
    Log(LOG_DEBUG, "Receive(%zu bytes)-OK", received);
    return received;
}

int HttpRequest::Receive(void* buffer, size_t capacity) {
    TraceBatch::DeliverHeld();
    const size_t n = m_waits.Receive(buffer, capacity, false);
    m_reporter.AddTransferredBytes(kDirectionUpload, n);
    return static_cast<int>(n);
}

void HttpRequest::Log(int level, const char* format, ...) const {
    if ((static_cast<uint32_t>(level) & GetTraceMask()) == 0) {
        return;
    }
    char message[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    std::string user = GetUserName();
    if (!user.empty()) {
        Trace(level, "[%s:%s] %s: %s", GetRemoteAddress().c_str(), user.c_str(), message, m_path.c_str());
    } else {
        Trace(level, "[%s] %s: %s", GetRemoteAddress().c_str(), message, m_path.c_str());
    }
}

// ---- Multipart ----

size_t HttpRequest::SetupMultipart(std::string_view boundary, std::string_view leftover,
                                   int64_t contentLength) {
    m_multipart.Setup(boundary, leftover, contentLength);
    size_t taken = static_cast<size_t>(m_multipart.GetReceived());
    if (taken > 2) {
        // Body bytes that came with the header block are upload traffic too (the first 2 end the header).
        m_reporter.AddTransferredBytes(kDirectionUpload, taken - 2);
    }
    return taken;
}

std::string HttpRequest::NextPart() {
    Log(LOG_DEBUG, "boundary found.");
    return m_multipart.NextPart(*this);
}

int HttpRequest::ReadPartData(void* buffer, unsigned capacity) {
    return m_multipart.ReadPartData(*this, static_cast<char*>(buffer), capacity);
}

} // namespace Vuxo
