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

constexpr std::string_view kTooManyPending = "HTTP/1.1 503 Service Unavailable\r\n"
                                             "Content-Type: text/plain\r\n"
                                             "Content-Length: 40\r\n"
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

// True when the connection's first request head has arrived whole. Such a connection does not hold a place
// without asking, whatever its address's count says: when connections arrive faster than their threads
// start, it is the server that keeps their requests waiting.
bool HasWholeRequestHead(TCPSocket& socket) {
    char head[RequestParserThread::kHeaderLimit];
    const long got = Net::Peek(socket.GetHandle(), head, sizeof head);
    return got > 0 && FindHeaderEnd(head, static_cast<size_t>(got), static_cast<size_t>(got)) >= 0;
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
    while (!GetStopEvent().IsSet()) {
        // While crowded, idle connections are looked at a few times per idle time-out.
        const int wait = IsCrowded() ? std::max(m_limits.crowdedIdleMs / 4, 10) : -1;
        switch (Net::WaitReadable(m_listener.GetHandle(), m_wakeup.GetHandle(), wait)) {
        case Net::WaitResult::Woken:
            m_wakeup.Clear(); // a stop (checked above) or a finished connection (reaped below)
            break;
        case Net::WaitResult::Ready:
            AcceptConnection();
            break;
        case Net::WaitResult::TimedOut:
            break;
        case Net::WaitResult::Failed:
            GetStopEvent().WaitFor(kAcceptRetryPause);
            break;
        }
        CleanupDeadThreads();
        EndIdleConnectionsWhenCrowded();
        Trace(LOG_DEBUG, "thread count: %d", static_cast<int>(m_threads.size()));
    }
    return 0;
}

void WebServer::AcceptConnection() {
    TCPSocket child;
    uint32_t peer = 0;
    if (m_listener.Accept(child, &peer)) {
        Trace(LOG_DEBUG, "server.Accept(child) succeeded");
        const bool pending = AdmitPending(peer);
        if (!pending && !HasWholeRequestHead(child)) {
            Trace(LOG_DEBUG, "server.Accept(child) refused: too many connections without a request");
            RefuseConnection(child);
            return;
        }
        StartNewThread(child.Detach(), peer, pending);
        return;
    }
    if (Net::LastError() == Net::kErrWouldBlock) {
        return; // the connection went away before it was taken
    }
    Trace(LOG_DEBUG, "server.Accept(child) failed: Server socket seems to be closed.");
    GetStopEvent().WaitFor(kAcceptRetryPause); // e.g. out of descriptors: do not spin
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
