// What a browser is told about each answer (sniffing, framing, script in shared files), and requests that
// change something refused when the browser says a page of another origin sent them.
#include "UploadSupport.h"
#include "fixtures/support/DumpPage.h"
#include "fixtures/support/FixtureServer.h"
#include "fixtures/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace Vuxo::Fixtures {
namespace {

namespace fs = std::filesystem;

const std::string kAlice = BasicAuthorization("alice", "pw");

class CrossSiteTest : public ::testing::Test {
protected:
    void SetUp() override {
        pub = fixture.MakeShare("pub");
        ASSERT_FALSE(pub.empty());
        ASSERT_TRUE(fixture.AddUser("alice", "pw"));
        ASSERT_TRUE(fixture.SetRights("alice", "pub", "LDU"));
        ASSERT_TRUE(fixture.SetRights(".anonymous", "pub", "LD"));
    }

    FixtureServer fixture;
    std::string pub;
};

TEST_F(CrossSiteTest, SharedFilesThatCouldRunScriptAreSandboxedAndNothingIsSniffed) {
    const struct {
        const char* name;
        bool sandboxed;
    } files[] = {
        {"page.html", true},   {"page.xhtml", true}, {"picture.svg", true}, {"data.xml", true},
        {"style.xsl", true},   {"code.js", true},    {"movie.swf", true},   {"unknown.zzz", true},
        {"noextension", true}, {"notes.txt", false}, {"photo.PNG", false},  {"song.mp3", false},
        {"paper.pdf", false},
    };
    for (const auto& file : files) {
        ASSERT_TRUE(WriteFile(pub + "/" + file.name, "<script>parent.x=1</script>"));
    }
    ASSERT_TRUE(fixture.Start());
    for (const auto& file : files) {
        SCOPED_TRACE(file.name);
        HttpResponse r = HttpGet(fixture.Port(), std::string("/pub/") + file.name, "Range: bytes=0-3\r\n");
        EXPECT_EQ(r.status, 206);
        EXPECT_EQ(r.Header("X-Content-Type-Options"), "nosniff");
        EXPECT_EQ(r.Header("Content-Security-Policy"), file.sandboxed ? "sandbox" : "");
        EXPECT_FALSE(r.HasHeader("X-Frame-Options"))
            << "a shared picture may be shown in another site's frame";
    }
    // The program's own answers: pages, refusals, redirects and skin files are never framed elsewhere.
    for (const char* target : {"/pub/", "/pub/missing", "/pub", "/.default/common.js?action=SkinFile"}) {
        SCOPED_TRACE(target);
        HttpResponse r = HttpGet(fixture.Port(), target);
        EXPECT_EQ(r.Header("X-Content-Type-Options"), "nosniff");
        EXPECT_EQ(r.Header("Content-Security-Policy"), "frame-ancestors 'self'");
        EXPECT_EQ(r.Header("X-Frame-Options"), "SAMEORIGIN");
    }
    EXPECT_EQ(HttpGet(fixture.Port(), "/.default/common.js?action=SkinFile").Header("Content-Type"),
              "text/javascript");
}

TEST_F(CrossSiteTest, ChangesAreRefusedOnlyWhenTheBrowserSaysAnotherOriginSentThem) {
    ASSERT_TRUE(fixture.Start());
    // The client's Host is "127.0.0.1", so the server's origin is http://127.0.0.1 (port 80 implied).
    const struct {
        const char* headers;
        bool refused;
    } cases[] = {
        {"", false}, // curl, scripts, old browsers
        {"Sec-Fetch-Site: same-origin\r\n", false},
        {"Sec-Fetch-Site: none\r\n", false},                        // typed, or a bookmark
        {"Sec-Fetch-Site: same-origin\r\nOrigin: null\r\n", false}, // a skin whose referrer policy is none
        {"Origin: http://127.0.0.1\r\n", false},
        {"Origin: HTTP://127.0.0.1:80\r\n", false},
        {"Referer: http://127.0.0.1/pub/\r\n", false},
        {"Sec-Fetch-Site: cross-site\r\n", true},
        {"Sec-Fetch-Site: same-site\r\n", true}, // another port or sub-domain
        {"Sec-Fetch-Site: cross-site\r\nOrigin: http://127.0.0.1\r\n", true},
        {"Origin: http://127.0.0.1:8080\r\n", true},
        {"Origin: https://127.0.0.1\r\n", true},
        {"Origin: null\r\n", true},
        {"Origin: http://evil.example\r\nReferer: http://127.0.0.1/pub/\r\n", true},
        {"Referer: http://127.0.0.1.evil.example/\r\n", true},
        {"Referer: http://user@evil.example:80/@127.0.0.1\r\n", true},
    };
    int made = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.headers);
        const std::string name = "n" + std::to_string(made++);
        const std::string headers = kAlice + c.headers;
        HttpResponse folder = HttpGet(fixture.Port(), "/pub/?action=MakeDirectory&name=" + name, headers);
        HttpResponse upload =
            Upload(fixture.Port(), "/pub/?action=Upload&key=k", name + ".html", "x", headers);
        HttpResponse logout = HttpGet(fixture.Port(), "/pub/?action=Logout", headers);
        EXPECT_EQ(fs::exists(pub + "/" + name), !c.refused);
        EXPECT_EQ(fs::exists(pub + "/" + name + ".html"), !c.refused);
        if (c.refused) {
            for (const HttpResponse* r : {&folder, &upload, &logout}) {
                EXPECT_EQ(r->status, 403);
                EXPECT_EQ(DumpPage(r->body).Get("title"), "403 Forbidden");
                EXPECT_EQ(DumpPage(r->body).Get("content"),
                          "다른 사이트의 페이지가 보낸 요청이라 처리하지 않았습니다.");
            }
        } else {
            EXPECT_EQ(folder.status, 301);
            EXPECT_EQ(upload.body, "OK");
            EXPECT_EQ(logout.status, 401);
        }
        // Reading is never refused: a link from another site opens the folder and its files.
        EXPECT_EQ(HttpGet(fixture.Port(), "/pub/", headers).status, 200);
    }
}

} // namespace
} // namespace Vuxo::Fixtures
