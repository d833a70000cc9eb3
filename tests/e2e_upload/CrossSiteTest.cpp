// What a browser is told about each answer, and changes refused when a page of another origin sent them.
#include "UploadSupport.h"
#include "fixtures/support/DumpPage.h"
#include "fixtures/support/FixtureServer.h"
#include "fixtures/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace Vuxo::Fixtures {
namespace {

class CrossSiteTest : public ::testing::Test {
protected:
    void SetUp() override {
        pub = fixture.MakeShare("pub");
        ASSERT_TRUE(fixture.AddUser("alice", "pw"));
        ASSERT_TRUE(fixture.SetRights("alice", "pub", "LDU"));
    }

    FixtureServer fixture;
    std::string pub;
};

TEST_F(CrossSiteTest, SharedFilesThatCouldRunScriptAreSandboxedAndNothingIsSniffed) {
    const std::string kAlice = BasicAuthorization("alice", "pw");
    const std::pair<const char*, const char*> files[] = {
        {"page.html", "sandbox"},   {"picture.svg", "sandbox"}, {"data.xml", "sandbox"},
        {"unknown.zzz", "sandbox"}, {"notes.txt", ""},          {"photo.PNG", ""},
    };
    for (const auto& [name, policy] : files) {
        ASSERT_TRUE(WriteFile(pub + "/" + name, "<script>parent.x=1</script>"));
    }
    ASSERT_TRUE(fixture.Start());
    for (const auto& [name, policy] : files) {
        HttpResponse r =
            HttpGet(fixture.Port(), std::string("/pub/") + name, kAlice + "Range: bytes=0-3\r\n");
        EXPECT_EQ(r.status, 206) << name;
        EXPECT_EQ(r.Header("X-Content-Type-Options"), "nosniff") << name;
        EXPECT_EQ(r.Header("Content-Security-Policy"), policy) << name;
        EXPECT_FALSE(r.HasHeader("X-Frame-Options")) << "another site may show a shared picture: " << name;
    }
    // The program's own answers (pages, refusals, skin files) are never framed by another site.
    for (const char* target : {"/pub/", "/pub/missing", "/.default/common.js?action=SkinFile"}) {
        HttpResponse r = HttpGet(fixture.Port(), target, kAlice);
        EXPECT_EQ(r.Header("X-Content-Type-Options") + "|" + r.Header("Content-Security-Policy") + "|" +
                      r.Header("X-Frame-Options"),
                  "nosniff|frame-ancestors 'self'|SAMEORIGIN")
            << target;
    }
}

TEST_F(CrossSiteTest, ChangesAreRefusedOnlyWhenTheBrowserSaysAnotherOriginSentThem) {
    ASSERT_TRUE(fixture.Start());
    // The client's Host is "127.0.0.1", so the server's origin is http://127.0.0.1 (port 80 implied).
    const std::pair<const char*, bool> cases[] = {
        {"", false},                                                // curl, scripts, old browsers
        {"Sec-Fetch-Site: same-origin\r\nOrigin: null\r\n", false}, // a skin whose referrer policy is none
        {"Sec-Fetch-Site: none\r\n", false},                        // typed, or a bookmark
        {"Origin: HTTP://127.0.0.1:80\r\n", false},
        {"Referer: http://127.0.0.1/pub/\r\n", false},
        {"Sec-Fetch-Site: same-site\r\nOrigin: http://127.0.0.1\r\n", true}, // another port or sub-domain
        {"Sec-Fetch-Site: cross-site\r\n", true},
        {"Origin: http://127.0.0.1:8080\r\n", true},
        {"Origin: null\r\n", true},
        {"Origin: http://evil.example\r\nReferer: http://127.0.0.1/pub/\r\n", true},
        {"Referer: http://user@evil.example/@127.0.0.1\r\n", true},
    };
    int n = 0;
    for (const auto& [headers, refused] : cases) {
        SCOPED_TRACE(headers);
        const std::string name = "n" + std::to_string(n++);
        const std::string sent = BasicAuthorization("alice", "pw") + headers;
        const HttpResponse answers[] = {
            HttpGet(fixture.Port(), "/pub/?action=MakeDirectory&name=" + name, sent),
            Upload(fixture.Port(), "/pub/?action=Upload&key=k", name + ".html", "x", sent),
            HttpGet(fixture.Port(), "/pub/?action=Logout", sent),
        };
        EXPECT_EQ(std::filesystem::exists(pub + "/" + name), !refused);
        EXPECT_EQ(std::filesystem::exists(pub + "/" + name + ".html"), !refused);
        EXPECT_EQ(answers[2].status, refused ? 403 : 401);
        for (const HttpResponse& r : answers) {
            EXPECT_EQ(DumpPage(r.body).Get("content") ==
                          "다른 사이트의 페이지가 보낸 요청이라 처리하지 않았습니다.",
                      refused);
        }
        // Reading is never refused: a link from another site opens the folder.
        EXPECT_EQ(HttpGet(fixture.Port(), "/pub/", sent).status, 200);
    }
}

} // namespace
} // namespace Vuxo::Fixtures
