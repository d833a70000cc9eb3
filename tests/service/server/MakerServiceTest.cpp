// The server object's exchanges with a fake maker's service on 127.0.0.1: the public address and its
// fallbacks, the version check, and the connection test.
#include "fixtures/support/FakeMakerService.h"
#include "fixtures/support/FixtureServer.h"
#include "fixtures/support/HangingLookup.h"
#include "fixtures/support/TempDir.h"

#include "core/version/ProgramVersion.h"
#include "service/config/QuilloConfig.h"
#include "fixtures/support/TraceLog.h"
#include "service/server/MakerService.h"
#include "service/server/QuilloServer.h"
#include "service/server/RunningCheckCancel.h"
#include "service/server/UpdateIPStringThread.h"
#include "service/server/VersionCheckThread.h"
#include "service/system/ServerInstanceId.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace Vuxo {
namespace {

using Fixtures::FakeMakerService;
using Fixtures::FixtureServer;
using Reply = FakeMakerService::Reply;

const std::string kFailed = "외부에서 주소 얻어오기 실패.";
const std::string kLanAddress = "192.0.2.10";

class MakerServiceTest : public testing::Test {
protected:
    void MakeServer(void (*configure)(QuilloConfig&) = nullptr,
                    std::vector<std::string> hostAddresses = {kLanAddress, "10.0.0.5"}) {
        QuilloServerOptions options;
        options.serviceAddress = m_maker.Address();
        options.addressChanged = [this] { RecordAddress(); };
        options.newerRevision = [this] {
            std::lock_guard<std::mutex> lock(m_mutex);
            ++m_notices;
            m_changed.notify_all();
        };
        options.hostAddresses = [hostAddresses] { return hostAddresses; };
        m_fixture = std::make_unique<FixtureServer>(configure, std::move(options));
        m_server = &m_fixture->Server();
    }

    // The address the server shows now, as the shell would read it on the callback.
    void RecordAddress() {
        const std::string address = m_server.load()->GetAddress();
        std::lock_guard<std::mutex> lock(m_mutex);
        m_seen.push_back(address);
        m_changed.notify_all();
    }

    bool WaitFor(const std::function<bool()>& done) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(60), done);
    }
    bool WaitForAddress(const std::string& address) {
        return WaitFor([&] { return !m_seen.empty() && m_seen.back() == address; });
    }
    std::vector<std::string> Seen() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_seen;
    }

    // Every day log file of the program folder, joined.
    std::string DayLog() const {
        std::string text;
        std::error_code error;
        for (const auto& entry :
             std::filesystem::directory_iterator(m_fixture->ProgramFolder() + "/Log", error)) {
            text += Fixtures::ReadFile(entry.path().string());
        }
        return text;
    }
    int LogCount(const std::string& text) const {
        const std::string log = DayLog();
        int count = 0;
        for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) {
            ++count;
        }
        return count;
    }
    // Waits (bounded: a hang, not a measure of speed) until the day log holds `text` `count` times.
    bool WaitForLog(const std::string& text, int count = 1) {
        for (int i = 0; i < 6000 && LogCount(text) < count; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return LogCount(text) >= count;
    }

    FakeMakerService m_maker;
    std::unique_ptr<FixtureServer> m_fixture;
    std::atomic<QuilloServer*> m_server{nullptr};
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_seen;
    int m_notices = 0;
};

TEST(PublicAddressReplyTest, OnlyADottedAddressCounts) {
    EXPECT_EQ(ParsePublicAddressReply("203.0.113.7\r\n"), "203.0.113.7");
    EXPECT_EQ(ParsePublicAddressReply(" 1.2.3.4\n"), "1.2.3.4");
    for (const char* reply : {"<html><p>version 1.2.3.4</p></html>", "a.b.c.d", "1.2.3", "1.2.3.4.5",
                              "files.example.org", "", "1.2.3.4\nX", "256.1.1.1", "?.?.?.?"}) {
        EXPECT_EQ(ParsePublicAddressReply(reply), std::nullopt) << reply;
    }
}

TEST(ChooseLocalAddressTest, HostNameThenPreferredThenFirstAddress) {
    Fixtures::TempDir folder;
    QuilloConfig config(folder.Path());
    const std::vector<std::string> addresses = {"192.168.0.10", "10.0.0.5"};
    EXPECT_EQ(ChooseLocalAddress(config, addresses), "192.168.0.10");
    EXPECT_EQ(ChooseLocalAddress(config, {}), kNoAddress);
    config.preferredLancardAddress.Set("10.0.0.5");
    EXPECT_EQ(ChooseLocalAddress(config, addresses), "10.0.0.5");
    // A network card the machine no longer has.
    config.preferredLancardAddress.Set("172.16.0.1");
    EXPECT_EQ(ChooseLocalAddress(config, addresses), "192.168.0.10");
    config.useHostName = true;
    config.HostName.Set(" \t");
    EXPECT_EQ(ChooseLocalAddress(config, addresses), "192.168.0.10");
    config.HostName.Set("files.example.org");
    EXPECT_EQ(ChooseLocalAddress(config, addresses), "files.example.org");
}

TEST_F(MakerServiceTest, ThePublicAddressWinsOverTheOtherChoices) {
    m_maker.Queue(kPublicAddressPath, {200, "203.0.113.7\r\n"});
    MakeServer([](QuilloConfig& config) {
        config.useHostName = true;
        config.HostName.Set("files.example.org");
    });
    ASSERT_TRUE(m_fixture->Start());
    ASSERT_TRUE(WaitForAddress("203.0.113.7"));
    EXPECT_EQ(m_fixture->Server().GetUrl(), "http://203.0.113.7:" + std::to_string(m_fixture->Port()) + "/");
    // Until the answer came, the host name showed.
    EXPECT_EQ(Seen().front(), "files.example.org");
}

TEST_F(MakerServiceTest, AFailedOrUnusableAnswerFallsBackAndLogsTheFailure) {
    m_maker.Queue(kPublicAddressPath, {200, "<html><p>1.2.3.4.</p></html>"});
    m_maker.Queue(kPublicAddressPath, {404, "203.0.113.7"});
    MakeServer();
    ASSERT_TRUE(m_fixture->Start());
    // The first answer is judged before the second request, which would cancel it.
    ASSERT_TRUE(WaitForLog(kFailed, 1));
    m_fixture->Server().StartUpdateIPStringThread();
    ASSERT_TRUE(WaitForLog(kFailed, 2));
    m_fixture->Stop();
    // Neither answer was used: the network address stayed.
    EXPECT_FALSE(Seen().empty());
    for (const std::string& address : Seen()) {
        EXPECT_EQ(address, kLanAddress);
    }
}

TEST_F(MakerServiceTest, AnUnreachableServiceFallsBack) {
    QuilloServerOptions options;
    options.serviceAddress = "127.0.0.1:1";
    options.hostAddresses = [] { return std::vector<std::string>{kLanAddress}; };
    m_fixture = std::make_unique<FixtureServer>(nullptr, std::move(options));
    ASSERT_TRUE(m_fixture->Start());
    EXPECT_EQ(m_fixture->Server().GetAddress(), kLanAddress);
    ASSERT_TRUE(WaitForLog(kFailed));
    EXPECT_EQ(m_fixture->Server().GetAddress(), kLanAddress);
}

TEST_F(MakerServiceTest, StopWhileTheServiceStallsLeavesNoAddress) {
    m_maker.Queue(kPublicAddressPath, {200, "203.0.113.7", true});
    MakeServer();
    ASSERT_TRUE(m_fixture->Start());
    ASSERT_TRUE(m_maker.WaitForRequests(kPublicAddressPath, 1));
    m_fixture->Stop();
    EXPECT_EQ(m_fixture->Server().GetAddress(), "");
    EXPECT_TRUE(m_maker.WaitForClientGone());
    EXPECT_EQ(DayLog().find(kFailed), std::string::npos); // a cancel is no failure
    for (const std::string& address : Seen()) {
        EXPECT_NE(address, "203.0.113.7");
    }
}

TEST_F(MakerServiceTest, ANewerRequestCancelsTheOlder) {
    m_maker.Queue(kPublicAddressPath, {200, "203.0.113.7", true});
    m_maker.Queue(kPublicAddressPath, {200, "198.51.100.2"});
    MakeServer();
    ASSERT_TRUE(m_fixture->Start());
    ASSERT_TRUE(m_maker.WaitForRequests(kPublicAddressPath, 1));
    m_fixture->Server().StartUpdateIPStringThread();
    ASSERT_TRUE(WaitForAddress("198.51.100.2"));
    // The older request went at once, not at its time-out, and a cancel is no failure.
    EXPECT_TRUE(m_maker.WaitForClientGone());
    m_fixture->Stop();
    EXPECT_EQ(DayLog().find(kFailed), std::string::npos);
    for (const std::string& address : Seen()) {
        EXPECT_NE(address, "203.0.113.7");
    }
}

// Stop, a newer address request, a cancelled connection test and the server's end never wait for a name
// lookup that hangs.
TEST_F(MakerServiceTest, NothingWaitsForAHangingNameLookup) {
    auto hang = std::make_shared<Fixtures::HangingLookup>();
    QuilloServerOptions options;
    options.serviceAddress = "maker.invalid";
    options.lookup = hang->Lookup();
    options.newerRevision = [] {};
    options.hostAddresses = [] { return std::vector<std::string>{kLanAddress}; };
    m_fixture = std::make_unique<FixtureServer>(nullptr, std::move(options));
    ASSERT_TRUE(m_fixture->Start());
    RunningCheckCancel cancel;
    auto check = std::async(std::launch::async, [&] { return m_fixture->Server().RunningCheck(&cancel); });
    EXPECT_TRUE(hang->WaitEntered(3)); // the version check, the public address and the connection test
    auto done = std::async(std::launch::async, [&] {
        cancel.Cancel();
        EXPECT_FALSE(check.get());
        m_fixture->Server().StartUpdateIPStringThread();
        m_fixture->Stop();
        m_fixture.reset();
    });
    const bool returned = done.wait_for(std::chrono::seconds(60)) == std::future_status::ready;
    hang->Release();
    EXPECT_TRUE(returned);
}

TEST(RevisionReplyTest, OnlyAHigherNumberIsNewer) {
    EXPECT_FALSE(IsNewerRevisionReply(std::to_string(kProgramRevision)));
    EXPECT_TRUE(IsNewerRevisionReply(std::to_string(kProgramRevision + 1)));
    EXPECT_TRUE(IsNewerRevisionReply(" 1200\r\n"));
    for (const char* reply : {"abc", "", "-1", "1000", "99999999999999999999999"}) {
        EXPECT_FALSE(IsNewerRevisionReply(reply)) << reply;
    }
}

// The notices of one check that ran to its end; nothing may be logged on the way.
int NoticesOfACheck(const std::string& serviceAddress) {
    Fixtures::TraceLog log;
    std::atomic<int> notices{0};
    VersionCheckThread check(serviceAddress, [&notices] { ++notices; });
    EXPECT_TRUE(check.Start());
    while (check.IsRunning()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    for (const int level : {LOG_INFO, LOG_ERROR, LOG_WARNING, LOG_NOTICE, LOG_ALERT}) {
        EXPECT_EQ(log.Count(level), 0) << log.Dump();
    }
    return notices.load();
}

TEST(VersionCheckThreadTest, ANoticeOnlyForANewerRevisionAndSilenceOtherwise) {
    const struct {
        Reply reply;
        int notices;
    } cases[] = {
        {{200, "1095"}, 0}, {{200, "1096"}, 1}, {{200, " 1200\r\n"}, 1},
        {{200, "abc"}, 0},  {{200, ""}, 0},     {{404, "2000"}, 0},
    };
    for (const auto& c : cases) {
        FakeMakerService maker;
        maker.Queue(kRevisionPath, c.reply);
        EXPECT_EQ(NoticesOfACheck(maker.Address()), c.notices) << c.reply.body;
        EXPECT_EQ(maker.Requests(kRevisionPath), 1);
    }
    EXPECT_EQ(NoticesOfACheck("127.0.0.1:1"), 0);
}

TEST_F(MakerServiceTest, TheServerChecksTheRevisionOnce) {
    m_maker.Queue(kRevisionPath, {200, "1096"});
    MakeServer();
    ASSERT_TRUE(WaitFor([this] { return m_notices == 1; }));
    ASSERT_TRUE(m_fixture->Start());
    m_fixture->Stop();
    ASSERT_TRUE(m_fixture->Start());
    EXPECT_EQ(m_maker.Requests(kRevisionPath), 1);
}

TEST_F(MakerServiceTest, DestroyingTheServerEndsAStalledVersionCheck) {
    m_maker.Queue(kRevisionPath, {200, "2000", true});
    MakeServer();
    ASSERT_TRUE(m_maker.WaitForRequests(kRevisionPath, 1));
    m_fixture.reset();
    EXPECT_TRUE(m_maker.WaitForClientGone());
    EXPECT_EQ(m_notices, 0);
}

TEST_F(MakerServiceTest, RunningCheckAsksTheServiceToReachTheServer) {
    MakeServer([](QuilloConfig& config) { config.getPublicIP = false; }, {"127.0.0.1"});
    EXPECT_FALSE(m_fixture->Server().RunningCheck()); // stopped: nothing is asked
    EXPECT_EQ(m_maker.Requests(kRunningCheckPath), 0);

    ASSERT_TRUE(m_fixture->Start());
    const std::string port = "port=" + std::to_string(m_fixture->Port());
    EXPECT_TRUE(m_fixture->Server().RunningCheck());
    EXPECT_EQ(m_maker.LastQuery(kRunningCheckPath), port + "&addr=127.0.0.1");
    m_fixture->Config().useHostName = true;
    m_fixture->Config().HostName.Set(" localhost ");
    EXPECT_TRUE(m_fixture->Server().RunningCheck());
    EXPECT_EQ(m_maker.LastQuery(kRunningCheckPath), port + "&addr=localhost");

    // Something else answered in its place.
    m_maker.Queue(kRunningCheckPath,
                  {200, GetServerInstanceId() == "0000000000000000" ? "1" : "0000000000000000"});
    EXPECT_FALSE(m_fixture->Server().RunningCheck());
    m_maker.Queue(kRunningCheckPath, {404, GetServerInstanceId()});
    EXPECT_FALSE(m_fixture->Server().RunningCheck());
    m_fixture->Stop();
    EXPECT_FALSE(m_fixture->Server().RunningCheck());
    EXPECT_EQ(m_maker.Requests(kRunningCheckPath), 4);

    // The exchange is handed what it asks and reads no server: it may outlive the one it was taken from.
    ASSERT_TRUE(m_fixture->Start());
    const RunningCheckRequest request = m_fixture->Server().PrepareRunningCheck();
    m_fixture.reset();
    EXPECT_FALSE(RunRunningCheck(request)); // nothing answers at the address any more
    EXPECT_EQ(m_maker.LastQuery(kRunningCheckPath),
              "port=" + std::to_string(request.port) + "&addr=localhost");
}

} // namespace
} // namespace Vuxo
