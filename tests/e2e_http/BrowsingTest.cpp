// Routing, authentication and the folder pages, seen from a client on loopback.
#include "fixtures/support/DumpPage.h"
#include "fixtures/support/FixtureServer.h"
#include "fixtures/support/TestHttpClient.h"
#include "fixtures/support/TextShape.h"

#include "service/access/IPFilter.h"
#include "service/system/ServerInstanceId.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <sys/time.h>
#include <vector>

namespace Vuxo::Fixtures {
namespace {

// Sets a file's modification time (seconds since 1970 UTC).
void SetModificationTime(const std::string& path, std::time_t when) {
    const timeval times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(::utimes(path.c_str(), times), 0) << path;
}

class BrowsingTest : public ::testing::Test {
protected:
    void SetUp() override {
        pub = fixture.MakeShare("pub");
        secret = fixture.MakeShare("secret-folder", "secret");
        ASSERT_FALSE(pub.empty());
        ASSERT_FALSE(secret.empty());
        WriteFile(pub + "/readme.txt", "hello");
        WriteFile(secret + "/plan.txt", "top secret");
        ASSERT_TRUE(fixture.AddUser("alice", "wonder"));
        ASSERT_TRUE(fixture.SetRights(".anonymous", "pub", "LD"));
        ASSERT_TRUE(fixture.SetRights(".anonymous", "secret", "L"));
        ASSERT_TRUE(fixture.SetRights("alice", "secret", "LDU"));
        ASSERT_TRUE(fixture.Start());
    }

    HttpResponse Get(const std::string& target, const std::string& headers = "") {
        return HttpGet(fixture.Port(), target, headers);
    }

    FixtureServer fixture;
    std::string pub;
    std::string secret;
};

TEST_F(BrowsingTest, NonCanonicalPathsAreRedirected) {
    const struct {
        const char* target;
        const char* location;
    } cases[] = {
        {"/pub//readme.txt", "/pub/readme.txt"},
        {"//pub/readme.txt", "/pub/readme.txt"},
        {"/pub/../secret/plan.txt", "/"},
        {"/pub/..%5csecret", "/"},
        {"/%2fpub/", "/pub/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target);
        HttpResponse r = Get(c.target);
        EXPECT_EQ(r.status, 301);
        EXPECT_EQ(r.reason, "Moved Permanently");
        EXPECT_EQ(r.Header("Location"), c.location);
        EXPECT_TRUE(r.body.empty());
    }
}

TEST_F(BrowsingTest, IdentifyAnswersTheInstanceIdEvenToARefusedAddress) {
    ASSERT_TRUE(fixture.Server().GetIPFilter().AddIPFilterRule(false, "127.0.0.1"));
    HttpResponse r = Get("/?identify=x");
    EXPECT_EQ(r.status, 200);
    EXPECT_TRUE(HasShape(r.body, "xxxxxxxxxxxxxxxx")) << r.body;
    EXPECT_EQ(r.body, GetServerInstanceId());
    EXPECT_EQ(r.Header("Server"), "Quillo Corvanta");

    // With a second key it is an ordinary request, which the refused address does not get.
    HttpResponse other = Get("/?identify=x&skin=skin-dump");
    EXPECT_EQ(other.status, 200);
    DumpPage page(other.body);
    EXPECT_EQ(page.Get("content"), "403 Forbidden");
    EXPECT_EQ(page.Get("title"), "주소: /");
    // Built-in files are still served to it.
    EXPECT_EQ(Get("/robots.txt").status, 200);
    EXPECT_EQ(Get("/skin-dump/probe.txt?action=SkinFile").body, "probe file of the dump skin\n");
}

TEST_F(BrowsingTest, BuiltinFilesKeepTheConnectionAlive) {
    TestHttpClient client(fixture.Port());
    const char* targets[] = {"/robots.txt", "/favicon.ico", "/skin-dump/probe.txt?action=SkinFile",
                             "/robots.txt"};
    for (const char* target : targets) {
        SCOPED_TRACE(target);
        client.SendGet(target);
        HttpResponse r = client.ReadResponse();
        EXPECT_EQ(r.status, 200);
        EXPECT_TRUE(r.complete);
        EXPECT_FALSE(r.body.empty());
        EXPECT_FALSE(r.HasHeader("Connection"));
    }
    // A skin file the skin does not hold: the short 404 of the built-in files.
    client.SendGet("/skin-dump/nothing.txt?action=SkinFile");
    HttpResponse missing = client.ReadResponse();
    EXPECT_EQ(missing.status, 404);
    EXPECT_EQ(missing.body, "404 Not found :(");
}

TEST_F(BrowsingTest, RobotsInsideAShareIsTheSharesOwnFile) {
    WriteFile(pub + "/robots.txt", "share robots");
    EXPECT_EQ(Get("/pub/robots.txt").body, "share robots");
    // Missing in the share: the built-in files answer, and only the root robots.txt is theirs.
    EXPECT_EQ(Get("/secret/robots.txt").status, 404);
    EXPECT_EQ(Get("/secret/robots.txt").body, "404 Not found :(");
}

TEST_F(BrowsingTest, RequestsWithoutCredentialsAreAnonymous) {
    DumpPage page(Get("/pub/").body);
    EXPECT_EQ(page.Get("current_login_id"), "");
    EXPECT_EQ(page.Get("address"), "/pub/");
    // Anonymous may list the secret share but not download from it.
    EXPECT_EQ(Get("/secret/").status, 200);
    HttpResponse refused = Get("/secret/plan.txt");
    EXPECT_EQ(refused.status, 401);
    EXPECT_EQ(refused.Header("WWW-Authenticate"), "Basic realm=\"/\"");
    EXPECT_EQ(refused.body.find("top secret"), std::string::npos);
    EXPECT_EQ(DumpPage(refused.body).Get("title"), "401 Unauthorized");

    HttpResponse allowed = Get("/secret/plan.txt", BasicAuthorization("alice", "wonder"));
    EXPECT_EQ(allowed.status, 200);
    EXPECT_EQ(allowed.body, "top secret");
}

TEST_F(BrowsingTest, BadCredentialsGetTheChallenge) {
    const std::string cases[] = {
        BasicAuthorization("alice", "wrong"),
        BasicAuthorization("nobody", "wonder"),
        BasicAuthorization("alice", ""),
    };
    for (const std::string& header : cases) {
        SCOPED_TRACE(header);
        HttpResponse r = Get("/pub/", header);
        EXPECT_EQ(r.status, 401);
        EXPECT_EQ(r.reason, "Unauthorized");
        EXPECT_EQ(r.Header("WWW-Authenticate"), "Basic realm=\"/\"");
    }
}

TEST_F(BrowsingTest, LoginAndLogout) {
    // Anonymous asking to log in gets the challenge; a logged-in user asking again sees the page.
    EXPECT_EQ(Get("/pub/?action=Login").status, 401);
    HttpResponse loggedIn = Get("/pub/?action=Login", BasicAuthorization("alice", "wonder"));
    EXPECT_EQ(loggedIn.status, 200);
    EXPECT_EQ(DumpPage(loggedIn.body).Get("current_login_id"), "alice");

    HttpResponse logout = Get("/pub/?action=Logout", BasicAuthorization("alice", "wonder"));
    EXPECT_EQ(logout.status, 401);
    EXPECT_EQ(logout.Header("WWW-Authenticate"), "Basic realm=\"/\"");
    EXPECT_EQ(DumpPage(logout.body).Get("title"), "Logout");
    // Logging out without being logged in shows the ordinary page.
    HttpResponse anonymousLogout = Get("/pub/?action=Logout");
    EXPECT_EQ(anonymousLogout.status, 200);
    EXPECT_EQ(DumpPage(anonymousLogout.body).Get("show_files"), "1");
}

// A 401 page names the user of the request while that user is logged in (an account without the right
// asked for); refused credentials and a logout name nobody.
TEST_F(BrowsingTest, A401PageNamesOnlyALoggedInUser) {
    ASSERT_TRUE(fixture.SetRights("alice", "pub", "D"));
    HttpResponse r = Get("/pub/", BasicAuthorization("alice", "wonder"));
    EXPECT_EQ(r.status, 401);
    EXPECT_EQ(DumpPage(r.body).Get("current_login_id"), "alice");
    r = Get("/pub/", BasicAuthorization("alice", "wrong"));
    EXPECT_EQ(r.status, 401);
    EXPECT_EQ(DumpPage(r.body).Get("current_login_id"), "");
    r = Get("/pub/?action=Logout", BasicAuthorization("alice", "wonder"));
    EXPECT_EQ(DumpPage(r.body).Get("title"), "Logout");
    EXPECT_EQ(DumpPage(r.body).Get("current_login_id"), "");
}

TEST_F(BrowsingTest, UnknownShareAndMissingEntryAre404) {
    for (const char* target : {"/nothing/", "/nothing", "/pub/missing.txt", "/pub/missing/"}) {
        SCOPED_TRACE(target);
        HttpResponse r = Get(target);
        EXPECT_EQ(r.status, 404);
        const DumpPage page(r.body);
        EXPECT_EQ(page.Get("title"), "404 Not Found");
        EXPECT_EQ(page.Get("content").rfind("파일 혹은 디렉토리가 존재하지 않음: ", 0), 0u)
            << page.Get("content");
    }
}

TEST_F(BrowsingTest, FolderWithoutSlashIsRedirected) {
    std::filesystem::create_directories(pub + "/docs");
    HttpResponse r = Get("/pub/docs");
    EXPECT_EQ(r.status, 301);
    EXPECT_EQ(r.Header("Location"), "/pub/docs/");
    EXPECT_EQ(Get("/pub").Header("Location"), "/pub/");
}

TEST_F(BrowsingTest, FolderWithoutListRightIsRefused) {
    ASSERT_TRUE(fixture.SetRights(".anonymous", "pub", "D"));
    EXPECT_EQ(Get("/pub/").status, 401);
    EXPECT_EQ(Get("/pub/readme.txt").status, 200);
}

TEST_F(BrowsingTest, RootListingFollowsCanRootAccess) {
    DumpPage root(Get("/").body);
    EXPECT_EQ(root.Get("address"), "/");
    ASSERT_EQ(root.Rows("files").size(), 2u);
    EXPECT_EQ(root.Rows("files")[0].fields[0], "pub");
    EXPECT_EQ(root.Rows("files")[0].fields[1], "pub/");
    EXPECT_EQ(root.Rows("files")[1].fields[0], "secret");
    EXPECT_FALSE(root.IsSet("display_upper"));
    EXPECT_FALSE(root.IsSet("upload_path"));

    // A share's top folder has the upper link only while the root may be listed.
    EXPECT_EQ(DumpPage(Get("/pub/").body).Get("display_upper"), "1");
    fixture.Config().canRootAccess = false;
    HttpResponse refused = Get("/");
    EXPECT_EQ(refused.status, 200);
    const DumpPage refusedPage(refused.body);
    EXPECT_EQ(refusedPage.Get("content"), "이 서버에서는 최상위 목록 보기가 금지되어 있습니다.");
    EXPECT_EQ(refusedPage.Get("content_hide_back_button"), "1");
    EXPECT_TRUE(refusedPage.Rows("files").empty());
    EXPECT_FALSE(DumpPage(Get("/pub/").body).IsSet("display_upper"));
    std::filesystem::create_directories(pub + "/docs");
    EXPECT_EQ(DumpPage(Get("/pub/docs/").body).Get("display_upper"), "1");
}

TEST_F(BrowsingTest, RootSelectionNarrowsTheRights) {
    // A POSTed selection naming a share that does not exist is an authority error.
    TestHttpClient client(fixture.Port());
    const std::string body = "selectedFiles=nothing%2F%0A";
    client.Send(
        "POST /?skin=skin-dump HTTP/1.1\r\nHost: x\r\nContent-Type: application/x-www-form-urlencoded\r\n"
        "Content-Length: " +
        std::to_string(body.size()) + "\r\n\r\n" + body);
    HttpResponse r = client.ReadResponse();
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(DumpPage(r.body).Get("content"), "인증 오류");
}

TEST_F(BrowsingTest, FolderPageVariables) {
    setenv("TZ", "UTC", 1);
    tzset();
    std::filesystem::create_directories(pub + "/zeta");
    std::filesystem::create_directories(pub + "/Alpha");
    WriteFile(pub + "/big.bin", std::string(1234567, 'x'));
    WriteFile(pub + "/empty.txt", "");
    WriteFile(pub + "/B file.txt", "12345");
    WriteFile(pub + "/.hidden", "h");
    // 2021-03-04 00:05 UTC, 12:30, 23:59.
    SetModificationTime(pub + "/big.bin", 1614816300);
    SetModificationTime(pub + "/empty.txt", 1614861000);
    SetModificationTime(pub + "/B file.txt", 1614902340);
    SetModificationTime(pub + "/zeta", 1614816000);

    DumpPage page(Get("/pub/").body);
    EXPECT_EQ(page.Get("show_files"), "1");
    EXPECT_EQ(page.Get("address"), "/pub/");
    EXPECT_EQ(page.Get("content"), "");
    const auto& rows = page.Rows("files");
    std::vector<std::string> names;
    for (const auto& row : rows) {
        names.push_back(row.fields[0]);
    }
    // Folders first, then files, each by name ignoring case; hidden files are left out.
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "zeta", "B file.txt", "big.bin", "empty.txt",
                                               "readme.txt"}));
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows[1].fields, (std::vector<std::string>{"zeta", "zeta/", "2021-03-04 AM 12:00", "", "1"}));
    EXPECT_EQ(rows[2].fields, (std::vector<std::string>{"B file.txt", "B%20file.txt", "2021-03-04 PM 11:59",
                                                        "5", "$is_folder"}));
    EXPECT_EQ(rows[3].fields, (std::vector<std::string>{"big.bin", "big.bin", "2021-03-04 AM 12:05",
                                                        "1,234,567", "$is_folder"}));
    EXPECT_EQ(rows[4].fields[2], "2021-03-04 PM 12:30");
    EXPECT_EQ(rows[4].fields[3], "0");
    EXPECT_EQ(page.Get("total_size"), "1,234,577");
    EXPECT_EQ(page.Get("display_upper"), "1");
    EXPECT_TRUE(IsGroupedNumber(page.Get("free_space"))) << page.Get("free_space");
    EXPECT_FALSE(page.IsSet("upload_path"));
    EXPECT_FALSE(page.Rows("skins").empty());

    fixture.Config().showHiddenFiles = true;
    DumpPage withHidden(Get("/pub/").body);
    ASSERT_EQ(withHidden.Rows("files").size(), 7u);
    EXPECT_EQ(withHidden.Rows("files")[2].fields[0], ".hidden");
}

TEST_F(BrowsingTest, UploadPathOnlyWithTheUploadRight) {
    std::filesystem::create_directories(secret + "/sub dir");
    EXPECT_FALSE(DumpPage(Get("/secret/sub%20dir/").body).IsSet("upload_path"));
    DumpPage page(Get("/secret/sub%20dir/", BasicAuthorization("alice", "wonder")).body);
    EXPECT_EQ(page.Get("upload_path"), "/secret/sub%20dir/");
    EXPECT_EQ(page.Get("current_login_id"), "alice");
}

TEST_F(BrowsingTest, NamesFromTheFileSystemAreShownAsText) {
    WriteFile(pub + "/<img src=x onerror=alert(1)>.txt", "x");
    std::filesystem::create_directories(pub + "/\"q\" & 'a'");
    HttpResponse r = Get("/pub/?skin=.default");
    ASSERT_EQ(r.status, 200);
    EXPECT_EQ(r.body.find("<img src=x"), std::string::npos);
    EXPECT_NE(r.body.find("&lt;img src=x onerror=alert(1)&gt;.txt"), std::string::npos);
    EXPECT_NE(r.body.find("href=\"%3cimg%20src%3dx%20onerror%3dalert%281%29%3e.txt\""), std::string::npos);
    EXPECT_NE(r.body.find("&quot;q&quot; &amp; &#39;a&#39;"), std::string::npos);

    // A path from the request is escaped in the messages that show it.
    HttpResponse missing = Get("/pub/%3cscript%3ealert(1)%3c%2fscript%3e");
    EXPECT_EQ(missing.status, 404);
    EXPECT_EQ(missing.body.find("<script>"), std::string::npos);
    EXPECT_NE(missing.body.find("&lt;script&gt;"), std::string::npos);
}

TEST_F(BrowsingTest, UploadAndNewFolderNeedTheUploadRight) {
    EXPECT_EQ(Get("/pub/?action=MakeDirectory&name=x").status, 401);
    EXPECT_FALSE(std::filesystem::exists(pub + "/x"));

    const std::string body =
        "--XyZ\r\nContent-Disposition: form-data; name=\"uploadfile\"; filename=\"up.txt\"\r\n"
        "Content-Type: text/plain\r\n\r\nuploaded\r\n--XyZ--\r\n";
    TestHttpClient client(fixture.Port());
    client.Send("POST /pub/ HTTP/1.1\r\nHost: x\r\nContent-Type: multipart/form-data; boundary=XyZ\r\n"
                "Content-Length: " +
                std::to_string(body.size()) + "\r\n\r\n" + body);
    HttpResponse r = client.ReadResponse();
    EXPECT_EQ(r.status, 401);
    EXPECT_FALSE(std::filesystem::exists(pub + "/up.txt"));
}

} // namespace
} // namespace Vuxo::Fixtures
