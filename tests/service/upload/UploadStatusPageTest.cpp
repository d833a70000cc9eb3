// The progress page over a real connection, on a table and a sleeper of the test's own: the waiting
// blocks for a key that never shows up, the blocks of a running upload until its end, the end of an
// upload that stopped moving, and the escaping of a hostile name inside the script.
#include "core/http/HttpRequest.h"
#include "core/http/HttpRequestHandler.h"
#include "core/http/WebServer.h"
#include "core/transfer/Clock.h"
#include "fixtures/support/FixtureServer.h"
#include "fixtures/support/TestHttpClient.h"
#include "service/upload/UploadStatusReportingRequestProcessor.h"
#include "service/upload/UploadStatusTable.h"

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace Vuxo {
namespace {

using Fixtures::FixtureServer;
using Fixtures::HttpGet;
using Fixtures::HttpResponse;

// Moves its time by each sleep at once and runs the test's hook, which plays the upload's part.
class SteppingClock : public Clock {
public:
    int64_t NowMs() override {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_now;
    }
    bool SleepFor(int64_t ms) override {
        std::function<void()> hook;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_now += ms;
            sleeps.push_back(ms);
            hook = onSleep;
        }
        if (hook) {
            hook();
        }
        return true;
    }
    void WakeAll() override {}

    std::function<void()> onSleep;
    std::vector<int64_t> sleeps;

private:
    std::mutex m_mutex;
    int64_t m_now = 1000000;
};

class StatusHandler : public HttpRequestHandler {
public:
    StatusHandler(ServerContext& server, UploadStatusTable& table, Clock& clock)
        : m_server(server), m_table(table), m_clock(clock) {}
    void HandleRequest(HttpRequest& request) override {
        UploadStatusReportingRequestProcessor(m_server, m_table, &m_clock).Process(request);
    }

private:
    ServerContext& m_server;
    UploadStatusTable& m_table;
    Clock& m_clock;
};

// The arguments of every parent.onUpdateUpload('...') and parent.onUpdateProgress(...) call, in order.
struct Calls {
    std::vector<std::string> texts;
    std::vector<std::string> progress;
};

Calls ParseCalls(const std::string& body) {
    Calls calls;
    const std::string upload = "parent.onUpdateUpload('";
    const std::string bar = "parent.onUpdateProgress(";
    for (size_t at = body.find(upload); at != std::string::npos; at = body.find(upload, at + 1)) {
        const size_t start = at + upload.size();
        calls.texts.push_back(body.substr(start, body.find("');\n", start) - start));
    }
    for (size_t at = body.find(bar); at != std::string::npos; at = body.find(bar, at + 1)) {
        const size_t start = at + bar.size();
        calls.progress.push_back(body.substr(start, body.find(");\n", start) - start));
    }
    return calls;
}

class UploadStatusPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        web.SetHandler(&handler);
        ASSERT_TRUE(web.Start(0));
    }
    void TearDown() override { web.Stop(); }

    HttpResponse Status(const std::string& key) {
        return HttpGet(static_cast<uint16_t>(web.GetPort()), "/pub/?action=UploadStatus&key=" + key);
    }

    FixtureServer fixture; // only lends the processor its server
    SteppingClock clock;
    UploadStatusTable table{clock};
    StatusHandler handler{fixture.Server(), table, clock};
    WebServer web;
};

TEST_F(UploadStatusPageTest, AKeyThatNeverAppearsEndsInFailureAfterNineWaits) {
    HttpResponse r = Status("%5Bnever%5D");
    ASSERT_EQ(r.status, 200);
    EXPECT_EQ(r.Header("Content-Type"), "text/html");
    EXPECT_EQ(r.body.rfind("<meta http-equiv='Content-Type' content='text/html; charset=utf-8'>", 0), 0u);
    const Calls calls = ParseCalls(r.body);
    ASSERT_EQ(calls.texts.size(), 10u);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(calls.texts[i], "업로드 준비 중." + std::string(i + 1, '.')) << i;
        EXPECT_EQ(calls.progress[i], "0");
    }
    EXPECT_EQ(calls.texts[9], "업로드가 실패했습니다.");
    EXPECT_EQ(clock.sleeps, std::vector<int64_t>(9, 1000));
}

TEST_F(UploadStatusPageTest, ARunningUploadIsReportedEveryThreeSecondsUntilItFinishes) {
    table.Start("[k]", "a.bin", 4 * 1024);
    table.Progress("[k]", 1024);
    int step = 0;
    clock.onSleep = [&] {
        ++step;
        if (step == 1) {
            table.Progress("[k]", 3 * 1024);
        } else {
            table.Finish("[k]", true);
        }
    };
    HttpResponse r = Status("%5Bk%5D");
    const Calls calls = ParseCalls(r.body);
    ASSERT_EQ(calls.texts.size(), 3u);
    EXPECT_NE(calls.texts[0].find("1 KB / 4 KB &nbsp;(25.0%)"), std::string::npos) << calls.texts[0];
    EXPECT_EQ(calls.progress[0], "25");
    EXPECT_NE(calls.texts[1].find("3 KB / 4 KB &nbsp;(75.0%)"), std::string::npos) << calls.texts[1];
    EXPECT_EQ(calls.progress[1], "75");
    EXPECT_NE(calls.texts[2].find("업로드가 끝났습니다."), std::string::npos);
    EXPECT_EQ(calls.progress[2], "0");
    EXPECT_EQ(clock.sleeps, (std::vector<int64_t>{3000, 3000}));
}

TEST_F(UploadStatusPageTest, AnUploadThatStopsMovingForAMinuteIsReportedFailed) {
    table.Start("[k]", "stuck.bin", 100 * 1024);
    table.Progress("[k]", 10 * 1024);
    clock.onSleep = [&] {}; // time passes, the upload never reports again
    HttpResponse r = Status("%5Bk%5D");
    const Calls calls = ParseCalls(r.body);
    ASSERT_FALSE(calls.texts.empty());
    EXPECT_NE(calls.texts.back().find("업로드가 실패했습니다."), std::string::npos);
    // Every wait was a running upload's; the page gave up once more than 60 s had passed.
    EXPECT_EQ(clock.sleeps.size(), 21u);
}

TEST_F(UploadStatusPageTest, AFinishedOrFailedUploadGivesOneBlock) {
    table.Start("[done]", "done.txt", 10);
    table.Finish("[done]", true);
    table.Start("[bad]", "bad.txt", 10);
    table.Finish("[bad]", false);
    EXPECT_EQ(ParseCalls(Status("%5Bdone%5D").body).texts.size(), 1u);
    const Calls failed = ParseCalls(Status("%5Bbad%5D").body);
    ASSERT_EQ(failed.texts.size(), 1u);
    EXPECT_EQ(failed.texts[0], "\\x3Cb>bad.txt\\x3C/b>\\x3Cbr/>업로드가 실패했습니다.");
    EXPECT_TRUE(clock.sleeps.empty());
}

TEST_F(UploadStatusPageTest, AStaleEntryIsPurgedBeforeItIsLookedUp) {
    table.Start("[old]", "old.txt", 10);
    table.Finish("[old]", true);
    clock.SleepFor(61000);
    clock.sleeps.clear();
    const Calls calls = ParseCalls(Status("%5Bold%5D").body);
    ASSERT_EQ(calls.texts.size(), 10u);
    EXPECT_EQ(calls.texts[0], "업로드 준비 중..");
}

TEST_F(UploadStatusPageTest, AHostileNameStaysInsideItsString) {
    table.Start("[x]", "');alert(1);//</script><script>alert(2)</script>\\\r\n.txt", 0);
    table.Finish("[x]", false);
    HttpResponse r = Status("%5Bx%5D");
    // The only script tags are the page's own, and no quote of the name ends the string.
    EXPECT_EQ(r.body.find("<script>"), std::string::npos);
    EXPECT_EQ(r.body.find("alert(1)</script>"), std::string::npos);
    EXPECT_EQ(r.body.find("');alert"), std::string::npos);
    const Calls calls = ParseCalls(r.body);
    ASSERT_EQ(calls.texts.size(), 1u);
    EXPECT_EQ(
        calls.texts[0],
        "\\x3Cb>&#39;);alert(1);//&lt;/script&gt;&lt;script&gt;alert(2)&lt;/script&gt;\\\\\\r\\n.txt\\x3C/b>"
        "\\x3Cbr/>업로드가 실패했습니다.");
}

} // namespace
} // namespace Vuxo
