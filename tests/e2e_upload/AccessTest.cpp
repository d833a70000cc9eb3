// The IP filter and the connection-count limits end to end, from two loopback addresses: 127.0.0.1 and
// 127.0.0.2.
#include "UploadSupport.h"
#include "fixtures/support/DumpPage.h"
#include "fixtures/support/FixtureServer.h"
#include "fixtures/support/TempDir.h"

#include "core/transfer/TransferStatusAggregator.h"
#include "service/access/ConnectionCountLimitManager.h"
#include "service/access/IPFilter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace Vuxo::Fixtures {
namespace {

namespace fs = std::filesystem;

constexpr const char* kFirst = "127.0.0.1";
constexpr const char* kSecond = "127.0.0.2";

class AccessTest : public ::testing::Test {
protected:
    void SetUp() override {
        pub = fixture.MakeShare("pub");
        ASSERT_FALSE(pub.empty());
        ASSERT_TRUE(fixture.SetRights(".anonymous", "pub", "LDU"));
        ASSERT_TRUE(WriteFile(pub + "/small.txt", "small"));
    }

    void SetRules(const std::vector<IPFilterRule>& rules) {
        ASSERT_TRUE(fixture.Server().GetIPFilter().SetIPFilterRules(rules));
    }

    // True when the address got the refusal page: status 200 with the content "403 Forbidden".
    bool Refused(const char* address, const std::string& target) {
        HttpResponse r = GetFrom(address, fixture.Port(), target);
        return r.status == 200 && DumpPage(r.body).Get("content") == "403 Forbidden";
    }

    ConnectionCountLimitManager& Limits() { return fixture.Server().GetConnectionCountLimitManager(); }

    // A download that keeps running: its header block has arrived and the throttled body is still coming.
    void StartHeldDownload(TestHttpClient& client, const char* address) {
        ASSERT_TRUE(ConnectFrom(client, address, fixture.Port()));
        client.SendGet("/pub/large.bin");
        ASSERT_EQ(client.ReadHeaders().status, 200);
    }

    void PrepareThrottledDownloads() {
        ASSERT_TRUE(WriteFile(pub + "/large.bin", std::string(8 * 1024 * 1024, 'L')));
        fixture.Aggregator().SetSpeedLimit(kDirectionDownload, 64 * 1024);
    }

    FixtureServer fixture;
    std::string pub;
};

TEST_F(AccessTest, TheFirstMatchingRuleDecides) {
    ASSERT_TRUE(fixture.Start());
    const struct {
        const char* what;
        std::vector<IPFilterRule> rules;
        bool firstRefused;
        bool secondRefused;
    } cases[] = {
        {"no rules", {}, false, false},
        {"a ban before a wider allow", {{false, "127.0.0.1"}, {true, "127.0.0.*"}}, true, false},
        {"a wide ban before an allow", {{false, "*.*.*.*"}, {true, "127.0.0.1"}}, true, true},
        {"an allow before a wide ban", {{true, "127.0.0.1"}, {false, "*.*.*.*"}}, false, true},
        {"no rule matches", {{false, "10.*.*.*"}, {false, "127.0.0.3"}}, false, false},
        {"a wildcard inside a part", {{false, "1*.0.0.*"}}, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetRules(c.rules);
        EXPECT_EQ(Refused(kFirst, "/pub/"), c.firstRefused);
        EXPECT_EQ(Refused(kSecond, "/pub/"), c.secondRefused);
    }
}

TEST_F(AccessTest, ARefusedAddressGetsOnlyTheBuiltinFilesAndTheIdentification) {
    ASSERT_TRUE(fixture.Start());
    SetRules({{false, kFirst}});

    const char* served[] = {"/robots.txt", "/favicon.ico", "/skin-dump/probe.txt?action=SkinFile"};
    for (const char* target : served) {
        HttpResponse r = GetFrom(kFirst, fixture.Port(), target);
        EXPECT_EQ(r.status, 200) << target;
        EXPECT_NE(DumpPage(r.body).Get("content"), "403 Forbidden") << target;
    }
    HttpResponse identify = GetFrom(kFirst, fixture.Port(), "/?identify=1");
    EXPECT_EQ(identify.status, 200);
    EXPECT_EQ(identify.body.size(), 16u);

    const char* refused[] = {"/",
                             "/pub/",
                             "/pub/small.txt",
                             "/pub/?action=Subdir",
                             "/?action=Subdir",
                             "/pub/?action=UploadStatus&key=k",
                             "/pub/?action=MakeDirectory&name=x",
                             "/?action=Login",
                             "/nowhere/"};
    for (const char* target : refused) {
        HttpResponse r = GetFrom(kFirst, fixture.Port(), target);
        EXPECT_EQ(r.status, 200) << target;
        DumpPage page(r.body);
        EXPECT_EQ(page.Get("content"), "403 Forbidden") << target;
        EXPECT_EQ(page.Get("title").rfind("주소: /", 0), 0u) << target;
    }
    // An upload from there is refused before a byte is stored.
    TestHttpClient client(fixture.Port());
    ASSERT_TRUE(ConnectFrom(client, kFirst, fixture.Port()));
    const std::string boundary = "b0undary";
    const std::string body = MultipartBody(boundary, {{"uploadfile", "x.txt", "x"}});
    client.Send(UploadHead("/pub/?key=k", boundary, static_cast<int64_t>(body.size())) + body);
    EXPECT_EQ(DumpPage(client.ReadResponse().body).Get("content"), "403 Forbidden");
    EXPECT_EQ(FolderNames(pub), std::vector<std::string>{"small.txt"});

    // The other address is not affected.
    EXPECT_EQ(GetFrom(kSecond, fixture.Port(), "/pub/small.txt").body, "small");
}

TEST_F(AccessTest, TheTotalLimitRefusesDownloadsAndPluginsButNotPages) {
    PrepareThrottledDownloads();
    Limits().SetTotalLimit(true, 1);
    ASSERT_TRUE(fixture.Start());
    TestHttpClient holder(fixture.Port());
    StartHeldDownload(holder, kFirst);

    for (const char* address : {kFirst, kSecond}) {
        HttpResponse download = GetFrom(address, fixture.Port(), "/pub/small.txt");
        EXPECT_EQ(download.status, 503) << address;
        EXPECT_EQ(download.reason, "Service Unavailable");
        EXPECT_EQ(DumpPage(download.body).Get("content"), "사용자 수가 너무 많음");
    }
    TestHttpClient plugin(fixture.Port());
    const std::string form = "selectedFiles=small.txt%0A";
    plugin.Send("POST /pub/?action=Plugin&type=Mevrin HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                std::to_string(form.size()) + "\r\n\r\n" + form);
    HttpResponse pluginAnswer = plugin.ReadResponse();
    EXPECT_EQ(pluginAnswer.status, 503);
    EXPECT_EQ(DumpPage(pluginAnswer.body).Get("content"), "사용자 수가 너무 많음");

    // Pages, uploads and new folders are not counted.
    EXPECT_EQ(HttpGet(fixture.Port(), "/pub/").status, 200);
    EXPECT_EQ(HttpGet(fixture.Port(), "/pub/?action=Subdir").status, 200);
    EXPECT_EQ(Upload(fixture.Port(), "/pub/?key=k", "up.txt", "up").body, "OK");
    EXPECT_EQ(HttpGet(fixture.Port(), "/pub/?action=MakeDirectory&name=new").status, 301);
    EXPECT_EQ(Limits().GetTotalCount(), 1);
}

TEST_F(AccessTest, ThePerAddressLimitRefusesOnlyThatAddress) {
    PrepareThrottledDownloads();
    Limits().SetPerIPLimit(true, 1);
    ASSERT_TRUE(fixture.Start());
    TestHttpClient holder(fixture.Port());
    StartHeldDownload(holder, kFirst);

    HttpResponse refused = GetFrom(kFirst, fixture.Port(), "/pub/small.txt");
    EXPECT_EQ(refused.status, 503);
    EXPECT_EQ(DumpPage(refused.body).Get("content"), "IP별 동시접속 제한 초과");

    TestHttpClient other(fixture.Port());
    StartHeldDownload(other, kSecond);
    EXPECT_EQ(Limits().GetAddressCount(kFirst), 1);
    EXPECT_EQ(Limits().GetAddressCount(kSecond), 1);
    EXPECT_EQ(GetFrom(kSecond, fixture.Port(), "/pub/small.txt").status, 503);
}

TEST_F(AccessTest, TokensComeBackWhenAConnectionIsCut) {
    PrepareThrottledDownloads();
    Limits().SetTotalLimit(true, 1);
    ASSERT_TRUE(fixture.Start());
    {
        TestHttpClient holder(fixture.Port());
        StartHeldDownload(holder, kSecond);
        EXPECT_EQ(GetFrom(kFirst, fixture.Port(), "/pub/small.txt").status, 503);
    } // the browser goes away in the middle of the body
    ASSERT_TRUE(WaitUntil([&] { return Limits().GetTotalCount() == 0; }));
    EXPECT_EQ(Limits().GetAddressEntryCount(), 0u);
    EXPECT_EQ(GetFrom(kFirst, fixture.Port(), "/pub/small.txt").body, "small");
}

} // namespace
} // namespace Vuxo::Fixtures
