#include "core/http/RequestParserThread.h"

#include "core/http/HeaderParsing.h"
#include "core/http/HttpRequest.h"
#include "core/http/Refusal.h"
#include "core/log/Trace.h"
#include "core/net/SocketError.h"
#include "core/text/StringHelpers.h"
#include "core/text/UrlCoding.h"
#include "core/transfer/Clock.h"
#include "core/transfer/TransferStatusAggregator.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>

namespace Vuxo {

namespace {

// A thousand connections are a thousand threads: with the system's 8 MiB stacks each one's top pages lie
// far apart and the switch from one to the next is dearer (2,000 connections: ~6 % more requests a
// second with these). Every request the tests make, the deepest templates and the archives included,
// runs in a quarter of this; address sanitizer builds keep the default, their frames are far larger.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CORVANTA_ADDRESS_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(CORVANTA_ADDRESS_SANITIZER)
constexpr size_t kConnectionStackSize = 0;
#else
constexpr size_t kConnectionStackSize = 512 * 1024;
#endif

const std::string* FindField(const HttpFieldMap& map, std::string_view name) {
    auto it = map.find(name);
    return it == map.end() ? nullptr : &it->second;
}

// A Content-Length value: decimal digits only (no sign, no blank inside, no hexadecimal), within 64 bits.
bool ParseContentLength(const std::string& text, int64_t& length) {
    if (text.empty() || text.size() > 18) {
        return false; // 18 digits always fit
    }
    length = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        length = length * 10 + (c - '0');
    }
    return true;
}

bool ExpectsContinue(const HttpFieldMap& headers, const std::string& version) {
    const std::string* expect = FindField(headers, "EXPECT");
    if (expect == nullptr || version == "HTTP/1.0") {
        return false; // an HTTP/1.0 client never waits for it
    }
    std::string value = *expect;
    ToLower(value);
    return value == "100-continue";
}

} // namespace

RequestParserThread::RequestParserThread() {
    SetStackSize(kConnectionStackSize);
    // A connection woken by its client's next request does not take the processor from the thread that
    // runs: with thousands of connections, each request's wake-up would otherwise cut into whatever else
    // ran, the client among them (a local client was cut off twenty times as often or more, and a tenth of
    // the processors' time went idle waiting for it). Nor does a busy server cut into the desktop's programs.
    SetBatchScheduling(true);
}

RequestParserThread::~RequestParserThread() {
    Stop();
}

bool RequestParserThread::Init(Net::Handle handle, HttpRequestHandler* handler,
                               TransferStatusAggregator* aggregator) {
    m_socket.Attach(handle);
    m_handler = handler != nullptr ? handler : &NullHttpRequestHandler::GetInstance();
    m_aggregator = aggregator != nullptr ? aggregator : &NullTransferStatusAggregator::GetInstance();
    return Start();
}

void RequestParserThread::Interrupt() {
    if (m_finished.load()) {
        return; // nothing left to wake; waking every throttle pause would only disturb other transfers
    }
    m_socket.Shutdown();
    if (m_aggregator != nullptr) {
        m_aggregator->WakeAll();
    }
}

void RequestParserThread::RequestStop() {
    SignalStop();
    Interrupt();
}

int RequestParserThread::Run() {
    while (!GetStopEvent().IsSet() && ServeRequestGuarded()) {
    }
    m_headSinceMs.store(kNotIdle);
    m_places.GiveAll(); // at once, not when the accept thread gets round to destroying the thread
    // The peer sees the end of the response now; the descriptor is closed when the owner destroys us.
    m_socket.Shutdown();
    m_finished.store(true);
    if (m_onFinished) {
        m_onFinished();
    }
    return 0;
}

bool RequestParserThread::ServeRequestGuarded() {
    // The request is destroyed (its transfer leaves the aggregator) before any of these runs.
    try {
        return ServeRequest();
    } catch (const socket_exception& e) {
        Trace(LOG_ERROR, "Socket Error: %s", e.what());
    } catch (const std::exception& e) {
        Trace(LOG_ERROR, "Exception: %s", e.what());
    } catch (...) {
        // A handler may throw anything; the connection ends and the process goes on.
        Trace(LOG_WARNING, "Unknown Exception");
    }
    return false;
}

bool RequestParserThread::ServeRequest() {
    HttpRequest request(m_socket, m_aggregator, m_timeouts, &m_places);
    TransferStatusReporter& reporter = request.GetReporter();
    request.SetStopEvent(&GetStopEvent());
    request.Log(LOG_DEBUG, "Receiving header...");
    if (!ParseRequest(request)) {
        return false;
    }
    request.Log(LOG_DEBUG, "Requested");
    reporter.SetRequestTexts(FormDecode(request.GetUri()), request.GetRemoteAddress(), request.GetUserName());
    m_handler->HandleRequest(request);
    request.Flush();
    m_served.store(true, std::memory_order_relaxed);
    return request.IsKeepAlive() && request.IsBodyComplete() && m_reusable;
}

bool RequestParserThread::EndIfWaitingSince(int64_t idleCutoffMs, int64_t headCutoffMs) {
    const auto endIfSince = [](std::atomic<int64_t>& sinceMs, int64_t cutoffMs) {
        int64_t since = sinceMs.load();
        return since >= 0 && since <= cutoffMs && sinceMs.compare_exchange_strong(since, kEndedIdle);
    };
    if (!endIfSince(m_idleSinceMs, idleCutoffMs) && !endIfSince(m_headSinceMs, headCutoffMs)) {
        return false;
    }
    m_socket.Shutdown(); // the waiting receive returns at once, as if the client had closed
    return true;
}

bool RequestParserThread::WaitForFirstByte(char* buffer, size_t& filled) {
    // While nothing of a request has come the connection is idle, and a blocking receive ends by the
    // socket's own time-out; when that is no longer than the header's, a separate wait (one more system
    // call per request) is not needed.
    m_idleSinceMs.store(m_aggregator->GetClock().NowMs());
    int received = 0;
    try {
        const int socketTimeout = m_socket.GetReceiveTimeoutMs();
        const bool receiveEndsInTime = socketTimeout > 0 && socketTimeout <= m_timeouts.headerMs;
        if (receiveEndsInTime || m_socket.WaitReadable(m_timeouts.headerMs)) {
            received = m_socket.Receive(buffer, kHeaderLimit);
        }
    } catch (const socket_exception&) {
        received = 0; // closed, reset or timed out before a request: the connection ends quietly
    }
    m_idleSinceMs.store(kNotIdle);
    if (received <= 0) {
        return false;
    }
    filled = static_cast<size_t>(received);
    return true;
}

void RequestParserThread::CountIncompleteHead() {
    if (!m_places.Take(AddressState::Head)) {
        WriteRefusal(m_socket, Refusal::AddressBusy);
        throw std::runtime_error("Illegal request: too many incomplete requests from this address");
    }
}

int RequestParserThread::ReadHeaderBlock(char* buffer, size_t& filled) {
    filled = std::min(m_leftover.size(), kHeaderLimit);
    std::copy_n(m_leftover.data(), filled, buffer);
    m_leftover.clear();
    if (filled == 0 && !WaitForFirstByte(buffer, filled)) {
        return -1;
    }
    // The header's time counts from its first byte, however long the connection was idle before it.
    Clock& clock = m_aggregator->GetClock();
    const int64_t headStart = clock.NowMs();
    const int64_t deadline = headStart + m_timeouts.headerMs;
    int end = FindHeaderEnd(buffer, filled, filled);
    if (end < 0) {
        CountIncompleteHead();          // the first request's place was taken on acceptance
        m_headSinceMs.store(headStart); // for a crowded server's shorter time
    }
    while (end < 0) {
        if (filled >= kHeaderLimit) {
            throw std::runtime_error("Illegal request: header too long");
        }
        const int64_t remaining = deadline - clock.NowMs();
        if (remaining <= 0 ||
            !m_socket.WaitReadable(static_cast<int>(std::min<int64_t>(remaining, INT32_MAX)))) {
            throw socket_exception::FromCode(Net::kErrTimedOut);
        }
        const int received = m_socket.Receive(buffer + filled, kHeaderLimit - filled);
        filled += static_cast<size_t>(received);
        end = FindHeaderEnd(buffer, filled, static_cast<size_t>(received));
    }
    if (m_headSinceMs.load(std::memory_order_relaxed) != kNotIdle) { // only this thread stores times
        m_headSinceMs.store(kNotIdle);
    }
    m_places.Give(AddressState::Head);
    return end;
}

bool RequestParserThread::ParseRequest(HttpRequest& request) {
    char buffer[kHeaderLimit];
    size_t filled = 0;
    int end = ReadHeaderBlock(buffer, filled);
    if (end < 0) {
        return false;
    }
    // The second "\r\n" of the separator and whatever followed it.
    std::string leftover(buffer + end + 2, filled - static_cast<size_t>(end) - 2);

    RequestHead head;
    ParseRequestHead(std::string_view(buffer, static_cast<size_t>(end)), head);
    request.m_method = MethodNumber(head.methodWord);
    request.m_head = head.methodWord == "HEAD";
    request.m_methodWord = std::move(head.methodWord);
    request.m_uri = std::move(head.uri);
    request.m_version = std::move(head.version);
    request.m_headers = std::move(head.headers);
    m_reusable = true;
    CheckHead(request, head.fault);
    request.m_path = DecodeRequestPath(request.m_uri);
    ParseQueryString(request.m_uri, request.m_query);
    request.Log(LOG_DEBUG, "Get Method Parsed.");
    request.ParseAuthorization();
    request.SetExpectsContinue(ExpectsContinue(request.m_headers, request.m_version));

    const int64_t length = CheckBodyFraming(request, head.repeatedNames);
    if (request.m_method == kHttpPost) {
        ParsePostBody(request, std::move(leftover), length);
        return true;
    }
    if (length > 0) {
        m_reusable = false; // a body nobody reads would be taken for the next request
    } else {
        m_leftover = leftover.substr(2); // a request the client sent ahead of this one's answer
    }
    return true;
}

void RequestParserThread::Refuse(HttpRequest& request, int code, const char* reason, const char* why) {
    m_reusable = false;
    request.BeginResponse(code, reason);
    request.EndResponse();
    request.Flush();
    throw std::runtime_error(std::string("Illegal request: ") + why);
}

void RequestParserThread::CheckHead(HttpRequest& request, const char* fault) {
    // A head that another reader could split into other lines, or a body length hidden in one, is refused
    // like a doubtful length.
    if (fault != nullptr) {
        Refuse(request, 400, "Bad Request", fault);
    }
    // Only a path names something here: the path is the target without its first character, taken for
    // its "/", so "Xpub/a" would name "pub/a" and "*" the root.
    std::string authority;
    if (!TakeOriginForm(request.m_uri, authority)) {
        Refuse(request, 400, "Bad Request", "request target");
    }
    if (!authority.empty()) {
        // An absolute target's host is the one meant, whatever the Host header says (RFC 9112 3.2.2).
        request.m_headers.insert_or_assign("HOST", std::move(authority));
    }
}

int64_t RequestParserThread::CheckBodyFraming(HttpRequest& request,
                                              const std::vector<std::string>& repeated) {
    // Where the body ends must be beyond doubt: a proxy in front that reads the length another way would
    // take part of the body for a request of its own (or a request for part of a body). Such requests
    // are refused and their connection closed.
    if (FindField(request.m_headers, "TRANSFER-ENCODING") != nullptr) {
        Refuse(request, 501, "Not Implemented", "transfer coding");
    }
    const std::string* text = FindField(request.m_headers, "CONTENT-LENGTH");
    if (text == nullptr) {
        return -1;
    }
    int64_t length = 0;
    if (std::find(repeated.begin(), repeated.end(), "CONTENT-LENGTH") != repeated.end() ||
        !ParseContentLength(*text, length)) {
        Refuse(request, 400, "Bad Request", "bad Content-Length");
    }
    return length;
}

void RequestParserThread::ParsePostBody(HttpRequest& request, std::string leftover, int64_t length) {
    const std::string* type = FindField(request.m_headers, "CONTENT-TYPE");
    if (type != nullptr && type->find("multipart") != std::string::npos) {
        size_t taken =
            request.SetupMultipart(GetMultipartBoundary(*type), leftover, std::max<int64_t>(length, 0));
        m_leftover = leftover.substr(taken);
        if (length < 0) {
            m_reusable = false;
        }
        return;
    }
    if (length < 0) {
        // Without a length the body is what came with the header block.
        m_reusable = false;
        std::string body = leftover.size() > 2 ? leftover.substr(2) : std::string();
        if (!body.empty()) {
            request.m_reporter.AddTransferredBytes(kDirectionUpload, body.size());
        }
        ParseFormBody(body, request.m_form);
    } else {
        KeepFormBody(request, std::move(leftover), length);
    }
    request.Log(LOG_DEBUG, "POST Method Parsed.");
}

void RequestParserThread::KeepFormBody(HttpRequest& request, const std::string& leftover, int64_t length) {
    if (length > kMaxFormBody) {
        Refuse(request, 413, "Request Entity Too Large", "form body too large");
    }
    const size_t need = static_cast<size_t>(length) + 2; // the kept "\r\n" comes first
    const size_t held = std::min(need, leftover.size());
    m_leftover = leftover.substr(held);
    std::string body = leftover.substr(2, held - 2);
    if (held == need) {
        // It all came with the header block (no more than the header's buffer): nothing is left to wait for.
        request.m_reporter.AddTransferredBytes(kDirectionUpload, body.size());
        ParseFormBody(body, request.m_form);
        return;
    }
    // The rest is read when the handler asks for it, once it has decided to serve the request.
    request.SetPendingForm(std::move(body), length);
}

} // namespace Vuxo
