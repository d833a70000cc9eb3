// The server object: start, stop and their saved state, ports, URLs, and the start failure texts.
#include "fixtures/support/FixtureServer.h"
#include "fixtures/support/TempDir.h"
#include "fixtures/support/TestHttpClient.h"

#include "core/net/Socket.h"
#include "core/text/Utf8.h"
#include "res/BuiltinResources.h"
#include "service/config/QuilloConfig.h"
#include "service/server/QuilloServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace Vuxo {
namespace {

using Fixtures::FixtureServer;

// The wasRunning value that mount.ini holds now.
bool SavedWasRunning(const std::string& folder) {
    QuilloConfig saved(folder);
    return saved.wasRunning.load();
}

TEST(QuilloServerTest, StartStopAndTheirSavedState) {
    FixtureServer fixture;
    QuilloServer& server = fixture.Server();
    EXPECT_FALSE(server.IsRunning());
    EXPECT_EQ(server.GetUrl(), "");
    ASSERT_TRUE(server.Start());
    EXPECT_TRUE(server.IsRunning());
    EXPECT_TRUE(SavedWasRunning(fixture.ProgramFolder()));
    const uint16_t port = server.GetPort();
    EXPECT_NE(port, 0);
    // Starting again keeps the one server.
    EXPECT_TRUE(server.Start());
    EXPECT_EQ(server.GetPort(), port);

    EXPECT_EQ(server.GetUrl(), MakeServerUrl(server.GetAddress(), port));
    EXPECT_FALSE(server.GetAddress().empty());
    EXPECT_EQ(Fixtures::HttpGet(port, "/?identify=1").status, 200);

    server.Stop();
    EXPECT_FALSE(server.IsRunning());
    EXPECT_EQ(server.GetUrl(), "");
    EXPECT_EQ(server.GetAddress(), "");
    EXPECT_FALSE(SavedWasRunning(fixture.ProgramFolder()));
    // Nothing listens any more.
    EXPECT_FALSE(Fixtures::TestHttpClient(port).IsConnected());
}

TEST(QuilloServerTest, ClosingWhileRunningKeepsWasRunning) {
    Fixtures::TempDir folder;
    {
        QuilloConfig config(folder.Path());
        config.port = 0;
        {
            QuilloServer server(config, folder.Path(), nullptr);
            ASSERT_TRUE(server.Start());
        }
        EXPECT_TRUE(SavedWasRunning(folder.Path()));
        { QuilloServer server(config, folder.Path(), nullptr); }
        EXPECT_FALSE(SavedWasRunning(folder.Path()));
    }
}

TEST(QuilloServerTest, AlertsOfTheConstructionReachTheAlertOption) {
    RegisterBuiltinResources();
    Fixtures::TempDir folder;
    QuilloConfig config(folder.Path());
    config.mounts.push_back("broken"); // a damaged share item, found while the server object is made
    std::vector<std::string> alerts;
    QuilloServerOptions options;
    options.alert = [&alerts](const std::u16string& text) { alerts.push_back(WideToUtf8(text)); };
    QuilloServer server(config, folder.Path(), nullptr, std::move(options));
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].rfind("설정파일 로딩중 일부 문제가 발생하여 무시했습니다.", 0), 0u) << alerts[0];
}

TEST(QuilloServerTest, PortInUseFailsWithTheAlert) {
    TCPServerSocket occupant;
    ASSERT_TRUE(occupant.Listen(0));
    const int busyPort = occupant.GetLocalPort();

    FixtureServer fixture;
    std::vector<std::string> alerts;
    fixture.Server().SetAlertCallback(
        [&](const std::u16string& text) { alerts.push_back(WideToUtf8(text)); });
    fixture.Config().port = static_cast<unsigned short>(busyPort);
    fixture.Config().wasRunning = true;
    EXPECT_FALSE(fixture.Start());
    EXPECT_FALSE(fixture.Server().IsRunning());
    EXPECT_FALSE(SavedWasRunning(fixture.ProgramFolder()));
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0], "TCP/IP 포트 " + std::to_string(busyPort) +
                             "에서 서버를 열지 못했습니다. 다른 프로그램이 이미 사용중인 것 같습니다.\n"
                             "환경설정에서 포트를 변경해 보십시오.");
    // Once the port is free the same object starts.
    occupant.Close();
    EXPECT_TRUE(fixture.Start());
}

TEST(QuilloServerTest, ChangePortKeepsTheOldPortWhenTheNewOneIsTaken) {
    TCPServerSocket occupant;
    ASSERT_TRUE(occupant.Listen(0));
    FixtureServer fixture;
    ASSERT_TRUE(fixture.Start());
    const uint16_t port = fixture.Port();
    EXPECT_FALSE(fixture.Server().ChangePort(static_cast<uint16_t>(occupant.GetLocalPort())));
    EXPECT_EQ(fixture.Port(), port);
    EXPECT_EQ(Fixtures::HttpGet(port, "/?identify=1").status, 200);
}

TEST(QuilloServerTest, PrivilegedPortGetsItsOwnText) {
    const std::string expected = "TCP/IP 포트 1에서 서버를 열지 못했습니다. 1024 미만의 포트는 관리자 권한이 "
                                 "필요합니다.\n환경설정에서 1024 이상의 포트로 변경해 보십시오.";
    if (::geteuid() != 0) {
        EXPECT_EQ(DescribeListenFailure(1), expected);
        return;
    }
    // As root every port opens: ask from a child that gave up its privileges.
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(pipeEnds[0]);
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) {
            ::_exit(3);
        }
        const std::string text = DescribeListenFailure(1);
        const bool written =
            ::write(pipeEnds[1], text.data(), text.size()) == static_cast<ssize_t>(text.size());
        ::_exit(written ? 0 : 4);
    }
    ::close(pipeEnds[1]);
    std::string text;
    char buffer[512];
    ssize_t n;
    while ((n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0) {
        text.append(buffer, static_cast<size_t>(n));
    }
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(text, expected);
}

TEST(QuilloServerTest, UrlForms) {
    const struct {
        const char* address;
        uint16_t port;
        const char* url;
    } cases[] = {
        {"192.168.0.10", 8080, "http://192.168.0.10:8080/"},
        {"192.168.0.10", 80, "http://192.168.0.10/"},
        {"example.org:81", 8080, "http://example.org:81/"},
        {"?.?.?.?", 8080, "http://?.?.?.?:8080/"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MakeServerUrl(c.address, c.port), c.url);
    }

    FixtureServer fixture;
    ASSERT_TRUE(fixture.Start());
    fixture.Server().SetAddress("10.0.0.5");
    const std::string base = "http://10.0.0.5:" + std::to_string(fixture.Port()) + "/";
    EXPECT_EQ(fixture.Server().GetUrl(), base);
    EXPECT_EQ(fixture.Server().GetUrl("my share/한"), base + "my%20share/%ed%95%9c");
    EXPECT_EQ(fixture.Server().GetShareUrl(u"my share"), Utf8ToWide(base + "my%20share"));
    fixture.Stop();
    EXPECT_EQ(fixture.Server().GetUrl("x"), "");
}

TEST(QuilloServerTest, AddressIsAHostAddressOrLoopback) {
    FixtureServer fixture;
    ASSERT_TRUE(fixture.Start());
    const std::string address = fixture.Server().GetAddress();
    EXPECT_EQ(std::count(address.begin(), address.end(), '.'), 3) << address;
    EXPECT_TRUE(address == "127.0.0.1" || address.rfind("127.", 0) != 0) << address;
}

} // namespace
} // namespace Vuxo
