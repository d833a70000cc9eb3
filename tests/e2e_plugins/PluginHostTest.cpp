// The plug-in host over loopback, seen through the probe plug-in: what each host slot answers for a real
// request, the rights and method checks before a plug-in runs, the order of a plug-in's response, plug-ins
// that fail, the shares a plug-in may reach, its log lines, the connection-count limit, and a plug-in that
// is unloaded or reloaded while a request still runs it.
#include "PluginE2ESupport.h"

#include "service/access/ConnectionCountLimitManager.h"
#include "service/plugins/PluginManager.h"
#include "service/plugins/ProbeSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>

namespace Vuxo::PluginE2E {
namespace {

using Fixtures::HttpGet;
using Fixtures::HttpResponse;
using Fixtures::TestHttpClient;
using Fixtures::WriteFile;

// The "key=value" lines of a probe report.
std::map<std::string, std::string> Report(const std::string& body) {
    std::map<std::string, std::string> values;
    std::istringstream lines(body);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t equals = line.find('=');
        if (equals != std::string::npos) {
            values[line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
    return values;
}

// The day log files of the program folder, joined.
std::string DayLog(const std::string& programFolder) {
    std::string text;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(programFolder + "/Log", error)) {
        text += Fixtures::ReadFile(entry.path().string());
    }
    return text;
}

class PluginHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        pub = fixture.MakeShare("pub");
        ASSERT_FALSE(pub.empty());
        WriteFile(pub + "/a.txt", "alpha");
        WriteFile(pub + "/sub/b.txt", "beta");
        WriteFile(fixture.MakeShare("secret") + "/s.txt", "secret");
        WriteFile(fixture.MakeShare("other") + "/o.txt", "other");
        WriteFile(fixture.OutsideFolder() + "/passwd", "root:x:0:0");
        std::filesystem::create_directory_symlink(fixture.OutsideFolder(), pub + "/out");
        ASSERT_TRUE(fixture.SetRights(".anonymous", "pub", "LD"));
        ASSERT_TRUE(fixture.SetRights(".anonymous", "secret", "L"));
        ASSERT_TRUE(fixture.SetRights(".anonymous", "other", "LD"));
        ASSERT_TRUE(fixture.AddUser("alice", "secret"));
        ASSERT_TRUE(fixture.SetRights("alice", "pub", "LDU"));
        InstallAndLoad(fixture, {}, {"Probe", "ProbeView", "ProbeDefault", "ProbeUpload", "ProbeLower"});
        ASSERT_TRUE(fixture.Start());
    }

    HttpResponse Get(const std::string& target, const std::string& headers = "") {
        return HttpGet(fixture.Port(), target, headers);
    }
    HttpResponse Post(const std::string& target, const std::string& body, const std::string& headers = "") {
        return PostForm(fixture.Port(), target, body, headers);
    }
    // A request written as given, up to the blank line, on a fresh connection.
    HttpResponse Raw(const std::string& head) {
        TestHttpClient client(fixture.Port());
        client.Send(head + "\r\n");
        return client.ReadResponse();
    }

    Fixtures::FixtureServer fixture;
    std::string pub;
};

TEST_F(PluginHostTest, SlotsDescribeTheRequestTheyServe) {
    HttpResponse r = Get("/pub/?action=Plugin&type=ProbeView&q=%ED%95%9C+x", "X-Probe: yes\r\n");
    ASSERT_EQ(r.status, 200) << r.body;
    std::map<std::string, std::string> slots = Report(r.body);
    EXPECT_EQ(slots["dir"], fixture.ProgramFolder() + "/plugin/ProbeView");
    EXPECT_EQ(slots["method"], "0");
    EXPECT_EQ(slots["version"], "HTTP/1.1");
    EXPECT_EQ(slots["uri"], "/pub/?action=Plugin&type=ProbeView&q=%ED%95%9C+x");
    EXPECT_EQ(slots["path"], "pub/");
    EXPECT_EQ(slots["requestlocal"], pub + "/");
    EXPECT_EQ(slots["header"], "yes");
    EXPECT_EQ(slots["lowerheader"], "(null)") << "header names are matched exactly, upper case";
    EXPECT_EQ(slots["query"], "한 x");
    EXPECT_EQ(slots["post"], "(null)");
    EXPECT_EQ(slots["client"], "127.0.0.1");

    r = Post("/pub/?action=Plugin&type=Probe", "selectedFiles=&p=%EA%B0%80+1");
    ASSERT_EQ(r.status, 200) << r.body;
    slots = Report(r.body);
    EXPECT_EQ(slots["method"], "1");
    EXPECT_EQ(slots["post"], "가 1");
    EXPECT_EQ(slots["selected"], "");
    EXPECT_EQ(slots["dir"], fixture.ProgramFolder() + "/plugin/Probe");
}

TEST_F(PluginHostTest, ServerHostComesFromHostHeaderThenHostNameThenTheConnection) {
    const std::string port = std::to_string(fixture.Port());
    const std::string get = "GET /pub/?action=Plugin&type=ProbeView HTTP/1.1\r\n";
    const struct {
        bool useHostName;
        const char* hostName;
        std::string headers;
        std::string host;
        std::string port;
    } cases[] = {
        {false, "", "Host: example:8080\r\n", "example", "8080"},
        {false, "", "Host: example\r\n", "example", "80"},
        {false, "", "Host: :81\r\n", "", "81"},
        {true, "name", "Host: example\r\n", "example", "80"},
        {true, "name", "", "name", port},
        {true, "name:9000", "", "name", "9000"},
        {false, "name", "", "127.0.0.1", port},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.headers + c.hostName);
        fixture.Config().useHostName = c.useHostName;
        fixture.Config().HostName.Set(c.hostName);
        HttpResponse r = Raw(get + c.headers);
        ASSERT_EQ(r.status, 200) << r.body;
        std::map<std::string, std::string> slots = Report(r.body);
        EXPECT_EQ(slots["host"], c.host);
        EXPECT_EQ(slots["port"], c.port);
    }
}

TEST_F(PluginHostTest, RightsAndMethodAreCheckedBeforeThePluginRuns) {
    const std::string alice = Fixtures::BasicAuthorization("alice", "secret");
    const struct {
        const char* method;
        const char* target;
        const char* body;
        std::string headers;
        int status;
        const char* text;
    } cases[] = {
        {"GET", "/pub/?action=Plugin&type=Nope", "", "", 400, "없는 플러그인에 대한 요청입니다."},
        {"GET", "/pub/?action=Plugin", "", "", 400, "없는 플러그인에 대한 요청입니다."},
        {"GET", "/pub/?action=Plugin&type=probe", "", "", 400, "없는 플러그인에 대한 요청입니다."},
        {"GET", "/pub/?action=Plugin&type=ProbeUpload", "", "", 401, "이 플러그인을 실행할 권한이 없습니다."},
        {"GET", "/pub/?action=Plugin&type=ProbeUpload", "", alice, 200, "method=0"},
        {"GET", "/pub/?action=Plugin&type=Probe", "", "", 400, "잘못된 요청입니다."},
        {"POST", "/pub/?action=Plugin&type=Probe", "p=1", "", 400, "잘못된 요청입니다."},
        {"POST", "/pub/?action=Plugin&type=Probe", "selectedFiles=", "", 200, "method=1"},
        {"POST", "/secret/?action=Plugin&type=Probe", "selectedFiles=", "", 401,
         "이 플러그인을 실행할 권한이"},
        {"GET", "/pub/?action=Plugin&type=ProbeDefault", "", "", 200, "method=0"},
        {"GET", "/secret/?action=Plugin&type=ProbeDefault", "", "", 401, "이 플러그인을 실행할 권한이"},
        {"GET", "/secret/?action=Plugin&type=ProbeLower", "", "", 200, "method=0"},
        {"POST", "/?action=Plugin&type=Probe", "selectedFiles=pub%2F%0A", "", 200, "method=1"},
        {"POST", "/?action=Plugin&type=Probe", "selectedFiles=secret%2F%0A", "", 401,
         "이 플러그인을 실행할 권한이"},
        {"POST", "/?action=Plugin&type=Probe", "selectedFiles=pub%2F%0Asecret%2F%0A", "", 401,
         "이 플러그인을"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.method) + " " + c.target + " " + c.body);
        HttpResponse r =
            std::string(c.method) == "GET" ? Get(c.target, c.headers) : Post(c.target, c.body, c.headers);
        EXPECT_EQ(r.status, c.status);
        EXPECT_NE(r.body.find(c.text), std::string::npos) << r.body;
        if (c.status == 401) {
            EXPECT_EQ(r.Header("WWW-Authenticate"), "Basic realm=\"/\"");
        }
    }
}

TEST_F(PluginHostTest, AtTheRootWithoutRootAccessPluginsNeedingListAreRefused) {
    fixture.Config().canRootAccess = false;
    HttpResponse r = Post("/?action=Plugin&type=Probe", "selectedFiles=pub%2F%0A");
    EXPECT_EQ(r.status, 401);
    r = Post("/?action=Plugin&type=ProbeView", "selectedFiles=pub%2F%0A");
    EXPECT_EQ(r.status, 200) << "a plug-in that needs no rights runs anyway";
}

TEST_F(PluginHostTest, ResponseSlotsKeepTheWireInOrder) {
    TestHttpClient client(fixture.Port());
    client.SendGet("/pub/?action=Plugin&type=ProbeView&probe=order");
    HttpResponse r = client.ReadResponse();
    EXPECT_EQ(r.status, 200) << r.headerBlock;
    // Out of order: header, body and end before the status line, a second status line, a header once the
    // body began, a null body and a negative length are all refused with 0.
    EXPECT_EQ(r.body, "[0001011000]");
    EXPECT_EQ(r.Header("X-Probe"), "yes");
    EXPECT_FALSE(r.HasHeader("X-Early"));
    EXPECT_FALSE(r.HasHeader("X-Late"));
}

TEST_F(PluginHostTest, APluginThatFailsOrAnswersNothingGetsA500AndTheServerGoesOn) {
    for (const char* probe : {"throw", "silent"}) {
        SCOPED_TRACE(probe);
        HttpResponse r = Get(std::string("/pub/?action=Plugin&type=ProbeView&probe=") + probe);
        EXPECT_EQ(r.status, 500);
        EXPECT_NE(r.body.find("플러그인이 응답하지 않았습니다."), std::string::npos) << r.body;
    }
    EXPECT_EQ(Get("/pub/?action=Plugin&type=ProbeView").status, 200);
    EXPECT_EQ(Get("/pub/a.txt").body, "alpha");
}

TEST_F(PluginHostTest, EnumSharesStopsAfterTheFirstRefusalAndHonoursRootAccess) {
    const struct {
        const char* stop;
        const char* count;
        const char* names;
    } cases[] = {
        {"0", "1", "other,"},
        {"1", "1", "other,"},
        {"2", "2", "other,pub,"},
        {"9", "3", "other,pub,secret,"},
    };
    for (const auto& c : cases) {
        HttpResponse r = Get(std::string("/pub/?action=Plugin&type=ProbeView&probe=shares&stop=") + c.stop);
        std::map<std::string, std::string> report = Report(r.body);
        EXPECT_EQ(report["count"], c.count) << c.stop;
        EXPECT_EQ(report["names"], c.names) << c.stop;
    }
    fixture.Config().canRootAccess = false;
    std::map<std::string, std::string> report =
        Report(Get("/pub/?action=Plugin&type=ProbeView&probe=shares&stop=9").body);
    EXPECT_EQ(report["count"], "-1");
    EXPECT_EQ(report["names"], "");
}

TEST_F(PluginHostTest, LocalPathsStayInsideTheSharesWhoseRightsWereChecked) {
    const std::string page =
        SelectedFiles({"pub/a.txt", "/pub/a.txt", "pub/sub/", "pub/", "pub/sub/b.txt", "pub/../secret/s.txt",
                       "pub/sub/../../other/o.txt", "other/o.txt", "pub/out/passwd", "../../../etc/passwd",
                       "pub/./a.txt", "nope/x"});
    HttpResponse r =
        Post("/pub/?action=Plugin&type=Probe&probe=paths", "selectedFiles=&paths=" + FormEncode(page));
    ASSERT_EQ(r.status, 200) << r.body;
    const std::string expected =
        "pub/a.txt => " + pub + "/a.txt\n" + "/pub/a.txt => " + pub + "/a.txt\n" + "pub/sub/ => " + pub +
        "/sub/\n" + "pub/ => " + pub + "/\n" + "pub/sub/b.txt => " + pub + "/sub/b.txt\n" +
        "pub/../secret/s.txt => (null)\n" + "pub/sub/../../other/o.txt => (null)\n" +
        "other/o.txt => (null)\n" + "pub/out/passwd => (null)\n" + "../../../etc/passwd => (null)\n" +
        "pub/./a.txt => " + pub + "/./a.txt\n" + "nope/x => (null)\n";
    EXPECT_EQ(r.body, expected);

    // At the root a plug-in reaches the shares on which the user holds what it needs (L and D here).
    const std::string root = SelectedFiles({"pub/a.txt", "other/o.txt", "secret/s.txt", "secret/"});
    r = Post("/?action=Plugin&type=Probe&probe=paths", "selectedFiles=pub%2F%0A&paths=" + FormEncode(root));
    ASSERT_EQ(r.status, 200) << r.body;
    EXPECT_EQ(r.body, "pub/a.txt => " + pub + "/a.txt\n" + "other/o.txt => " + fixture.Root() +
                          "/shares/other/o.txt\n" + "secret/s.txt => (null)\n" + "secret/ => (null)\n");
}

TEST_F(PluginHostTest, PluginLogLinesCarryThePluginId) {
    HttpResponse r = Get("/pub/?action=Plugin&type=ProbeView&probe=log&level=16&text=%ED%95%9C+line");
    ASSERT_EQ(r.status, 200);
    fixture.Stop();
    EXPECT_NE(DayLog(fixture.ProgramFolder()).find("ProbeView: 한 line"), std::string::npos);
}

TEST_F(PluginHostTest, LoadFailuresReachTheDayLogWithTheLoadersReason) {
    ASSERT_TRUE(PluginTesting::InstallPlugin(fixture.ProgramFolder(),
                                             PluginTesting::ProbeLibraryPath("ProbeBroken"), "ProbeBroken"));
    std::filesystem::create_directories(fixture.ProgramFolder() + "/plugin/Empty");
    LoadPlugins(fixture.ProgramFolder());
    EXPECT_TRUE(PluginManager::GetInstance().HasPlugin("ProbeView"));
    EXPECT_FALSE(PluginManager::GetInstance().HasPlugin("ProbeBroken"));
    fixture.Stop();
    const std::string log = DayLog(fixture.ProgramFolder());
    const std::string plugins = fixture.ProgramFolder() + "/plugin/";
    EXPECT_NE(log.find("플러그인 로드 실패 : " + plugins + "ProbeBroken/ProbeBroken.so"), std::string::npos)
        << log;
    EXPECT_NE(log.find("undefined symbol: OnRequest"), std::string::npos) << log;
    EXPECT_NE(log.find("플러그인 로드 실패 : " + plugins + "Empty/Empty.so"), std::string::npos) << log;
    EXPECT_NE(log.find("플러그인 로드.. : " + plugins + "ProbeView/ProbeView.so"), std::string::npos) << log;
}

class HeldPluginTest : public PluginHostTest {
protected:
    void TearDown() override { hooks.Release(false); }
    PluginTesting::ProbeHooks hooks{"ProbeView"};
};

TEST_F(HeldPluginTest, UnloadWaitsForTheRequestThatStillRunsThePlugin) {
    TestHttpClient client(fixture.Port());
    client.SendGet("/pub/?action=Plugin&type=ProbeView&probe=block");
    ASSERT_TRUE(hooks.WaitBlocked());
    UnloadPlugins();
    EXPECT_EQ(Get("/pub/?action=Plugin&type=ProbeView").status, 400) << "gone from the registry";
    EXPECT_EQ(hooks.FinalizeCalls(), 0) << "still running for the first request";
    hooks.Release(true);
    HttpResponse r = client.ReadResponse();
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.body, "released");
    EXPECT_TRUE(hooks.WaitFinalized(1));
}

TEST_F(HeldPluginTest, ReloadWhileARequestRunsKeepsThePluginWorkingForBoth) {
    TestHttpClient client(fixture.Port());
    client.SendGet("/pub/?action=Plugin&type=ProbeView&probe=block");
    ASSERT_TRUE(hooks.WaitBlocked());
    LoadPlugins(fixture.ProgramFolder());
    EXPECT_EQ(Get("/pub/?action=Plugin&type=ProbeView&probe=shares").status, 200);
    hooks.Release(true);
    EXPECT_EQ(client.ReadResponse().body, "released");
    HttpResponse r = Get("/pub/?action=Plugin&type=ProbeView");
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(Report(r.body)["dir"], fixture.ProgramFolder() + "/plugin/ProbeView");
    EXPECT_EQ(hooks.FinalizeCalls(), 0);
    EXPECT_TRUE(hooks.IsStarted());
}

TEST_F(HeldPluginTest, APluginRunHoldsAConnectionCountToken) {
    fixture.Server().GetConnectionCountLimitManager().SetTotalLimit(true, 1);
    TestHttpClient client(fixture.Port());
    client.SendGet("/pub/?action=Plugin&type=ProbeView&probe=block");
    ASSERT_TRUE(hooks.WaitBlocked());
    HttpResponse refused = Get("/pub/?action=Plugin&type=ProbeView");
    EXPECT_EQ(refused.status, 503);
    EXPECT_NE(refused.body.find("사용자 수가 너무 많음"), std::string::npos) << refused.body;
    EXPECT_EQ(Get("/pub/a.txt").status, 503) << "a download needs the token as well";
    EXPECT_EQ(Get("/pub/").status, 200) << "pages are not counted";
    hooks.Release(true);
    EXPECT_EQ(client.ReadResponse().body, "released");
    EXPECT_EQ(Get("/pub/?action=Plugin&type=ProbeView").status, 200);
}

} // namespace
} // namespace Vuxo::PluginE2E
