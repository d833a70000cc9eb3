#include "core/http/RequestParserThread.h"

#include "core/http/HeaderParsing.h"
#include "core/http/HttpRequest.h"
#include "core/log/Trace.h"
#include "core/net/SocketError.h"
#include "core/text/StringHelpers.h"
#include "core/text/UrlCoding.h"
#include "core/transfer/Clock.h"
#include "core/transfer/TransferStatusAggregator.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>

namespace Vuxo {

namespace {

// A url-encoded body is received in pieces of at most this size.
constexpr size_t kFormReceiveChunk = 64 * 1024;

const std::string* FindField(const HttpFieldMap& map, const char* name) {
    auto it = map.find(name);
    return it == map.end() ? nullptr : &it->second;
}

// strtol of a Content-Length value: 0 when it is not a number, never negative.
int64_t DecimalLength(const std::string& text) {
    errno = 0;
    long long value = std::strtoll(text.c_str(), nullptr, 10);
    if (errno == ERANGE && value > 0) {
        return INT64_MAX;
    }
    return value < 0 ? 0 : static_cast<int64_t>(value);
}

} // namespace

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
    HttpRequest request(m_socket, m_aggregator, m_timeouts.ioMs);
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
    return request.IsKeepAlive() && request.IsBodyComplete() && m_reusable;
}

int RequestParserThread::ReadHeaderBlock(char* buffer, size_t& filled) {
    filled = std::min(m_leftover.size(), kHeaderLimit);
    std::copy_n(m_leftover.data(), filled, buffer);
    m_leftover.clear();
    int end = FindHeaderEnd(buffer, filled, filled);
    Clock& clock = m_aggregator->GetClock();
    const int64_t deadline = clock.NowMs() + m_timeouts.headerMs;
    while (end < 0) {
        if (filled >= kHeaderLimit) {
            throw std::runtime_error("Illegal request: header too long");
        }
        int received = 0;
        try {
            int64_t remaining = deadline - clock.NowMs();
            // While nothing of the request has come, the connection is idle, and a blocking receive ends
            // by the socket's own time-out; when that is no longer than the header's, the separate wait
            // (one more system call per request) is not needed.
            const int socketTimeout = m_socket.GetReceiveTimeoutMs();
            const bool receiveEndsInTime =
                filled == 0 && socketTimeout > 0 && socketTimeout <= m_timeouts.headerMs;
            if (remaining <= 0 || (!receiveEndsInTime && !m_socket.WaitReadable(static_cast<int>(
                                                             std::min<int64_t>(remaining, INT32_MAX))))) {
                throw socket_exception::FromCode(Net::kErrTimedOut);
            }
            received = m_socket.Receive(buffer + filled, kHeaderLimit - filled);
        } catch (const socket_exception&) {
            if (filled == 0) {
                return -1; // nothing of a request arrived: the connection ends quietly
            }
            throw;
        }
        filled += static_cast<size_t>(received);
        end = FindHeaderEnd(buffer, filled, static_cast<size_t>(received));
    }
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
    request.m_methodWord = std::move(head.methodWord);
    request.m_uri = std::move(head.uri);
    request.m_version = std::move(head.version);
    request.m_headers = std::move(head.headers);
    request.m_path = DecodeRequestPath(request.m_uri);
    ParseQueryString(request.m_uri, request.m_query);
    request.Log(LOG_DEBUG, "Get Method Parsed.");
    request.ParseAuthorization();

    m_reusable = true;
    if (request.m_method == kHttpPost) {
        ParsePostBody(request, std::move(leftover));
        return true;
    }
    const std::string* length = FindField(request.m_headers, "CONTENT-LENGTH");
    bool declaresBody = (length != nullptr && DecimalLength(*length) > 0) ||
                        FindField(request.m_headers, "TRANSFER-ENCODING") != nullptr;
    if (declaresBody) {
        m_reusable = false; // a body nobody reads would be taken for the next request
    } else {
        m_leftover = leftover.substr(2); // a request the client sent ahead of this one's answer
    }
    return true;
}

void RequestParserThread::ParsePostBody(HttpRequest& request, std::string leftover) {
    const std::string* type = FindField(request.m_headers, "CONTENT-TYPE");
    const std::string* length = FindField(request.m_headers, "CONTENT-LENGTH");
    if (type != nullptr && type->find("multipart") != std::string::npos) {
        int64_t bodyLength = length != nullptr ? ParseInt64(*length) : 0;
        size_t taken = request.SetupMultipart(GetMultipartBoundary(*type), leftover, bodyLength);
        m_leftover = leftover.substr(taken);
        if (length == nullptr) {
            m_reusable = false;
        }
        return;
    }
    if (length == nullptr) {
        // Without a length the body is what came with the header block.
        m_reusable = false;
        std::string body = leftover.size() > 2 ? leftover.substr(2) : std::string();
        if (!body.empty()) {
            request.m_reporter.AddTransferredBytes(kDirectionUpload, body.size());
        }
        ParseFormBody(body, request.m_form);
    } else {
        ReadFormBody(request, std::move(leftover), DecimalLength(*length));
    }
    request.Log(LOG_DEBUG, "POST Method Parsed.");
}

void RequestParserThread::ReadFormBody(HttpRequest& request, std::string held, int64_t length) {
    if (length > kMaxFormBody) {
        m_reusable = false;
        request.BeginResponse(413, "Request Entity Too Large");
        request.EndResponse();
        request.Flush();
        throw std::runtime_error("Illegal request: form body too large");
    }
    const size_t need = static_cast<size_t>(length) + 2; // the kept "\r\n" comes first
    if (held.size() > need) {
        m_leftover = held.substr(need);
        held.resize(need);
    }
    if (held.size() > 2) {
        request.m_reporter.AddTransferredBytes(kDirectionUpload, held.size() - 2);
    }
    held.reserve(need);
    while (held.size() < need) {
        size_t before = held.size();
        size_t wanted = std::min(need - before, kFormReceiveChunk);
        held.resize(before + wanted);
        int n = m_socket.Receive(held.data() + before, wanted);
        held.resize(before + static_cast<size_t>(n));
        request.m_reporter.AddTransferredBytes(kDirectionUpload, static_cast<uint64_t>(n));
    }
    ParseFormBody(std::string_view(held).substr(std::min<size_t>(2, held.size())), request.m_form);
}

} // namespace Vuxo
