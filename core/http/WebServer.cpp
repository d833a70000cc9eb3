#include "core/http/WebServer.h"

#include "core/http/HeaderParsing.h"
#include "core/log/Trace.h"
#include "core/transfer/Clock.h"
#include "core/transfer/TransferStatusAggregator.h"

#include <algorithm>
#include <chrono>
#include <string_view>

namespace Vuxo {

namespace {

constexpr std::chrono::milliseconds kAcceptRetryPause{10};
// Connections taken from the listener before the loop looks at anything else.
constexpr int kAcceptBatch = 64;
// How often held connections are looked at when none of them has become readable.
constexpr int kHeldRecheckMs = 10;

constexpr std::string_view kTooManyPending = "HTTP/1.1 503 Service Unavailable\r\n"
                                             "Content-Type: text/plain\r\n"
                                             "Content-Length: 40\r\n"
                                             "X-Content-Type-Options: nosniff\r\n"
                                             "Connection:close\r\n\r\n"
                                             "Too many connections from this address.\n";

// Answers a connection that is not taken without a thread of its own, and closes it. Never waits.
void RefuseConnection(TCPSocket& socket) {
    socket.SetNonBlocking(true);
    socket.SendRaw(kTooManyPending.data(), kTooManyPending.size(), 0);
    char discard[4096];
    socket.ReceiveRaw(discard, sizeof discard, 0); // a request already here would turn the close into a reset
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
        // While crowded, idle connections are looked at a few times per idle time-out.
        const int wait = NextWait(IsCrowded() ? std::max(m_limits.crowdedIdleMs / 4, 10) : -1);
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
        const bool pending = AdmitPending(peer);
        if (!pending && PeekHead(*child) != HeadState::Whole) {
            if (m_limits.heldMost <= 0) {
                RefuseConnection(*child);
                return true;
            }
            if (static_cast<int>(m_held.size()) >= m_limits.heldMost) {
                // The one that waited longest without a request is the likeliest to send none.
                Trace(LOG_DEBUG, "held connection refused: too many connections without a request");
                RefuseConnection(*m_held.front().socket);
                m_held.erase(m_held.begin());
            }
            const int64_t now = m_aggregator.load()->GetClock().NowMs();
            m_held.push_back({std::move(child), peer, now + m_limits.heldMs, false});
            return true;
        }
        StartNewThread(child->Detach(), peer, pending);
        return true;
    }
    if (Net::LastError() == Net::kErrWouldBlock) {
        return false; // nothing more waiting, or the connection went away before it was taken
    }
    Trace(LOG_DEBUG, "server.Accept(child) failed: Server socket seems to be closed.");
    GetStopEvent().WaitFor(kAcceptRetryPause); // e.g. out of descriptors: do not spin
    return false;
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
    // In arrival order, so that the places that came free go to the ones that waited longest.
    std::vector<HeldConnection> kept;
    kept.reserve(m_held.size());
    for (HeldConnection& held : m_held) {
        if (!all && !held.readable) {
            kept.push_back(std::move(held));
            continue;
        }
        const HeadState head = PeekHead(*held.socket);
        if (head == HeadState::Gone) {
            continue; // closed by its client: nothing to answer
        }
        const bool whole = head == HeadState::Whole;
        if (whole || AdmitPending(held.peer)) {
            StartNewThread(held.socket->Detach(), held.peer, !whole);
        } else if (now >= held.deadlineMs) {
            Trace(LOG_DEBUG, "held connection refused: no request in time");
            RefuseConnection(*held.socket);
        } else {
            held.partial = head == HeadState::Partial;
            kept.push_back(std::move(held));
        }
    }
    m_held = std::move(kept);
}

std::unique_ptr<RequestParserThread> WebServer::CreateConnectionThread() {
    return std::make_unique<RequestParserThread>();
}

void WebServer::StartNewThread(Net::Handle handle, uint32_t peer, bool pending) {
    const auto release = [this, peer, pending] {
        if (pending) {
            ReleasePending(peer);
        }
    };
    std::unique_ptr<RequestParserThread> thread;
    try {
        thread = CreateConnectionThread();
    } catch (const std::exception&) {
        Net::CloseHandle(handle);
        release();
        Trace(LOG_ERROR, "Exception: %s", "cannot make a connection thread");
        return;
    }
    Trace(LOG_DEBUG, "StartNewThread()");
    thread->SetTimeouts(m_timeouts);
    thread->SetFinishedCallback([this] { m_wakeup.Signal(); });
    thread->SetFirstRequestCallback(release);
    if (!thread->Init(handle, m_handler.load(), m_aggregator.load())) {
        // No thread: the socket closes with the object, and accepting goes on.
        release();
        Trace(LOG_ERROR, "Exception: %s", "cannot start a connection thread");
        return;
    }
    m_threads.push_back(std::move(thread));
}

void WebServer::CleanupDeadThreads() {
    for (auto it = m_threads.begin(); it != m_threads.end();) {
        if ((*it)->IsFinished() || !(*it)->IsRunning()) {
            (*it)->Stop(); // joins; Run has already returned or is about to
            it = m_threads.erase(it);
            Trace(LOG_DEBUG, "CleanupDeadThreads() : erased");
        } else {
            ++it;
        }
    }
}

bool WebServer::AdmitPending(uint32_t peer) {
    std::lock_guard<std::mutex> lock(m_pendingMutex);
    int& count = m_pendingByAddress[peer];
    if (count >= m_limits.pendingPerAddress) {
        if (count == 0) {
            m_pendingByAddress.erase(peer);
        }
        return false;
    }
    ++count;
    return true;
}

void WebServer::ReleasePending(uint32_t peer) {
    std::lock_guard<std::mutex> lock(m_pendingMutex);
    auto it = m_pendingByAddress.find(peer);
    if (it != m_pendingByAddress.end() && --it->second <= 0) {
        m_pendingByAddress.erase(it);
    }
}

bool WebServer::IsCrowded() const {
    return static_cast<int64_t>(m_threads.size()) >= m_limits.crowdedConnections;
}

void WebServer::EndIdleConnectionsWhenCrowded() {
    if (!IsCrowded()) {
        return;
    }
    const int64_t now = m_aggregator.load()->GetClock().NowMs();
    if (now - m_lastIdleSweepMs < std::max(m_limits.crowdedIdleMs / 4, 10)) {
        return;
    }
    m_lastIdleSweepMs = now;
    int ended = 0;
    for (auto& thread : m_threads) {
        ended += thread->EndIfIdleSince(now - m_limits.crowdedIdleMs) ? 1 : 0;
    }
    if (ended > 0) {
        Trace(LOG_DEBUG, "crowded: %d idle connections ended", ended);
    }
}

} // namespace Vuxo
