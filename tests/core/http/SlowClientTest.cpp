// Clients that send or read slowly, or hold connections they do not use: what they may hold of the
// server's threads, and that other clients are still served.
#include "HttpTestSupport.h"

#include "core/http/FormBodyBudget.h"
#include "fixtures/support/PolicyLines.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include <sys/socket.h>

namespace Vuxo {
namespace {

using namespace Testing;

const std::string kGet = "GET / HTTP/1.1\r\n\r\n";
const std::string kOkAnswer = Fixtures::WithPolicyLines("HTTP/1.1 200 OK\r\nConnection:close\r\n\r\nok");
const std::string kAddressBusy =
    "HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/plain\r\n"
    "Content-Length: 40\r\nX-Content-Type-Options: nosniff\r\nConnection:close\r\n\r\n"
    "Too many connections from this address.\n";
const std::string kServerBusy =
    "HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/plain\r\n"
    "Content-Length: 22\r\nX-Content-Type-Options: nosniff\r\nConnection:close\r\n\r\n"
    "Too many connections.\n";

// "/keep": an empty answer on a kept connection; "/busy": waits until `busy` is cleared; "/form": reads
// the form and says whether it could; anything else: "ok" and close.
struct SlowClientServer {
    std::atomic<bool> busy{true};
    FunctionHandler handler{[this](HttpRequest& r) {
        if (r.GetPath() == "keep") {
            r.SetKeepAlive();
            r.BeginResponse(200, "OK");
            r.SendHeader("Content-Length", "0");
            r.EndResponse();
            return;
        }
        while (r.GetPath() == "busy" && busy && !r.WaitForStop(std::chrono::milliseconds(5))) {
        }
        if (r.GetPath() == "form" && !r.ReceiveForm()) {
            r.BeginResponse(503, "Service Unavailable");
            r.EndResponse();
            return;
        }
        r.BeginResponse(200, "OK");
        r.Write("ok");
    }};
    WebServer server;

    explicit SlowClientServer(const ConnectionLimits& limits, const ConnectionTimeouts& timeouts = {}) {
        server.SetHandler(&handler);
        server.SetLimits(limits);
        server.SetTimeouts(timeouts);
        EXPECT_TRUE(server.Start(0));
    }
    ~SlowClientServer() {
        busy = false;
        server.Stop();
    }
    uint16_t Port() const { return static_cast<uint16_t>(server.GetPort()); }
};

void ConnectFrom(TCPSocket& socket, const char* from, uint16_t port) {
    ASSERT_TRUE(socket.Create());
    ASSERT_TRUE(socket.BindLocal(from));
    ASSERT_TRUE(socket.Connect("127.0.0.1", port));
    socket.SetTimeouts(30000, 30000);
}

std::string ExchangeFrom(const char* from, uint16_t port, const std::string& request) {
    TCPSocket socket;
    ConnectFrom(socket, from, port);
    SendText(socket, request);
    return ReadUntilClosed(socket);
}

const size_t kKeptAnswerSize =
    Fixtures::WithPolicyLines("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n").size();

// `count` connections that have each had a request answered and are kept.
std::vector<TCPSocket> KeptConnections(uint16_t port, size_t count) {
    std::vector<TCPSocket> kept(count);
    for (TCPSocket& socket : kept) {
        Connect(socket, port);
        SendText(socket, "GET /keep HTTP/1.1\r\n\r\n");
        ReadExactly(socket, kKeptAnswerSize);
    }
    return kept;
}

// True when the server ends the connection without answering (as opposed to the receive timing out).
bool EndsUnanswered(TCPSocket& socket) {
    socket.SetTimeouts(20000, 20000);
    char byte;
    try {
        socket.Receive(&byte, 1);
    } catch (const socket_exception& e) {
        return std::string(e.what()) != "Connection timed out";
    }
    return false;
}

TEST(SlowClients, HeadsThatDoNotCompleteHoldNoMoreThreadsThanTheirAddressMay) {
    ConnectionLimits limits;
    limits.pendingPerAddress = 4;
    limits.heldPerAddress = 4;
    limits.heldMs = 1000;
    SlowClientServer s(limits);
    const int threads = ThreadCount();
    // One byte each: a first byte no longer frees the place of a head that has not arrived.
    std::vector<TCPSocket> slow(30);
    for (TCPSocket& socket : slow) {
        Connect(socket, s.Port());
        SendText(socket, "G");
    }
    for (size_t i = 4; i < slow.size(); ++i) { // the oldest first when past the share, all by their time
        EXPECT_EQ(ReadUntilClosed(slow[i]), kAddressBusy);
    }
    EXPECT_LE(ThreadCount(), threads + 4);
    EXPECT_EQ(ExchangeFrom("127.0.0.2", s.Port(), kGet), kOkAnswer);

    // A kept connection whose next head does not arrive whole counts again, and is refused without place.
    limits.pendingPerAddress = 1;
    SlowClientServer one(limits);
    std::vector<TCPSocket> kept = KeptConnections(one.Port(), 2);
    for (TCPSocket& socket : kept) {
        SendText(socket, "GET / HT");
    }
    size_t refused = 0; // the one that did not get the address's place is answered at once
    for (int i = 0; i < 2000 && !kept[refused].WaitReadable(10); ++i) {
        refused = 1 - refused;
    }
    EXPECT_EQ(ReadUntilClosed(kept[refused]), kAddressBusy);
    SendText(kept[1 - refused], "TP/1.1\r\n\r\n");
    EXPECT_EQ(ReadUntilClosed(kept[1 - refused]), kOkAnswer);
}

TEST(SlowClients, AClientThatSendsWithinASecondIsServedBesideSilentSocketsOfItsAddress) {
    ConnectionLimits limits;
    limits.pendingPerAddress = 2;
    SlowClientServer s(limits);
    std::vector<TCPSocket> silent(2);
    for (TCPSocket& socket : silent) {
        Connect(socket, s.Port());
    }
    TCPSocket late;
    Connect(late, s.Port());
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    SendText(late, kGet);
    EXPECT_EQ(ReadUntilClosed(late), kOkAnswer);
}

TEST(SlowClients, ACrowdedServerEndsHeadsThatTakeTooLong) {
    ConnectionLimits limits;
    limits.crowdedConnections = 1;
    limits.crowdedHeadMs = 300;
    SlowClientServer s(limits);
    TCPSocket dripping;
    Connect(dripping, s.Port());
    SendText(dripping, "GET / HTTP/1.1\r\n");
    EXPECT_TRUE(EndsUnanswered(dripping));
}

TEST(SlowClients, ABodyBelowTheMinimumRateEndsItsConnection) {
    ConnectionTimeouts timeouts;
    timeouts.stallMs = 20;
    timeouts.bodyWindowMs = 400;
    timeouts.bodyMinRate = 1000;
    SlowClientServer s(ConnectionLimits(), timeouts);
    const std::string head = "POST /form HTTP/1.1\r\nContent-Length: 1000\r\n\r\n";
    EXPECT_EQ(Exchange(s.Port(), head + std::string(1000, 'a')), kOkAnswer);
    TCPSocket drip;
    Connect(drip, s.Port());
    SendText(drip, head + "a=");
    std::atomic<bool> dripping{true};
    std::thread sender([&] {
        try {
            while (dripping && drip.Send("b", 1) == 1) { // 20 bytes a second
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        } catch (const socket_exception&) {
        }
    });
    EXPECT_TRUE(EndsUnanswered(drip));
    dripping = false;
    sender.join();
}

TEST(SlowClients, DownloadsThatAreNotReadHoldNoMoreThreadsThanTheirAddressMay) {
    ConnectionLimits limits;
    limits.stalledPerAddress = 2;
    ConnectionTimeouts timeouts;
    timeouts.stallMs = 20;
    const std::string chunk(1 << 20, 'd');
    FunctionHandler handler([&](HttpRequest& r) {
        r.BeginResponse(200, "OK");
        for (int i = 0; i < 256; ++i) {
            r.Write(chunk.data(), chunk.size());
        }
    });
    WebServer server;
    server.SetHandler(&handler);
    server.SetLimits(limits);
    server.SetTimeouts(timeouts);
    ASSERT_TRUE(server.Start(0));
    const int threads = ThreadCount();
    std::vector<TCPSocket> unread(6);
    for (TCPSocket& socket : unread) {
        ASSERT_TRUE(socket.Create());
        const int small = 4096;
        ::setsockopt(socket.GetHandle(), SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        ASSERT_TRUE(socket.Connect("127.0.0.1", static_cast<uint16_t>(server.GetPort())));
        SendText(socket, kGet);
    }
    EXPECT_TRUE(WaitForCount(&ThreadCount, threads + 2)) << "the others are ended, not left to time out";
    server.Stop();
}

TEST(SlowClients, AFullServerEndsAnIdleConnectionForANewOneOrRefusesIt) {
    ConnectionLimits limits;
    limits.connectionsMost = 3;
    SlowClientServer s(limits);
    const int threads = ThreadCount();
    std::vector<TCPSocket> idle = KeptConnections(s.Port(), 3);
    EXPECT_EQ(Exchange(s.Port(), kGet), kServerBusy) << "an address does not push out its own";
    std::string answer; // refused too until a kept connection has waited a second for its next request
    for (int i = 0; i < 400 && (answer = ExchangeFrom("127.0.0.2", s.Port(), kGet)) == kServerBusy; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(answer, kOkAnswer);
    EXPECT_TRUE(EndsUnanswered(idle[0])) << "the one idle longest gave way";
    idle.clear();
    ASSERT_TRUE(WaitForCount(&ThreadCount, threads));

    std::vector<TCPSocket> busy(3);
    for (TCPSocket& socket : busy) {
        Connect(socket, s.Port());
        SendText(socket, "GET /busy HTTP/1.1\r\n\r\n");
        const int calls = s.handler.calls + 1;
        for (int i = 0; i < 4000 && s.handler.calls < calls; ++i) { // in the handler, no longer idle
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    EXPECT_EQ(ExchangeFrom("127.0.0.2", s.Port(), kGet), kServerBusy);
    s.busy = false;
    for (TCPSocket& socket : busy) {
        EXPECT_EQ(ReadUntilClosed(socket), kOkAnswer);
    }
}

TEST(SlowClients, FormBodiesTakeTheBudgetAsTheyArriveAndEachAddressOnlyItsShare) {
    SlowClientServer s{ConnectionLimits()};
    const int64_t most = RequestParserThread::kMaxFormBody;
    const auto formHead = [](int64_t length) {
        return "POST /form HTTP/1.1\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n";
    };
    const auto waitForHeld = [](const std::string& address, int64_t bytes) {
        for (int i = 0; i < 4000 && FormBodyBudget::Shared().GetHeld(address) != bytes; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return FormBodyBudget::Shared().GetHeld(address);
    };
    // Announced in full, sent a byte: as announced these would fill the whole budget.
    std::vector<std::unique_ptr<TCPSocket>> announcing;
    for (int i = 0; i < 8; ++i) {
        announcing.push_back(std::make_unique<TCPSocket>());
        ConnectFrom(*announcing.back(), "127.0.0.3", s.Port());
        SendText(*announcing.back(), formHead(most) + "a");
    }
    EXPECT_EQ(waitForHeld("127.0.0.3", 8), 8);
    // Two nearly whole forms fill their address's share: its next form is refused, another's is not.
    std::vector<TCPSocket> large(2);
    for (TCPSocket& socket : large) {
        ConnectFrom(socket, "127.0.0.1", s.Port());
        SendText(socket, formHead(most) + std::string(static_cast<size_t>(most) - 1, 'b'));
    }
    EXPECT_EQ(waitForHeld("127.0.0.1", 2 * (most - 1)), 2 * (most - 1));
    const std::string small = formHead(20000) + std::string(20000, 'c'); // more than comes with a head
    EXPECT_EQ(ExchangeFrom("127.0.0.1", s.Port(), small),
              Fixtures::WithPolicyLines("HTTP/1.1 503 Service Unavailable\r\nConnection:close\r\n\r\n"));
    EXPECT_EQ(ExchangeFrom("127.0.0.2", s.Port(), small), kOkAnswer);
}

} // namespace
} // namespace Vuxo
