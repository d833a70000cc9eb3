// One connection's thread: reads requests one after another on its socket, hands each to the request
// handler and keeps the connection open only when the response asked for it and nothing of the request is
// left unread. Created by the web server's accept thread, which owns it and its socket; the socket is closed
// only when the object is destroyed, after the thread has been joined, so another thread may shut it down
// (RequestStop) at any time without racing a close. The thread's stack is 512 KiB, not the system's 8 MiB.
// While a request head is incomplete the connection holds a head place among its address's counts (the
// accept thread takes it for the first request, up to that head's end; the connection takes it again for
// a later head that does not arrive whole, and refuses that request when its address has no place left).
#pragma once

#include "core/http/AddressCounts.h"
#include "core/http/ClientWaits.h"
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
    // The counts of the connection's address (null: none); call before Init. `holdsHead`: its head place
    // is taken already.
    void SetAddressCounts(AddressCounts* counts, uint32_t address, bool holdsHead) {
        m_places.Bind(counts, address, holdsHead);
    }

    // Takes the connection and starts the thread. False when the thread could not be started; the socket is
    // then still held and closed with the object.
    virtual bool Init(Net::Handle handle, HttpRequestHandler* handler, TransferStatusAggregator* aggregator);

    // True once Run has done all its work (the thread is about to end; joining it does not wait).
    bool IsFinished() const { return m_finished.load(); }

    // Sets the stop event, shuts the socket down and ends throttle pauses, without waiting.
    void RequestStop();
    // From any thread: ends the connection when it has been waiting for a request since `idleCutoffMs`
    // (the aggregator clock's milliseconds) or longer without a byte of one, or when its request head
    // began at `headCutoffMs` or earlier and is still incomplete; true when it did.
    bool EndIfWaitingSince(int64_t idleCutoffMs, int64_t headCutoffMs = INT64_MIN);
    // True once EndIfWaitingSince has ended it.
    bool IsBeingEnded() const {
        return m_idleSinceMs.load() == kEndedIdle || m_headSinceMs.load() == kEndedIdle;
    }
    // The client's address (IPv4, network byte order) as the accept thread gave it.
    uint32_t GetAddress() const { return m_places.GetAddress(); }
    // Since when it has been waiting for a request without a byte of one; negative when it is not.
    int64_t GetIdleSinceMs() const { return m_idleSinceMs.load(); }
    // True once a request has been answered on it (it is kept for the next one).
    bool HasServed() const { return m_served.load(std::memory_order_relaxed); } // pairs with nothing: a hint

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
    // A head that did not arrive whole counts against its address until it has (the first request's
    // place is held from acceptance); when the address has no place left, the request is refused and the
    // connection ends.
    void CountIncompleteHead();
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
    AddressPlaces m_places;
    // While waiting for a request: since when; else kNotIdle, or kEndedIdle once EndIfWaitingSince ended
    // it. The same for an incomplete head: since when its time counts.
    static constexpr int64_t kNotIdle = -1;
    static constexpr int64_t kEndedIdle = -2;
    std::atomic<int64_t> m_idleSinceMs{kNotIdle};
    std::atomic<int64_t> m_headSinceMs{kNotIdle};
    std::atomic<bool> m_served{false};
    std::atomic<bool> m_finished{false};
    // Bytes received past the current request; the start of the next one.
    std::string m_leftover;
    // False when the request left bytes of unknown extent on the connection (a body without a length).
    bool m_reusable = true;
};

} // namespace Vuxo
