// Starting, moving and stopping the web server, and what its connection threads survive.
#include "HttpTestSupport.h"

#include "core/transfer/GuiTransferStatusAggregator.h"
#include "fixtures/support/PolicyLines.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <semaphore>

#include <sys/resource.h>
#include <sys/socket.h>

namespace Vuxo {
namespace {

using namespace Testing;

const std::string kGet = "GET / HTTP/1.1\r\n\r\n";

// Answers "ok" and closes.
FunctionHandler& OkHandler() {
    static FunctionHandler handler([](HttpRequest& r) {
        r.BeginResponse(200, "OK");
        r.Write("ok");
    });
    return handler;
}
const std::string kOkAnswer = Fixtures::WithPolicyLines("HTTP/1.1 200 OK\r\nConnection:close\r\n\r\nok");
const std::string kRefusal =
    "HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/plain\r\n"
    "Content-Length: 40\r\nX-Content-Type-Options: nosniff\r\nConnection:close\r\n\r\n"
    "Too many connections from this address.\n";

bool CanConnect(uint16_t port) {
    TCPSocket socket;
    return socket.Create() && socket.Connect("127.0.0.1", port);
}

TEST(WebServer, StartsOnlyOnAFreeValidPort) {
    TCPServerSocket other;
    ASSERT_TRUE(other.Listen(0));
    WebServer server;
    EXPECT_EQ(server.GetPort(), -1);
    EXPECT_FALSE(server.Start(other.GetLocalPort()));
    EXPECT_EQ(server.GetPort(), -1);
    EXPECT_FALSE(server.Start(-1));
    EXPECT_FALSE(server.Start(65536 + 80)) << "a port is not wrapped into 16 bits";
    EXPECT_EQ(server.GetPort(), -1);

    server.SetHandler(&OkHandler());
    ASSERT_TRUE(server.Start(0));
    EXPECT_GT(server.GetPort(), 0);
    EXPECT_EQ(Exchange(static_cast<uint16_t>(server.GetPort()), kGet), kOkAnswer);
    server.Stop();
    EXPECT_EQ(server.GetPort(), -1);
}

TEST(WebServer, RestartsOnTheSamePortAtOnce) {
    WebServer server;
    server.SetHandler(&OkHandler());
    ASSERT_TRUE(server.Start(0));
    uint16_t port = static_cast<uint16_t>(server.GetPort());
    for (int i = 0; i < 3; ++i) { // the server closes these first, so they linger on its port
        EXPECT_EQ(Exchange(port, kGet), kOkAnswer);
    }
    server.Stop();
    EXPECT_FALSE(CanConnect(port));
    ASSERT_TRUE(server.Start(port));
    EXPECT_EQ(Exchange(port, kGet), kOkAnswer);
}

TEST(WebServer, ChangePortMovesTheListener) {
    WebServer idle;
    EXPECT_TRUE(idle.ChangePort(12345)) << "not listening: nothing to move";
    EXPECT_EQ(idle.GetPort(), -1);

    RunningServer s(OkHandler());
    const uint16_t oldPort = s.Port();
    EXPECT_TRUE(s.server.ChangePort(oldPort));
    EXPECT_EQ(s.Port(), oldPort);
    EXPECT_FALSE(s.server.ChangePort(70000));

    TCPServerSocket busy;
    ASSERT_TRUE(busy.Listen(0));
    EXPECT_FALSE(s.server.ChangePort(busy.GetLocalPort()));
    EXPECT_EQ(s.Port(), oldPort);
    EXPECT_EQ(Exchange(oldPort, kGet), kOkAnswer);

    ASSERT_TRUE(s.server.ChangePort(0));
    const uint16_t newPort = s.Port();
    EXPECT_NE(newPort, oldPort);
    EXPECT_EQ(Exchange(newPort, kGet), kOkAnswer);
    EXPECT_FALSE(CanConnect(oldPort));
}

TEST(WebServer, AConnectionClosedWithoutARequestCallsNoHandlerAndItsThreadIsReaped) {
    const int baseline = ThreadCount();
    FunctionHandler handler([](HttpRequest&) {});
    RunningServer s(handler);
    const int withAcceptThread = ThreadCount();
    EXPECT_EQ(withAcceptThread, baseline + 1);
    const int descriptors = DescriptorCount();
    for (int i = 0; i < 5; ++i) {
        TCPSocket client;
        Connect(client, s.Port());
        client.Close();
    }
    // No further connection arrives, yet every finished thread is joined and its socket closed.
    EXPECT_TRUE(WaitForCount(&DescriptorCount, descriptors));
    EXPECT_TRUE(WaitForCount(&ThreadCount, withAcceptThread));
    EXPECT_EQ(handler.calls.load(), 0);
    s.server.Stop();
    EXPECT_TRUE(WaitForCount(&ThreadCount, baseline));
}

// True when the server ends the connection (as opposed to the receive timing out).
bool ServerEnds(TCPSocket& socket) {
    char byte;
    try {
        socket.Receive(&byte, 1);
    } catch (const socket_exception& e) {
        return std::string(e.what()) == "Connection closed";
    }
    return false;
}

TEST(WebServer, IdleConnectionsFromOneAddressShutOutNoOtherAndLeaveNothingBehind) {
    RunningServer s(OkHandler());
    const int threads = ThreadCount();
    const int descriptors = DescriptorCount();
    // Up to 20,000, as far as this process's descriptors allow. The server's ends share them: until it
    // refuses them it may hold a full hold besides the cap's threads and the connections not yet waited for.
    rlimit limit{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &limit), 0);
    const ConnectionLimits limits;
    const int cap = limits.pendingPerAddress;
    const int64_t room = static_cast<int64_t>(std::min<rlim_t>(limit.rlim_cur, 1 << 20)) - descriptors - 200;
    const int64_t serverEnds = limits.heldMost + cap + 1000;
    const int count =
        static_cast<int>(std::min<int64_t>(20000, room >= 2 * serverEnds ? room - serverEnds : room / 2));
    ASSERT_GT(count, 4 * cap);
    std::vector<TCPSocket> idle(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        ASSERT_TRUE(idle[i].Create());
        ASSERT_TRUE(idle[i].Connect("127.0.0.1", s.Port()));
        if ((i + 1) % 1000 == 0 || i + 1 == count) {
            // Past the cap every connection is refused at once; waiting for this one's refusal keeps the
            // listener's backlog short.
            idle[i].SetTimeouts(30000, 30000);
            EXPECT_EQ(ReadUntilClosed(idle[i]), kRefusal);
        }
    }
    EXPECT_LE(ThreadCount(), threads + cap)
        << "one thread per connection waiting for a request, at most the cap";

    TCPSocket other;
    ASSERT_TRUE(other.Create());
    ASSERT_TRUE(other.BindLocal("127.0.0.2"));
    ASSERT_TRUE(other.Connect("127.0.0.1", s.Port()));
    other.SetTimeouts(30000, 30000);
    SendText(other, kGet);
    EXPECT_EQ(ReadUntilClosed(other), kOkAnswer);
    other.Close();

    idle.clear();
    EXPECT_TRUE(WaitForCount(&ThreadCount, threads));
    EXPECT_TRUE(WaitForCount(&DescriptorCount, descriptors));
    EXPECT_EQ(Exchange(s.Port(), kGet), kOkAnswer) << "the address's count went back to zero";
}

// Starts `server` on a free port with the OK handler and `limits`; its port, 0 when it did not start.
uint16_t StartWithLimits(WebServer& server, const ConnectionLimits& limits) {
    server.SetHandler(&OkHandler());
    server.SetLimits(limits);
    return server.Start(0) ? static_cast<uint16_t>(server.GetPort()) : 0;
}

// Holds its accept thread in the making of the second connection's thread until Open().
class GatedServer : public WebServer {
public:
    ~GatedServer() override {
        Open();
        Stop();
    }
    bool WaitUntilHeld() { return m_held.try_acquire_for(std::chrono::seconds(30)); }
    void Open() {
        if (!m_opened.exchange(true)) {
            m_gate.release();
        }
    }

protected:
    std::unique_ptr<RequestParserThread> CreateConnectionThread() override {
        if (++m_made == 2) {
            m_held.release();
            m_gate.acquire();
        }
        return WebServer::CreateConnectionThread();
    }

private:
    std::atomic<int> m_made{0};
    std::atomic<bool> m_opened{false};
    std::binary_semaphore m_held{0};
    std::binary_semaphore m_gate{0};
};

TEST(WebServer, PastTheCapAConnectionWhoseRequestCameBeforeItWasTakenIsServed) {
    GatedServer server;
    ConnectionLimits limits;
    limits.pendingPerAddress = 2;
    const uint16_t port = StartWithLimits(server, limits);
    ASSERT_NE(port, 0);
    std::vector<TCPSocket> idle(2);
    for (TCPSocket& socket : idle) {
        Connect(socket, port);
    }
    ASSERT_TRUE(server.WaitUntilHeld()) << "both idle ones counted, the server busy with the second";
    TCPSocket asking;
    Connect(asking, port);
    SendText(asking, kGet);
    TCPSocket silent;
    Connect(silent, port);
    server.Open();
    EXPECT_EQ(ReadUntilClosed(asking), kOkAnswer);
    EXPECT_EQ(ReadUntilClosed(silent), kRefusal);
}

// A client that opens its connections first and sends on them afterwards (a browser, a load tester)
// loses none of them to the cap: they are held until their requests come.
TEST(WebServer, PastTheCapConnectionsWhoseRequestsComeSoonAfterAreHeldAndServed) {
    WebServer server;
    ConnectionLimits limits;
    limits.pendingPerAddress = 2;
    limits.heldMs = 30000;
    const uint16_t port = StartWithLimits(server, limits);
    ASSERT_NE(port, 0);
    std::vector<TCPSocket> burst(40);
    for (TCPSocket& socket : burst) {
        Connect(socket, port);
    }
    for (TCPSocket& socket : burst) {
        SendText(socket, kGet);
    }
    for (TCPSocket& socket : burst) {
        EXPECT_EQ(ReadUntilClosed(socket), kOkAnswer);
    }
}

TEST(WebServer, ACrowdedServerEndsIdleConnectionsButNotHeadersThatAreArriving) {
    WebServer server;
    ConnectionLimits limits;
    limits.crowdedConnections = 3;
    limits.crowdedIdleMs = 200; // the header's own time-out stays 60 s
    const uint16_t port = StartWithLimits(server, limits);
    ASSERT_NE(port, 0);
    // Enough connections with a header begun keep the server crowded on their own.
    std::vector<TCPSocket> arriving(3);
    for (TCPSocket& socket : arriving) {
        Connect(socket, port);
        SendText(socket, "GET / HT");
    }
    std::vector<TCPSocket> idle(4);
    for (TCPSocket& socket : idle) {
        Connect(socket, port);
        socket.SetTimeouts(10000, 10000);
    }
    for (TCPSocket& socket : idle) {
        EXPECT_TRUE(ServerEnds(socket));
    }
    for (TCPSocket& socket : arriving) {
        SendText(socket, "TP/1.1\r\n\r\n");
        EXPECT_EQ(ReadUntilClosed(socket), kOkAnswer);
    }
}

TEST(WebServer, StopEndsIdleAndBusyConnectionsAndLeavesNoThread) {
    const int baseline = ThreadCount();
    const int descriptors = DescriptorCount();
    GuiTransferStatusAggregator aggregator; // over the steady clock
    aggregator.SetSpeedLimit(kDirectionDownload, 2000);
    const std::string chunk(16 * 1024, 'd');
    FunctionHandler handler([&](HttpRequest& r) {
        if (r.GetPath() == "idle") {
            r.SetKeepAlive();
            r.BeginResponse(200, "OK");
            r.SendHeader("Content-Length", "0");
            r.EndResponse();
            return;
        }
        r.BeginResponse(200, "OK");
        for (int i = 0; i < 10000; ++i) { // far more than the limit lets through before the stop
            r.Write(chunk.data(), chunk.size());
        }
    });
    TraceCapture log;
    auto s = std::make_unique<RunningServer>(handler, &aggregator);

    TCPSocket idle;
    Connect(idle, s->Port());
    SendText(idle, "GET /idle HTTP/1.1\r\n\r\n");
    ReadExactly(idle, Fixtures::WithPolicyLines("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n").size());

    std::vector<std::unique_ptr<TCPSocket>> downloads;
    for (int i = 0; i < 3; ++i) {
        downloads.push_back(std::make_unique<TCPSocket>());
        Connect(*downloads.back(), s->Port());
        SendText(*downloads.back(), kGet);
        ReadExactly(*downloads.back(), 1000); // the transfer is under way
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // give the throttle time to pause them

    auto before = std::chrono::steady_clock::now();
    s->server.Stop();
    auto took = std::chrono::steady_clock::now() - before;
    EXPECT_LT(took, std::chrono::seconds(10)) << "Stop must not wait for throttled transfers";
    EXPECT_EQ(s->server.GetPort(), -1);
    EXPECT_TRUE(WaitForCount(&ThreadCount, baseline)) << "a joined thread leaves the kernel's list later";
    EXPECT_EQ(DescriptorCount(), descriptors + 5)
        << "only the four client sockets and the wake-up descriptor";
    for (auto& d : downloads) {
        ReadUntilClosed(*d); // the transfer was cut off: the stream ends
    }
    EXPECT_EQ(ReadUntilClosed(idle), "");
    s.reset();
    EXPECT_EQ(aggregator.GetTransferCount(), 0u) << "every request left the aggregator";
}

TEST(WebServer, StopEndsAHandlerThatWaitsBetweenWrites) {
    const int baseline = ThreadCount();
    std::atomic<bool> waiting{false};
    std::atomic<bool> toldToStop{false};
    FunctionHandler handler([&](HttpRequest& r) {
        r.BeginResponse(200, "OK");
        r.Write("status");
        r.Flush(); // a streaming page: each piece must reach the client now
        waiting = true;
        while (!r.WaitForStop(std::chrono::hours(1))) {
        }
        toldToStop = true;
    });
    auto s = std::make_unique<RunningServer>(handler);
    TCPSocket client;
    Connect(client, s->Port());
    SendText(client, kGet);
    const std::string status = Fixtures::WithPolicyLines("HTTP/1.1 200 OK\r\nConnection:close\r\n\r\nstatus");
    EXPECT_EQ(ReadExactly(client, status.size()), status);
    while (!waiting) {
        std::this_thread::yield();
    }
    s->server.Stop();
    EXPECT_TRUE(toldToStop);
    EXPECT_TRUE(WaitForCount(&ThreadCount, baseline));
}

TEST(WebServer, APeerThatResetsMidSendDoesNotEndTheProcess) {
    const std::string chunk(64 * 1024, 'r');
    FunctionHandler handler([&](HttpRequest& r) {
        if (r.GetPath() == "ok") {
            r.BeginResponse(200, "OK");
            r.Write("ok");
            return;
        }
        r.BeginResponse(200, "OK");
        for (int i = 0; i < 4096; ++i) {
            r.Write(chunk.data(), chunk.size());
        }
    });
    TraceCapture log;
    RunningServer s(handler);
    for (int i = 0; i < 3; ++i) {
        TCPSocket client;
        Connect(client, s.Port());
        SendText(client, kGet);
        ReadExactly(client, 100000);
        linger reset{1, 0};
        ::setsockopt(client.GetHandle(), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        client.Close();
    }
    EXPECT_TRUE(log.WaitFor("Socket Error: "));
    EXPECT_EQ(Exchange(s.Port(), "GET /ok HTTP/1.1\r\n\r\n"), kOkAnswer);
}

TEST(WebServer, AnyExceptionFromAHandlerEndsOnlyItsConnection) {
    FunctionHandler handler([](HttpRequest& r) {
        if (r.GetPath() == "int") {
            throw 42;
        }
        if (r.GetPath() == "std") {
            throw std::runtime_error("handler broke");
        }
        r.BeginResponse(200, "OK");
        r.Write("ok");
    });
    TraceCapture log;
    RunningServer s(handler);
    EXPECT_EQ(Exchange(s.Port(), "GET /int HTTP/1.1\r\n\r\n"), "");
    EXPECT_EQ(Exchange(s.Port(), "GET /std HTTP/1.1\r\n\r\n"), "");
    EXPECT_TRUE(log.WaitFor("Unknown Exception"));
    EXPECT_TRUE(log.WaitFor("Exception: handler broke"));
    EXPECT_EQ(Exchange(s.Port(), kGet), kOkAnswer);
}

// A connection thread that cannot be started, for the first `failures` connections.
class FailingThreadServer : public WebServer {
public:
    explicit FailingThreadServer(int failures) : m_failures(failures) {}
    ~FailingThreadServer() override { Stop(); }

protected:
    class Unstartable : public RequestParserThread {
    public:
        bool Init(Net::Handle handle, HttpRequestHandler*, TransferStatusAggregator*) override {
            m_held.Attach(handle); // held like a real thread's socket, never served
            return false;
        }

    private:
        TCPSocket m_held;
    };

    std::unique_ptr<RequestParserThread> CreateConnectionThread() override {
        if (m_failures.fetch_sub(1) > 0) {
            return std::make_unique<Unstartable>();
        }
        return WebServer::CreateConnectionThread();
    }

private:
    std::atomic<int> m_failures;
};

TEST(WebServer, AConnectionWhoseThreadCannotStartIsClosedAndAcceptingGoesOn) {
    FailingThreadServer server(2);
    server.SetHandler(&OkHandler());
    ASSERT_TRUE(server.Start(0));
    const uint16_t port = static_cast<uint16_t>(server.GetPort());
    EXPECT_EQ(Exchange(port, kGet), "") << "closed, not left hanging";
    EXPECT_EQ(Exchange(port, kGet), "");
    EXPECT_EQ(Exchange(port, kGet), kOkAnswer);
}

TEST(WebServer, DestructionStopsEverything) {
    const int baseline = ThreadCount();
    const int descriptors = DescriptorCount();
    uint16_t port = 0;
    TCPSocket idle;
    {
        FunctionHandler handler([](HttpRequest&) {});
        WebServer server;
        server.SetHandler(&handler);
        ASSERT_TRUE(server.Start(0));
        port = static_cast<uint16_t>(server.GetPort());
        Connect(idle, port); // a connection waiting for its first request
        ASSERT_TRUE(idle.Send("G", 1) == 1);
    }
    EXPECT_TRUE(WaitForCount(&ThreadCount, baseline));
    EXPECT_EQ(DescriptorCount(), descriptors + 1) << "only the client's own socket is left";
    EXPECT_EQ(ReadUntilClosed(idle), "");
    EXPECT_FALSE(CanConnect(port));
}

} // namespace
} // namespace Vuxo
