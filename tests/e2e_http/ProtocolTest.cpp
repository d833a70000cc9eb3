// What clients that speak unusual or hostile HTTP get from the whole server: methods other than GET, HEAD
// and POST, request targets other than a path, bodies announced with "Expect: 100-continue", and many
// large form bodies announced at once.
#include "fixtures/support/FixtureServer.h"
#include "fixtures/support/TestHttpClient.h"

#include "core/http/FormBodyBudget.h"
#include "core/http/RequestParserThread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace Vuxo::Fixtures {
namespace {

class ProtocolTest : public ::testing::Test {
protected:
    void SetUp() override {
        pub = fixture.MakeShare("pub");
        ASSERT_FALSE(pub.empty());
        WriteFile(pub + "/hello.txt", "the content");
        ASSERT_TRUE(fixture.SetRights(".anonymous", "pub", "LD"));
        ASSERT_TRUE(fixture.Start());
    }

    // A url-encoded POST's header block.
    static std::string FormHead(const std::string& target, int64_t length, const std::string& extra = "") {
        return "POST " + target +
               " HTTP/1.1\r\nHost: x\r\nContent-Type: application/x-www-form-urlencoded\r\n"
               "Content-Length: " +
               std::to_string(length) + "\r\n" + extra + "\r\n";
    }

    FixtureServer fixture;
    std::string pub;
};

TEST_F(ProtocolTest, MethodsOtherThanGetHeadAndPostAreNotCarriedOut) {
    TestHttpClient client(fixture.Port());
    for (const char* method : {"DELETE", "PUT", "OPTIONS", "TRACE", "PATCH", "get"}) {
        SCOPED_TRACE(method);
        client.Send(std::string(method) + " /pub/hello.txt HTTP/1.1\r\nHost: x\r\nX-Secret: s3cr3t\r\n\r\n");
        const HttpResponse r = client.ReadResponse();
        EXPECT_EQ(r.status, 501);
        EXPECT_EQ(r.reason, "Not Implemented");
        EXPECT_EQ(r.body.find("the content"), std::string::npos) << "the file is not served";
        EXPECT_EQ(r.body.find("s3cr3t"), std::string::npos) << "nothing of the request is echoed";
    }
    EXPECT_EQ(ReadFile(pub + "/hello.txt"), "the content");
    client.SendGet("/pub/hello.txt");
    EXPECT_EQ(client.ReadResponse().body, "the content") << "the connection stays usable";
}

TEST_F(ProtocolTest, ATargetIsAPathOrAnAbsoluteUrlAndNothingElse) {
    const struct {
        const char* requestLine;
        int status;
    } rows[] = {
        {"GET /pub/hello.txt HTTP/1.1", 200},
        {"GET http://x/pub/hello.txt HTTP/1.1", 200}, // absolute form: its path
        {"GET HTTP://x:8080/pub/hello.txt?a=1 HTTP/1.1", 200},
        {"GET http://x HTTP/1.1", 200}, // the root
        {"GET Xpub/hello.txt HTTP/1.1", 400},
        {"GET pub/hello.txt HTTP/1.1", 400},
        {"GET * HTTP/1.1", 400},
        {"OPTIONS * HTTP/1.1", 400},
        {"GET ftp://x/pub/hello.txt HTTP/1.1", 400},
        {"GET http://u@x/pub/hello.txt HTTP/1.1", 400},
        {"GET http:///pub/hello.txt HTTP/1.1", 400},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.requestLine);
        TestHttpClient client(fixture.Port());
        client.Send(std::string(row.requestLine) + "\r\nHost: x\r\nConnection: close\r\n\r\n");
        const HttpResponse r = client.ReadResponse();
        EXPECT_EQ(r.status, row.status);
        if (row.status == 400) {
            EXPECT_EQ(r.body, "");
            EXPECT_TRUE(client.ServerClosed());
        } else if (std::string(row.requestLine).find("hello") != std::string::npos) {
            EXPECT_EQ(r.body, "the content");
        }
    }
}

TEST_F(ProtocolTest, AFormIsAskedForWithContinueOnlyWhenItWillBeRead) {
    const std::string expect = "Expect: 100-continue\r\n";
    // Nothing to serve: the answer comes at once, and the body is never waited for.
    TestHttpClient missing(fixture.Port());
    missing.Send(FormHead("/nothing/here", 1000, expect));
    EXPECT_EQ(missing.ReadResponse().status, 404);
    EXPECT_TRUE(missing.ServerClosed());
    // The root's selection is read: "100 Continue", then the body, then the page.
    const std::string body = "selectedFiles=pub%2F%0A";
    TestHttpClient root(fixture.Port());
    root.Send(FormHead("/", static_cast<int64_t>(body.size()), expect));
    EXPECT_EQ(root.ReadResponse(false).headerBlock, "HTTP/1.1 100 Continue");
    root.Send(body);
    EXPECT_EQ(root.ReadResponse().status, 200);
}

TEST_F(ProtocolTest, AnnouncedFormBodiesHoldOnlyWhatHasArrived) {
    const int64_t each = RequestParserThread::kMaxFormBody;
    const int fit = static_cast<int>(FormBodyBudget::kDefaultLimit / each);
    // Connections that announce the largest form and send one byte of it: as announced they would take
    // the whole bound, and every other form would be refused while they wait.
    std::vector<std::unique_ptr<TestHttpClient>> holders;
    for (int i = 0; i < fit; ++i) {
        holders.push_back(std::make_unique<TestHttpClient>(fixture.Port()));
        holders.back()->Send(FormHead("/", each) + "a");
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (FormBodyBudget::Shared().GetHeld() < fit && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(FormBodyBudget::Shared().GetHeld(), fit) << "one byte each";
    // A selection whose body follows its head, as an archive or playlist form's may, is read and served.
    const std::string body = "selectedFiles=pub%2F%0A";
    TestHttpClient served(fixture.Port());
    served.Send(FormHead("/", static_cast<int64_t>(body.size()), "Expect: 100-continue\r\n"));
    EXPECT_EQ(served.ReadResponse(false).status, 100);
    served.Send(body);
    EXPECT_EQ(served.ReadResponse().status, 200);
}

} // namespace
} // namespace Vuxo::Fixtures
