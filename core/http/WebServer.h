// The HTTP listener: one listening socket, one accept thread, and one RequestParserThread per accepted
// connection, each handing its requests to the installed handler. No pool; the service sets its limits on
// requests in its handler. Here clients are held back only in what they alone decide (ConnectionLimits):
// how many connections an address keeps with incomplete request heads or stalled on their client, how
// long heads, bodies and idle connections take, and how many connections the server holds at all, so
// that slow clients cannot take every thread and descriptor.
// Start, ChangePort, Stop and the setters are called by the owner (the server object, on the GUI thread),
// never concurrently with each other. The accept thread owns the listener, the list of connection
// threads and the held connections while it runs; the owner touches them only after stopping it. Handler and
// aggregator are read by the accept thread for each new connection (atomics); connections keep the pair they
// were accepted with. The counts per address are shared with the connection threads (AddressCounts, its
// own mutex).
#pragma once

#include "core/http/AddressCounts.h"
#include "core/http/HttpRequestHandler.h"
#include "core/http/RequestParserThread.h"
#include "core/net/Socket.h"
#include "core/platform/net/WakeupSignal.h"
#include "core/thread/AThread.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

namespace Vuxo {

class TransferStatusAggregator;

struct ConnectionLimits {
    // Connections one address may hold with an incomplete request head (from acceptance, or from the
    // first byte of a later request, until the head is whole). A connection whose whole head has already
    // arrived is served at once whatever its address's count says; any other is held by the accept thread
    // without a thread of its own (at most heldMost of them, each for heldMs) until its head arrives or a
    // place comes free. One that gets neither in time, or the oldest when one more comes to a full hold,
    // is answered 503 and closed; so is the oldest of an address's held connections past heldPerAddress,
    // once it has been held heldBurstMs (a client that opens many connections at once sends on them by
    // then) or has begun a head it has not finished.
    int pendingPerAddress = 64;
    int heldMost = 4096;
    int heldMs = 2000;
    int heldPerAddress = 256;
    int heldBurstMs = 250;
    // Connections of one address stalled on their client at once (see ClientWaits); one more is ended.
    int stalledPerAddress = 64;
    // Connection threads at most. At the bound a new connection ends the kept connection of another
    // address that has waited longest (a second at least) for its next request, or is answered 503 and
    // closed when there is none.
    int connectionsMost = 4000;
    // From this many open connections on the server is crowded: a connection that has waited
    // crowdedIdleMs for a request without receiving a byte of one is ended, and so is one whose request
    // head has taken crowdedHeadMs.
    int crowdedConnections = 512;
    int crowdedIdleMs = 5000;
    int crowdedHeadMs = 10000;
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
    void SetLimits(const ConnectionLimits& limits);

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
        int64_t heldSinceMs = 0;
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
    // True when a held connection goes now: answered and closed, or gone.
    bool EndHeld(HeldConnection& held, int64_t now);
    void Hold(std::unique_ptr<TCPSocket> socket, uint32_t peer);
    void Unhold(uint32_t peer);
    // Gives the connection a thread, or refuses it when the server is full. `counted`: its head place is
    // taken (given back here when it is refused).
    void Serve(TCPSocket& socket, uint32_t peer, bool counted);
    // False when the server holds as many connections as it may and none could be ended for one of
    // `peer`.
    bool MakeRoom(uint32_t peer);
    void StartNewThread(Net::Handle handle, uint32_t peer, bool counted);
    void CleanupDeadThreads();
    bool IsCrowded() const;
    void EndIdleConnectionsWhenCrowded();
    void StopAcceptThread();
    bool StartAcceptThread();
    // Publishes the listener's port and starts accepting on it; on failure the listener is closed.
    bool BeginAccepting();

    AddressCounts m_counts; // outlives the threads, which give their places back when destroyed
    std::vector<std::unique_ptr<RequestParserThread>> m_threads;
    std::atomic<HttpRequestHandler*> m_handler;
    std::atomic<TransferStatusAggregator*> m_aggregator;
    TCPServerSocket m_listener;
    std::atomic<int> m_port{-1};
    ConnectionTimeouts m_timeouts;
    ConnectionLimits m_limits;
    int64_t m_lastIdleSweepMs = 0;
    std::vector<HeldConnection> m_held; // the accept thread's own, in arrival order
    std::unordered_map<uint32_t, int> m_heldByAddress;
    int64_t m_lastHeldReviewMs = 0;
    // Wakes the accept thread: to stop, or because a connection thread finished.
    Net::WakeupSignal m_wakeup;
};

} // namespace Vuxo
