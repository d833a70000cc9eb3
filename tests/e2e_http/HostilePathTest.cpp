// Requests that try to reach beyond a share. A canary file sits beside the share, in the share's parent
// and outside every share; whatever the request, its bytes must never come back.
#include "fixtures/support/FixtureServer.h"
#include "fixtures/support/TestHttpClient.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace Vuxo::Fixtures {
namespace {

constexpr const char* kCanary = "CANARY-7f3a9c-must-never-be-served";

class HostilePathTest : public ::testing::Test {
protected:
    void SetUp() override {
        pub = fixture.MakeShare("pub");
        ASSERT_FALSE(pub.empty());
        WriteFile(pub + "/inside.txt", "inside");
        std::filesystem::create_directories(pub + "/sub");
        // Beside the share (shares/secret.txt), and in a folder outside every share.
        WriteFile(fixture.Root() + "/shares/secret.txt", kCanary);
        WriteFile(fixture.OutsideFolder() + "/secret.txt", kCanary);
        // Links inside the share that lead out of it, to a file and to a folder; and one that stays inside.
        std::filesystem::create_symlink(fixture.OutsideFolder() + "/secret.txt", pub + "/link-out.txt");
        std::filesystem::create_symlink(fixture.OutsideFolder(), pub + "/dir-out");
        std::filesystem::create_symlink("../secret.txt", pub + "/sub/relative-out.txt");
        std::filesystem::create_symlink(pub + "/inside.txt", pub + "/link-in.txt");
        ASSERT_TRUE(fixture.SetRights(".anonymous", "pub", "LD"));
        ASSERT_TRUE(fixture.Start());
    }

    FixtureServer fixture;
    std::string pub;
};

TEST_F(HostilePathTest, NothingOutsideAShareIsEverServed) {
    const std::string outside = fixture.OutsideFolder();
    const char* targets[] = {
        // Parent references, plain, with either slash, percent-encoded and double-encoded.
        "/pub/../secret.txt",
        "/pub/..\\secret.txt",
        "/pub/%2e%2e/secret.txt",
        "/pub/%2e%2e%2fsecret.txt",
        "/pub/..%2fsecret.txt",
        "/pub/..%5csecret.txt",
        "/pub/%2e%2e%5csecret.txt",
        "/pub/%252e%252e%252fsecret.txt",
        "/pub/%252e%252e/secret.txt",
        "/pub/sub/../../secret.txt",
        "/pub/sub/..%5c..%5csecret.txt",
        "/..",
        "/../shares/secret.txt",
        // Overlong UTF-8 forms of "." and "/" and a NUL.
        "/pub/%c0%ae%c0%ae/secret.txt",
        "/pub/%c0%ae%c0%ae%c0%afsecret.txt",
        "/pub/%e0%80%ae%e0%80%ae/secret.txt",
        "/pub/%c0%2e%c0%2e/secret.txt",
        "/pub/inside.txt%00",
        "/pub/%00../secret.txt",
        "/pub%00/../secret.txt",
        // Absolute paths.
        "//etc/passwd",
        "/%2fetc%2fpasswd",
        "/pub//etc/passwd",
        "/pub/%2f..%2f..%2fsecret.txt",
        // Links that lead out of the share.
        "/pub/link-out.txt",
        "/pub/dir-out/secret.txt",
        "/pub/dir-out/",
        "/pub/sub/relative-out.txt",
        "/pub/link-out.txt?action=SkinFile",
        "/pub/link-out.txt?skin=x",
    };
    for (const char* target : targets) {
        SCOPED_TRACE(target);
        // Redirects are followed once: a redirect must lead somewhere harmless as well.
        HttpResponse r = HttpGet(fixture.Port(), target);
        ASSERT_NE(r.status, 0);
        EXPECT_EQ(r.body.find(kCanary), std::string::npos);
        EXPECT_EQ(r.body.find("root:"), std::string::npos);
        if (r.status == 301) {
            HttpResponse followed = HttpGet(fixture.Port(), r.Header("Location"));
            EXPECT_EQ(followed.body.find(kCanary), std::string::npos);
        }
        EXPECT_NE(r.status, 206);
    }
    // The listing of the share does not lead out either.
    HttpResponse page = HttpGet(fixture.Port(), "/pub/dir-out/");
    EXPECT_EQ(page.status, 404);
}

TEST_F(HostilePathTest, ALinkThatLeadsOutIsMissingWhateverTheRights) {
    for (const char* letters : {"LD", "L", ""}) {
        SCOPED_TRACE(letters);
        ASSERT_TRUE(fixture.SetRights(".anonymous", "pub", letters));
        for (const char* target :
             {"/pub/link-out.txt", "/pub/dir-out/secret.txt", "/pub/sub/relative-out.txt"}) {
            SCOPED_TRACE(target);
            const HttpResponse r = HttpGet(fixture.Port(), target);
            EXPECT_EQ(r.status, 404);
            EXPECT_EQ(r.body.find(kCanary), std::string::npos);
        }
    }
}

TEST_F(HostilePathTest, LinksThatStayInsideWork) {
    EXPECT_EQ(HttpGet(fixture.Port(), "/pub/link-in.txt").body, "inside");
    EXPECT_EQ(HttpGet(fixture.Port(), "/pub/inside.txt").body, "inside");
}

TEST_F(HostilePathTest, PagesListNoLinkThatLeadsOut) {
    // What would be refused is not offered: not on the folder pages, not in the path bar's folder menu.
    const HttpResponse top = HttpGet(fixture.Port(), "/pub/");
    ASSERT_EQ(top.status, 200);
    EXPECT_NE(top.body.find("link-in.txt"), std::string::npos);
    EXPECT_NE(top.body.find("inside.txt"), std::string::npos);
    EXPECT_EQ(top.body.find("link-out.txt"), std::string::npos);
    EXPECT_EQ(top.body.find("dir-out"), std::string::npos);
    const HttpResponse sub = HttpGet(fixture.Port(), "/pub/sub/");
    ASSERT_EQ(sub.status, 200);
    EXPECT_EQ(sub.body.find("relative-out.txt"), std::string::npos);
    std::filesystem::create_directories(pub + "/sub/kept");
    std::filesystem::create_symlink(pub + "/sub/kept", pub + "/link-dir-in");
    const HttpResponse menu = HttpGet(fixture.Port(), "/pub/?action=Subdir");
    ASSERT_EQ(menu.status, 200);
    EXPECT_NE(menu.body.find("sub"), std::string::npos);
    EXPECT_NE(menu.body.find("link-dir-in"), std::string::npos);
    EXPECT_EQ(menu.body.find("dir-out"), std::string::npos);
}

TEST_F(HostilePathTest, ALinkSwappedInWhileRequestsRunNeverServesWhatLiesOutside) {
    // A writer inside the share swaps a file and a link out of it under one name, and a folder and a
    // link to the outside folder under another, as fast as it can while clients fetch both names.
    WriteFile(pub + "/race.txt", "inside");
    WriteFile(pub + "/race-dir/secret.txt", "inside");
    std::filesystem::create_symlink(fixture.OutsideFolder() + "/secret.txt", pub + "/.race-alt.txt");
    std::filesystem::create_symlink(fixture.OutsideFolder(), pub + "/.race-alt-dir");
    std::atomic<bool> stop{false};
    std::thread swapper([&] {
        while (!stop.load()) {
            ::renameat2(AT_FDCWD, (pub + "/race.txt").c_str(), AT_FDCWD, (pub + "/.race-alt.txt").c_str(),
                        RENAME_EXCHANGE);
            ::renameat2(AT_FDCWD, (pub + "/race-dir").c_str(), AT_FDCWD, (pub + "/.race-alt-dir").c_str(),
                        RENAME_EXCHANGE);
        }
    });
    std::atomic<int> served{0};
    std::atomic<int> leaked{0};
    std::vector<std::thread> clients;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    for (int i = 0; i < 4; ++i) {
        clients.emplace_back([&] {
            auto client = std::make_unique<TestHttpClient>(fixture.Port());
            for (int n = 0; std::chrono::steady_clock::now() < end; ++n) {
                client->SendGet(n % 2 == 0 ? "/pub/race.txt" : "/pub/race-dir/secret.txt");
                const HttpResponse r = client->ReadResponse();
                served += r.body == "inside" ? 1 : 0;
                leaked += r.body.find(kCanary) != std::string::npos ? 1 : 0;
                if (r.status == 0 || r.Header("Connection") == "close") {
                    client = std::make_unique<TestHttpClient>(fixture.Port());
                }
            }
        });
    }
    for (std::thread& client : clients) {
        client.join();
    }
    stop = true;
    swapper.join();
    EXPECT_EQ(leaked.load(), 0);
    EXPECT_GT(served.load(), 0);
}

TEST_F(HostilePathTest, MalformedPathsAreRefusedAsMissing) {
    for (const char* target : {"/pub/%c0%ae%c0%ae/secret.txt", "/pub/inside.txt%00", "/pub/%ff.txt"}) {
        SCOPED_TRACE(target);
        EXPECT_EQ(HttpGet(fixture.Port(), target).status, 404);
    }
}

} // namespace
} // namespace Vuxo::Fixtures
