// One connection's thread: reads requests one after another on its socket, hands each to the request
// handler and keeps the connection open only when the response asked for it and nothing of the request is
// left unread. Created by the web server's accept thread, which owns it and its socket; the socket is closed
// only when the object is destroyed, after the thread has been joined, so another thread may shut it down
// (RequestStop) at any time without racing a close. The thread's stack is 512 KiB, not the system's 8 MiB.
#pragma once

#include "core/http/HttpRequestHandler.h"
#include "core/net/Socket.h"
#include "core/thread/AThread.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace Vuxo {

class HttpRequest;
class TransferStatusAggregator;

struct ConnectionTimeouts {
    // Each send and receive.
    int ioMs = 60000;
    // The whole header block of a request, however slowly it drips in.
    int headerMs = 60000;
};

class RequestParserThread : public AThread {
public:
    // Longest header block accepted.
    static constexpr size_t kHeaderLimit = 10240;
    // Largest url-encoded form body held in memory; a larger one is answered 413 and the connection closed.
    // All bodies held at once are bounded too (FormBodyBudget).
    static constexpr int64_t kMaxFormBody = 8 * 1024 * 1024;

    RequestParserThread();
    ~RequestParserThread() override;

    void SetTimeouts(const ConnectionTimeouts& timeouts) { m_timeouts = timeouts; }
    // Called on the connection thread as its last action.
    void SetFinishedCallback(std::function<void()> callback) { m_onFinished = std::move(callback); }
    // Called once on the connection thread: when the first byte of its first request arrives, or when it
    // ends without one.
    void SetFirstRequestCallback(std::function<void()> callback) { m_onFirstRequest = std::move(callback); }

    // Takes the connection and starts the thread. False when the thread could not be started; the socket is
    // then still held and closed with the object.
    virtual bool Init(Net::Handle handle, HttpRequestHandler* handler, TransferStatusAggregator* aggregator);

    // True once Run has done all its work (the thread is about to end; joining it does not wait).
    bool IsFinished() const { return m_finished.load(); }

    // Sets the stop event, shuts the socket down and ends throttle pauses, without waiting.
    void RequestStop();
    // From any thread: ends the connection when it has been waiting for a request since `cutoffMs` (the
    // aggregator clock's milliseconds) or longer, without a byte of one; true when it did.
    bool EndIfIdleSince(int64_t cutoffMs);

    // Reads and parses one request; false when the connection delivered no byte of one.
    bool ParseRequest(HttpRequest& request);

    int Run() override;

protected:
    void Interrupt() override;

private:
    // One request: parse, handle, flush. True when the connection may carry another request.
    bool ServeRequest();
    bool ServeRequestGuarded();
    // Reads until the header block is complete; its length, or -1 when nothing arrived.
    int ReadHeaderBlock(char* buffer, size_t& filled);
    // Waits for the first bytes of a request (none held); false when none came.
    bool WaitForFirstByte(char* buffer, size_t& filled);
    void NoteFirstRequest();
    // Answers `code` at once, then throws: the connection ends.
    [[noreturn]] void Refuse(HttpRequest& request, int code, const char* reason, const char* why);
    // Refuses a head with a `fault` (HeaderParsing.h) and a target that is no path; an absolute-form
    // target becomes its path, and its host the HOST header.
    void CheckHead(HttpRequest& request, const char* fault);
    // The declared body length, -1 without one; refuses a request whose body has no single plain length.
    int64_t CheckBodyFraming(HttpRequest& request, const std::vector<std::string>& repeated);
    void ParsePostBody(HttpRequest& request, std::string leftover, int64_t length);
    void KeepFormBody(HttpRequest& request, const std::string& leftover, int64_t length);

    TCPSocket m_socket;
    HttpRequestHandler* m_handler = &NullHttpRequestHandler::GetInstance();
    TransferStatusAggregator* m_aggregator = nullptr;
    ConnectionTimeouts m_timeouts;
    std::function<void()> m_onFinished;
    std::function<void()> m_onFirstRequest;
    // While waiting for a request: since when; else kNotIdle, or kEndedIdle once EndIfIdleSince ended it.
    static constexpr int64_t kNotIdle = -1;
    static constexpr int64_t kEndedIdle = -2;
    std::atomic<int64_t> m_idleSinceMs{kNotIdle};
    std::atomic<bool> m_finished{false};
    // Bytes received past the current request; the start of the next one.
    std::string m_leftover;
    // False when the request left bytes of unknown extent on the connection (a body without a length).
    bool m_reusable = true;
};

} // namespace Vuxo
