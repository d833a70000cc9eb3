#include "core/net/Socket.h"
#include "core/net/LocalAddresses.h"
#include "core/net/SocketError.h"
#include "core/net/UDPSocket.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <vector>

namespace Vuxo {
namespace {

// A listener on a free port of 127.0.0.1's host.
struct Listener {
    TCPServerSocket server;
    uint16_t port = 0;

    Listener() {
        EXPECT_TRUE(server.Listen(0));
        port = static_cast<uint16_t>(server.GetLocalPort());
    }
};

// Connects a client and accepts its server side.
struct Connection {
    TCPSocket client;
    TCPSocket accepted;

    explicit Connection(Listener& listener) {
        EXPECT_TRUE(client.Create());
        EXPECT_TRUE(client.Connect("127.0.0.1", listener.port));
        EXPECT_TRUE(listener.server.Accept(accepted));
    }
};

TEST(TCPSocket, HostTextFormsReachTheListener) {
    Listener listener;
    const std::string port = std::to_string(listener.port);
    struct Row {
        std::string host;
        uint16_t defaultPort;
    };
    const Row rows[] = {
        {"127.0.0.1:" + port, 1},            // the port in the text wins
        {" \r\n127.0.0.1\t", listener.port}, // blanks and line ends around the host
        {"localhost:" + port + "\r\n", 9},   // a name that resolves
        {"\t127.0.0.1:" + port + "abc", 9},  // digits up to the first non-digit
    };
    for (const auto& row : rows) {
        TCPSocket client;
        ASSERT_TRUE(client.Create());
        EXPECT_TRUE(client.Connect(row.host, row.defaultPort)) << row.host;
        TCPSocket accepted;
        EXPECT_TRUE(listener.server.Accept(accepted)) << row.host;
    }
}

TEST(TCPSocket, RefusesBadPortsUnknownHostsAndMissingSockets) {
    Listener listener;
    const std::string rows[] = {"127.0.0.1:0",          "127.0.0.1:65536",
                                "127.0.0.1:-5",         "127.0.0.1:",
                                "127.0.0.1:x",          "127.0.0.1:99999999999999999999",
                                "no-such-host.invalid", ""};
    for (const auto& host : rows) {
        TCPSocket client;
        ASSERT_TRUE(client.Create());
        EXPECT_FALSE(client.Connect(host, listener.port)) << host;
    }
    TCPSocket client;
    ASSERT_TRUE(client.Create());
    EXPECT_FALSE(client.Connect("127.0.0.1", 0)) << "default port 0";

    TCPSocket notCreated;
    EXPECT_FALSE(notCreated.Connect("127.0.0.1", listener.port));

    // A long host text is not cut at a fixed length: it is looked up whole (and not found).
    TCPSocket longName;
    ASSERT_TRUE(longName.Create());
    EXPECT_FALSE(longName.Connect(std::string(2000, 'a') + ".invalid:" + std::to_string(listener.port), 1));
}

TEST(TCPSocket, KnowsBothEndsOfAConnection) {
    Listener listener;
    Connection c(listener);
    std::string address;
    uint16_t port = 0, clientPort = 0;
    ASSERT_TRUE(c.client.GetLocalAddress(address, clientPort));
    ASSERT_TRUE(c.accepted.GetPeerAddress(address, port));
    EXPECT_EQ(address, "127.0.0.1");
    EXPECT_EQ(port, clientPort);
    ASSERT_TRUE(c.accepted.GetLocalAddress(address, port));
    EXPECT_EQ(port, listener.port);
    EXPECT_EQ(c.accepted.GetPeerIP(), "127.0.0.1");
    TCPSocket unconnected;
    EXPECT_EQ(unconnected.GetPeerIP(), "");
}

// The text a failed receive throws: the peer closed, or the time-out passed.
TEST(TCPSocket, ReceiveFailuresCarryTheirTexts) {
    for (bool closeFirst : {true, false}) {
        Listener listener;
        Connection c(listener);
        if (closeFirst) {
            c.client.Close();
        } else {
            ASSERT_TRUE(c.accepted.SetTimeouts(50, 50));
        }
        char byte = 0;
        try {
            c.accepted.Receive(&byte, 1);
            ADD_FAILURE() << "no exception";
        } catch (const socket_exception& e) {
            EXPECT_STREQ(e.what(), closeFirst ? "Connection closed" : "Connection timed out");
        }
    }
}

// A receive that waits for all it asks gathers what the peer sends in pieces, and gives what came when
// the time-out passes or the stream ends first.
TEST(TCPSocket, ReceiveWaitingForAllGathersPiecesUntilTheTimeOutOrTheEnd) {
    Listener listener;
    Connection c(listener);
    std::thread sender([&c] {
        for (int i = 0; i < 3; ++i) {
            c.client.Send("abcd", 4);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    char buffer[16] = {};
    EXPECT_EQ(c.accepted.ReceiveWaitingForAll(buffer, 12), 12);
    sender.join();
    EXPECT_EQ(std::string(buffer, 12), "abcdabcdabcd");

    ASSERT_TRUE(c.accepted.SetTimeouts(50, 50));
    c.client.Send("xy", 2);
    EXPECT_EQ(c.accepted.ReceiveWaitingForAll(buffer, 8), 2);
    c.client.Send("z", 1);
    c.client.Close();
    EXPECT_EQ(c.accepted.ReceiveWaitingForAll(buffer, 8), 1);
    EXPECT_EQ(buffer[0], 'z');
    EXPECT_THROW(c.accepted.ReceiveWaitingForAll(buffer, 8), socket_exception);
}

TEST(TCPSocket, SendToResetPeerThrowsAndTheProcessLives) {
    SocketStartup();
    struct sigaction current {};
    ASSERT_EQ(::sigaction(SIGPIPE, nullptr, &current), 0);
    EXPECT_EQ(current.sa_handler, SIG_IGN);

    Listener listener;
    Connection c(listener);
    linger reset{1, 0};
    ::setsockopt(c.client.GetHandle(), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    c.client.Close();
    std::vector<char> block(64 * 1024, 'x');
    bool thrown = false;
    for (int i = 0; i < 1000 && !thrown; ++i) {
        try {
            c.accepted.Send(block.data(), block.size());
        } catch (const socket_exception& e) {
            thrown = true;
            EXPECT_TRUE(std::string(e.what()) == "Connection reset by peer" ||
                        std::string(e.what()) == "Cannot send after socket shutdown")
                << e.what();
        }
    }
    EXPECT_TRUE(thrown);
}

TEST(TCPServerSocket, CloseEndsConnectionsWaitingInTheBacklog) {
    Listener listener;
    TCPSocket client;
    ASSERT_TRUE(client.Create());
    ASSERT_TRUE(client.Connect("127.0.0.1", listener.port));
    listener.server.Close();
    EXPECT_FALSE(listener.server.IsValid());
    ASSERT_TRUE(client.WaitReadable(10000)) << "the waiting connection was left unanswered";
    char byte = 0;
    EXPECT_THROW(client.Receive(&byte, 1), socket_exception);
}

TEST(UDPSocket, RepliesGoToTheSenderItLearnt) {
    UDPSocket receiver, sender;
    ASSERT_TRUE(receiver.Create(0));
    ASSERT_TRUE(sender.Create(0));
    std::string address;
    uint16_t receiverPort = 0;
    ASSERT_TRUE(receiver.GetLocalAddress(address, receiverPort));
    ASSERT_TRUE(sender.SetDestination("127.0.0.1", receiverPort));
    EXPECT_EQ(sender.SendTo("ping", 4, 0), 4);
    char buffer[16] = {};
    uint16_t fromPort = 0;
    EXPECT_EQ(receiver.ReceiveFrom(buffer, sizeof buffer, 0, address, fromPort), 4);
    EXPECT_EQ(address, "127.0.0.1");
    EXPECT_EQ(receiver.SendTo("pong", 4, 0), 4);
    EXPECT_EQ(sender.ReceiveFrom(buffer, sizeof buffer, 0), 4);
    EXPECT_EQ(std::string(buffer, 4), "pong");
    UDPSocket busy;
    EXPECT_FALSE(busy.Create(receiverPort));
}

TEST(LocalAddresses, AreDottedIPv4Texts) {
    std::vector<std::string> addresses = {"stale"};
    GetLocalIPv4Addresses(addresses);
    ASSERT_FALSE(addresses.empty());
    bool anyExternal = false;
    for (const auto& a : addresses) {
        in_addr parsed{};
        EXPECT_EQ(::inet_pton(AF_INET, a.c_str(), &parsed), 1) << a;
        anyExternal = anyExternal || a.rfind("127.", 0) != 0;
    }
    if (anyExternal) {
        for (const auto& a : addresses) {
            EXPECT_NE(a.rfind("127.", 0), 0u) << "loopback listed beside real interfaces: " << a;
        }
    }
    EXPECT_EQ(GetLocalAddressToward("no-such-host.invalid"), "?.?.?.?");
}

} // namespace
} // namespace Vuxo
