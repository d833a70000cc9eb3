// The HTTP listener: one listening socket, one accept thread, and one RequestParserThread per accepted
// connection, each handing its requests to the installed handler. No pool; the service sets its limits on
// requests in its handler. Here only clients that hold connections without sending requests are held
// back (ConnectionLimits), so that they cannot take every thread and descriptor.
// Start, ChangePort, Stop and the setters are called by the owner (the server object, on the GUI thread),
// never concurrently with each other. The accept thread owns the listener, the list of connection
// threads and the held connections while it runs; the owner touches them only after stopping it. Handler and
// aggregator are read by the accept thread for each new connection (atomics); connections keep the pair they
// were accepted with. The count of connections still waiting for their first request, per address, is shared
// with the connection threads under its own mutex (taken once per connection).
#pragma once

#include "core/http/HttpRequestHandler.h"
#include "core/http/RequestParserThread.h"
#include "core/net/Socket.h"
#include "core/platform/net/WakeupSignal.h"
#include "core/thread/AThread.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace Vuxo {

class TransferStatusAggregator;

struct ConnectionLimits {
    // Connections one address may hold open before their first request. One more is served at once when
    // the whole head of a request has already arrived on it; otherwise the accept thread holds it (at most
    // heldMost of them, each for heldMs) until its head arrives or a place comes free. One that gets
    // neither in time, or the oldest when one more comes to a full hold, is answered 503 and closed.
    int pendingPerAddress = 64;
    int heldMost = 4096;
    int heldMs = 250;
    // From this many open connections on the server is crowded, and a connection that has waited
    // crowdedIdleMs for a request without receiving a byte of one is ended.
    int crowdedConnections = 512;
    int crowdedIdleMs = 5000;
};

class WebServer : public AThread {
public:
    WebServer();
    ~WebServer() override;

    // Used by connections accepted afterwards; null restores the do-nothing default.
    void SetHandler(HttpRequestHandler* handler);
    void SetAggregator(TransferStatusAggregator* aggregator);
    // Time-outs of the connections; call before Start.
    void SetTimeouts(const ConnectionTimeouts& timeouts) { m_timeouts = timeouts; }
    void SetLimits(const ConnectionLimits& limits) { m_limits = limits; }

    // Listens on the port (0: a free port of the system's choice) and starts accepting. A running server is
    // stopped first. False when the port is outside 0-65535 or cannot be listened on (port then -1).
    bool Start(int port);
    // The port listened on, -1 when not listening.
    int GetPort() const { return m_port.load(); }
    // Moves to another port: true when already there or not listening; false (old port kept) when the new
    // one cannot be listened on. Connections in progress go on.
    bool ChangePort(int port);
    // Stops accepting, ends every connection (a transfer in progress is cut off) and waits for every thread.
    void Stop();

protected:
    int Run() override;
    void Interrupt() override;
    // Makes the thread object for a new connection.
    virtual std::unique_ptr<RequestParserThread> CreateConnectionThread();

private:
    // A connection past its address's cap, waiting in the accept thread for its head or a free place.
    struct HeldConnection {
        std::unique_ptr<TCPSocket> socket;
        uint32_t peer = 0;
        int64_t deadlineMs = 0;
        // Part of a head has come: the socket stays readable, so it is looked at on the recheck instead.
        bool partial = false;
        bool readable = false; // by the last wait
    };

    // The wait for the next event: `waitMs` (negative: none), shortened while connections are held.
    int NextWait(int waitMs) const;
    // Takes what the listener has waiting, a bounded number at a time.
    void AcceptConnections();
    // Takes one connection; false when none was waiting or accepting failed.
    bool AcceptConnection();
    // Serves, refuses or keeps the held connections that became readable, and now and then all of them.
    void ReviewHeld();
    // `pending`: the connection is counted among its address's connections waiting for a request.
    void StartNewThread(Net::Handle handle, uint32_t peer, bool pending);
    void CleanupDeadThreads();
    // Counts a connection of `peer` that waits for its first request; false when it has too many.
    bool AdmitPending(uint32_t peer);
    void ReleasePending(uint32_t peer);
    bool IsCrowded() const;
    void EndIdleConnectionsWhenCrowded();
    void StopAcceptThread();
    bool StartAcceptThread();
    // Publishes the listener's port and starts accepting on it; on failure the listener is closed.
    bool BeginAccepting();

    std::vector<std::unique_ptr<RequestParserThread>> m_threads;
    std::atomic<HttpRequestHandler*> m_handler;
    std::atomic<TransferStatusAggregator*> m_aggregator;
    TCPServerSocket m_listener;
    std::atomic<int> m_port{-1};
    ConnectionTimeouts m_timeouts;
    ConnectionLimits m_limits;
    int64_t m_lastIdleSweepMs = 0;
    std::mutex m_pendingMutex;
    std::unordered_map<uint32_t, int> m_pendingByAddress;
    std::vector<HeldConnection> m_held; // the accept thread's own, in arrival order
    int64_t m_lastHeldReviewMs = 0;
    // Wakes the accept thread: to stop, or because a connection thread finished.
    Net::WakeupSignal m_wakeup;
};

} // namespace Vuxo
