#include "core/http/WebServer.h"

#include "core/log/Trace.h"
#include "core/transfer/TransferStatusAggregator.h"

#include <chrono>

namespace Vuxo {

namespace {

constexpr std::chrono::milliseconds kAcceptRetryPause{10};

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
        switch (Net::WaitReadable(m_listener.GetHandle(), m_wakeup.GetHandle(), -1)) {
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
        Trace(LOG_DEBUG, "thread count: %d", static_cast<int>(m_threads.size()));
    }
    return 0;
}

void WebServer::AcceptConnection() {
    TCPSocket child;
    if (m_listener.Accept(child)) {
        Trace(LOG_DEBUG, "server.Accept(child) succeeded");
        StartNewThread(child.Detach());
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

void WebServer::StartNewThread(Net::Handle handle) {
    std::unique_ptr<RequestParserThread> thread;
    try {
        thread = CreateConnectionThread();
    } catch (const std::exception&) {
        Net::CloseHandle(handle);
        Trace(LOG_ERROR, "Exception: %s", "cannot make a connection thread");
        return;
    }
    Trace(LOG_DEBUG, "StartNewThread()");
    thread->SetTimeouts(m_timeouts);
    thread->SetFinishedCallback([this] { m_wakeup.Signal(); });
    if (!thread->Init(handle, m_handler.load(), m_aggregator.load())) {
        // No thread: the socket closes with the object, and accepting goes on.
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

} // namespace Vuxo
