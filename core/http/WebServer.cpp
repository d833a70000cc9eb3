#include "core/http/WebServer.h"

#include "core/http/HeaderParsing.h"
#include "core/http/Refusal.h"
#include "core/log/Trace.h"
#include "core/transfer/Clock.h"
#include "core/transfer/TransferStatusAggregator.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <string_view>

namespace Vuxo {

namespace {

constexpr std::chrono::milliseconds kAcceptRetryPause{10};
// Connections taken from the listener before the loop looks at anything else.
constexpr int kAcceptBatch = 64;
// How often held connections are looked at when none of them has become readable.
constexpr int kHeldRecheckMs = 10;

// Connection threads past the bound while the ones ended to make room for them finish.
constexpr size_t kEndingSlack = 64;
// A kept connection may give way to a new one once it has waited this long for its next request.
constexpr int64_t kGiveWayAfterMs = 1000;

// Answers a connection that is not taken without a thread of its own, and closes it. Never waits.
void RefuseConnection(TCPSocket& socket, Refusal why = Refusal::AddressBusy) {
    WriteRefusal(socket, why);
    socket.Close();
}

// How much of its first request head a connection has received, looked at without taking it.
enum class HeadState { Nothing, Partial, Whole, Gone };

// A connection whose head has arrived whole does not hold a place without asking, whatever its address's
// count says: when connections arrive faster than their threads start, it is the server that keeps their
// requests waiting.
HeadState PeekHead(const TCPSocket& socket) {
    char head[RequestParserThread::kHeaderLimit];
    const long got = Net::Peek(socket.GetHandle(), head, sizeof head);
    if (got > 0) {
        const size_t size = static_cast<size_t>(got);
        return FindHeaderEnd(head, size, size) >= 0 ? HeadState::Whole : HeadState::Partial;
    }
    return got < 0 && Net::LastError() == Net::kErrWouldBlock ? HeadState::Nothing : HeadState::Gone;
}

// How often a crowded server looks for connections that waited too long.
int CrowdedSweepMs(const ConnectionLimits& limits) {
    return std::max(std::min(limits.crowdedIdleMs, limits.crowdedHeadMs) / 4, 10);
}

// Listens on `port`; false for a port outside 0 to 65535. Non-blocking: a connection that vanishes between
// poll and accept must not block the accept thread.
bool ListenOn(TCPServerSocket& socket, int port) {
    if (port < 0 || port > 65535 || !socket.Listen(static_cast<uint16_t>(port))) {
        Trace(LOG_DEBUG, "server.Listen(%d) failed", port);
        return false;
    }
    socket.SetNonBlocking(true);
    return true;
}

} // namespace

WebServer::WebServer()
    : m_handler(&NullHttpRequestHandler::GetInstance()),
      m_aggregator(&NullTransferStatusAggregator::GetInstance()) {
    SocketStartup();
    SetLimits(m_limits);
}

void WebServer::SetLimits(const ConnectionLimits& limits) {
    m_limits = limits;
    m_counts.SetCaps(limits.pendingPerAddress, limits.stalledPerAddress);
}

WebServer::~WebServer() {
    Stop();
}

void WebServer::SetHandler(HttpRequestHandler* handler) {
    m_handler.store(handler != nullptr ? handler : &NullHttpRequestHandler::GetInstance());
}

void WebServer::SetAggregator(TransferStatusAggregator* aggregator) {
    m_aggregator.store(aggregator != nullptr ? aggregator : &NullTransferStatusAggregator::GetInstance());
}

bool WebServer::Start(int port) {
    if (m_port.load() != -1 || IsRunning()) {
        Stop();
    }
    if (!ListenOn(m_listener, port)) {
        m_port.store(-1);
        return false;
    }
    return BeginAccepting();
}

bool WebServer::BeginAccepting() {
    m_port.store(m_listener.GetLocalPort());
    if (!StartAcceptThread()) {
        m_listener.Close();
        m_port.store(-1);
        return false;
    }
    return true;
}

bool WebServer::StartAcceptThread() {
    m_wakeup.Clear();
    return AThread::Start();
}

void WebServer::StopAcceptThread() {
    if (IsRunning()) {
        Trace(LOG_DEBUG, "Stop() : killing WebServer thread");
    }
    AThread::Stop(); // sets the stop event, wakes the poll through Interrupt, joins
}

bool WebServer::ChangePort(int port) {
    if (port < 0 || port > 65535) {
        return false;
    }
    int current = m_port.load();
    if (current == -1 || current == port) {
        return true;
    }
    TCPServerSocket fresh;
    if (!ListenOn(fresh, port)) {
        return false;
    }
    // The accept thread owns the listener: swap it only while the thread is stopped.
    StopAcceptThread();
    m_listener.Close(); // also closes connections still waiting in the old backlog
    m_listener.Attach(fresh.Detach());
    return BeginAccepting();
}

void WebServer::Stop() {
    StopAcceptThread();
    m_held.clear(); // closed unanswered, like the connections still in the listener's backlog
    m_heldByAddress.clear();
    CleanupDeadThreads();
    // Wake every connection first, then wait for each, so they end together rather than one by one.
    for (auto& thread : m_threads) {
        thread->RequestStop();
    }
    for (auto& thread : m_threads) {
        if (thread->IsRunning()) {
            Trace(LOG_DEBUG, "Stop() : killing RequestParserThread thread");
        }
        thread->Stop();
    }
    m_threads.clear(); // sockets close here, after their threads have ended
    m_port.store(-1);
    m_listener.Close();
}

void WebServer::Interrupt() {
    m_wakeup.Signal();
}

int WebServer::Run() {
    std::vector<Net::Handle> handles;
    std::vector<char> ready;
    while (!GetStopEvent().IsSet()) {
        // While crowded, waiting connections are looked at a few times per time-out.
        const int wait = NextWait(IsCrowded() ? CrowdedSweepMs(m_limits) : -1);
        handles.assign({m_listener.GetHandle(), m_wakeup.GetHandle()});
        for (const HeldConnection& held : m_held) {
            if (!held.partial) {
                handles.push_back(held.socket->GetHandle());
            }
        }
        const int count = Net::WaitAnyReadable(handles, ready, wait);
        if (count < 0) {
            GetStopEvent().WaitFor(kAcceptRetryPause);
            continue;
        }
        if (ready[1] != 0 || count == 0) {
            m_wakeup.Clear(); // a stop (checked above) or a finished connection (reaped here)
            CleanupDeadThreads();
        }
        size_t polled = 2; // the flags of the held connections follow the listener's and the wakeup's
        for (HeldConnection& held : m_held) {
            held.readable = !held.partial && ready[polled++] != 0;
        }
        if (ready[0] != 0) {
            AcceptConnections();
        }
        ReviewHeld();
        EndIdleConnectionsWhenCrowded();
        Trace(LOG_DEBUG, "thread count: %d", static_cast<int>(m_threads.size()));
    }
    return 0;
}

int WebServer::NextWait(int waitMs) const {
    if (m_held.empty()) {
        return waitMs;
    }
    return waitMs < 0 ? kHeldRecheckMs : std::min(waitMs, kHeldRecheckMs);
}

void WebServer::AcceptConnections() {
    for (int i = 0; i < kAcceptBatch && !GetStopEvent().IsSet(); ++i) {
        if (!AcceptConnection()) {
            return;
        }
    }
}

bool WebServer::AcceptConnection() {
    auto child = std::make_unique<TCPSocket>();
    uint32_t peer = 0;
    if (m_listener.Accept(*child, &peer)) {
        Trace(LOG_DEBUG, "server.Accept(child) succeeded");
        const bool counted = m_counts.TryAdd(peer, AddressState::Head);
        if (!counted && PeekHead(*child) != HeadState::Whole) {
            Hold(std::move(child), peer);
            return true;
        }
        Serve(*child, peer, counted);
        return true;
    }
    if (Net::LastError() == Net::kErrWouldBlock) {
        return false; // nothing more waiting, or the connection went away before it was taken
    }
    Trace(LOG_DEBUG, "server.Accept(child) failed: Server socket seems to be closed.");
    GetStopEvent().WaitFor(kAcceptRetryPause); // e.g. out of descriptors: do not spin
    return false;
}

void WebServer::Hold(std::unique_ptr<TCPSocket> socket, uint32_t peer) {
    if (m_limits.heldMost <= 0) {
        RefuseConnection(*socket);
        return;
    }
    if (static_cast<int>(m_held.size()) >= m_limits.heldMost) {
        // The one that waited longest without a request is the likeliest to send none.
        Trace(LOG_DEBUG, "held connection refused: too many connections without a request");
        RefuseConnection(*m_held.front().socket);
        Unhold(m_held.front().peer);
        m_held.erase(m_held.begin());
    }
    const int64_t now = m_aggregator.load()->GetClock().NowMs();
    m_held.push_back({std::move(socket), peer, now, false});
    ++m_heldByAddress[peer];
}

void WebServer::Unhold(uint32_t peer) {
    auto it = m_heldByAddress.find(peer);
    if (it != m_heldByAddress.end() && --it->second <= 0) {
        m_heldByAddress.erase(it);
    }
}

void WebServer::ReviewHeld() {
    if (m_held.empty()) {
        return;
    }
    const int64_t now = m_aggregator.load()->GetClock().NowMs();
    // Every one now and then (for their time and for places come free), else those that became readable.
    const bool all = now - m_lastHeldReviewMs >= kHeldRecheckMs;
    if (all) {
        m_lastHeldReviewMs = now;
    }
    // In arrival order, so that the places that came free go to the ones that waited longest, and an
    // address's held connections past its share go oldest first.
    std::vector<HeldConnection> kept;
    kept.reserve(m_held.size());
    for (HeldConnection& held : m_held) {
        if ((all || held.readable) && EndHeld(held, now)) {
            continue;
        }
        kept.push_back(std::move(held));
    }
    m_held = std::move(kept);
}

bool WebServer::EndHeld(HeldConnection& held, int64_t now) {
    const HeadState head = PeekHead(*held.socket);
    if (head == HeadState::Gone) {
        Unhold(held.peer); // closed by its client: nothing to answer
        return true;
    }
    const bool whole = head == HeadState::Whole;
    if (whole || m_counts.TryAdd(held.peer, AddressState::Head)) {
        Unhold(held.peer);
        Serve(*held.socket, held.peer, !whole);
        return true;
    }
    const int64_t heldFor = now - held.heldSinceMs;
    const auto sameAddress = m_heldByAddress.find(held.peer);
    const bool pastShare = sameAddress != m_heldByAddress.end() &&
                           sameAddress->second > m_limits.heldPerAddress &&
                           (head == HeadState::Partial || heldFor >= m_limits.heldBurstMs);
    if (heldFor >= m_limits.heldMs || pastShare) {
        Trace(LOG_DEBUG, pastShare ? "held connection refused: its address holds too many"
                                   : "held connection refused: no request in time");
        RefuseConnection(*held.socket);
        Unhold(held.peer);
        return true;
    }
    held.partial = head == HeadState::Partial;
    return false;
}

void WebServer::Serve(TCPSocket& socket, uint32_t peer, bool counted) {
    if (!MakeRoom(peer)) {
        if (counted) {
            m_counts.Remove(peer, AddressState::Head);
        }
        Trace(LOG_DEBUG, "connection refused: as many connections as the server may hold");
        RefuseConnection(socket, Refusal::ServerBusy);
        return;
    }
    StartNewThread(socket.Detach(), peer, counted);
}

bool WebServer::MakeRoom(uint32_t peer) {
    const size_t most = static_cast<size_t>(std::max(m_limits.connectionsMost, 0));
    if (m_threads.size() < most) {
        return true;
    }
    CleanupDeadThreads();
    if (m_threads.size() >= most + kEndingSlack) {
        return false; // the ones ended for others have not finished yet
    }
    // Those ended already make room as they finish; else the kept connection of another address that
    // has waited longest (a second at least) for its next request gives way, as a browser expects of an
    // idle connection it keeps. One whose first request may be on its way is not ended. An address does
    // not push out its own: one that holds the server full is refused, cheaply, rather than its every
    // new connection costing an old one's thread and a new thread.
    size_t ending = 0;
    RequestParserThread* longest = nullptr;
    int64_t longestSince = m_aggregator.load()->GetClock().NowMs() - kGiveWayAfterMs + 1;
    for (const auto& thread : m_threads) {
        ending += thread->IsBeingEnded() ? 1 : 0;
        const int64_t since = thread->GetIdleSinceMs();
        if (since >= 0 && since < longestSince && thread->HasServed() && thread->GetAddress() != peer) {
            longestSince = since;
            longest = thread.get();
        }
    }
    return m_threads.size() - ending < most ||
           (longest != nullptr && longest->EndIfWaitingSince(longestSince));
}

std::unique_ptr<RequestParserThread> WebServer::CreateConnectionThread() {
    return std::make_unique<RequestParserThread>();
}

void WebServer::StartNewThread(Net::Handle handle, uint32_t peer, bool counted) {
    std::unique_ptr<RequestParserThread> thread;
    try {
        thread = CreateConnectionThread();
    } catch (const std::exception&) {
        Net::CloseHandle(handle);
        if (counted) {
            m_counts.Remove(peer, AddressState::Head);
        }
        Trace(LOG_ERROR, "Exception: %s", "cannot make a connection thread");
        return;
    }
    Trace(LOG_DEBUG, "StartNewThread()");
    thread->SetTimeouts(m_timeouts);
    thread->SetFinishedCallback([this] { m_wakeup.Signal(); });
    thread->SetAddressCounts(&m_counts, peer, counted);
    if (!thread->Init(handle, m_handler.load(), m_aggregator.load())) {
        // No thread: the socket closes and the head place goes back with the object; accepting goes on.
        Trace(LOG_ERROR, "Exception: %s", "cannot start a connection thread");
        return;
    }
    m_threads.push_back(std::move(thread));
}

void WebServer::CleanupDeadThreads() {
    // One pass, not an erase per thread: at the bound of connections this runs for every new one.
    std::erase_if(m_threads, [](const std::unique_ptr<RequestParserThread>& thread) {
        if (!thread->IsFinished() && thread->IsRunning()) {
            return false;
        }
        thread->Stop(); // joins; Run has already returned or is about to
        Trace(LOG_DEBUG, "CleanupDeadThreads() : erased");
        return true;
    });
}

bool WebServer::IsCrowded() const {
    return static_cast<int64_t>(m_threads.size()) >= m_limits.crowdedConnections;
}

void WebServer::EndIdleConnectionsWhenCrowded() {
    if (!IsCrowded()) {
        return;
    }
    const int64_t now = m_aggregator.load()->GetClock().NowMs();
    if (now - m_lastIdleSweepMs < CrowdedSweepMs(m_limits)) {
        return;
    }
    m_lastIdleSweepMs = now;
    int ended = 0;
    for (auto& thread : m_threads) {
        ended +=
            thread->EndIfWaitingSince(now - m_limits.crowdedIdleMs, now - m_limits.crowdedHeadMs) ? 1 : 0;
    }
    if (ended > 0) {
        Trace(LOG_DEBUG, "crowded: %d waiting connections ended", ended);
    }
}

} // namespace Vuxo
