// Folders of very many entries, many of them asked for at once, and skins whose loops multiply, seen
// from a client on loopback.
#include "fixtures/support/DumpPage.h"
#include "fixtures/support/FixtureServer.h"
#include "fixtures/support/TestHttpClient.h"
#include "fixtures/support/TraceLog.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace Vuxo::Fixtures {
namespace {

// `count` empty files (or folders) named by their number in 30 characters ("f000...0042").
void MakeFiles(const std::string& folder, int count, bool folders = false) {
    for (int i = 0; i < count; ++i) {
        char name[40];
        std::snprintf(name, sizeof name, "/f%029d", i);
        const std::string path = folder + name;
        if (folders) {
            ASSERT_EQ(::mkdir(path.c_str(), 0755), 0) << name;
            continue;
        }
        const int descriptor = ::open(path.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        ASSERT_GE(descriptor, 0) << name;
        ::close(descriptor);
    }
}

size_t CountOf(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) {
        ++count;
    }
    return count;
}

TEST(BigFolderTest, TwoHundredThousandFilesAreListedWholeWithTheDefaultSkin) {
    FixtureServer fixture([](QuilloConfig& config) { config.defaultSkin.Set(""); });
    const std::string folder = fixture.MakeShare("big");
    ASSERT_TRUE(fixture.SetRights(".anonymous", "big", "L"));
    MakeFiles(folder, 200000);
    ASSERT_TRUE(fixture.Start());
    TraceLog traces;
    TestHttpClient client(fixture.Port());
    client.SendGet("/big/");
    const HttpResponse page = client.ReadResponse();
    ASSERT_EQ(page.status, 200) << page.body.substr(0, 300);
    EXPECT_TRUE(page.complete);
    EXPECT_EQ(CountOf(page.body, "<tr class=\"f\">"), 200000u);
    EXPECT_NE(page.body.find(">f00000000000000000000000199999<"), std::string::npos);
    EXPECT_TRUE(traces.Has(LOG_INFO, "SendList 성공"));
    // The page went out in chunks, and the connection carries the next request.
    client.SendGet("/big/?action=Subdir");
    EXPECT_EQ(client.ReadResponse().status, 200);
}

TEST(BigFolderTest, PagesHoldNoMoreThanTheServersPageMemoryAndTheRestAre503) {
    QuilloServerOptions options;
    options.pageMemoryLimit = 256 << 10;
    FixtureServer fixture(nullptr, options);
    const std::string many = fixture.MakeShare("many");
    const std::string more = fixture.MakeShare("more");
    ASSERT_TRUE(fixture.SetRights(".anonymous", "many", "L"));
    ASSERT_TRUE(fixture.SetRights(".anonymous", "more", "L"));
    MakeFiles(many, 1500);       // about half of the memory
    MakeFiles(more, 5000, true); // more than all of it, for the folder page and the sub-folder list
    ASSERT_TRUE(fixture.Start());
    const PageMemoryBudget& memory = fixture.Server().GetPageMemory();
    {
        TraceLog traces;
        const HttpResponse refused = HttpGet(fixture.Port(), "/more/");
        EXPECT_EQ(refused.status, 503);
        EXPECT_EQ(HttpGet(fixture.Port(), "/more/?action=Subdir").status, 503);
        EXPECT_FALSE(traces.Has(LOG_INFO, "SendList 성공"));
        EXPECT_TRUE(traces.Has(LOG_INFO, "SendList 실패"));
    }
    std::vector<HttpResponse> answers(12);
    std::vector<std::thread> clients;
    for (HttpResponse& answer : answers) {
        clients.emplace_back([&fixture, &answer] { answer = HttpGet(fixture.Port(), "/many/"); });
    }
    for (std::thread& client : clients) {
        client.join();
    }
    int whole = 0;
    for (const HttpResponse& answer : answers) {
        if (answer.status == 200) {
            EXPECT_TRUE(answer.complete);
            EXPECT_EQ(DumpPage(answer.body).Rows("files").size(), 1500u);
            ++whole;
        } else {
            EXPECT_EQ(answer.status, 503) << answer.headerBlock;
        }
    }
    EXPECT_GT(whole, 0);
    EXPECT_LE(memory.GetPeak(), memory.GetLimit());
    EXPECT_GT(memory.GetPeak(), 0);
    // A page's memory goes back as its processor returns, which may be just after its last byte left.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (memory.GetHeld() != 0 && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(memory.GetHeld(), 0) << "every page gives its memory back";
}

TEST(BigFolderTest, ASkinWhoseLoopsMultiplyIsAnswered500AndLoggedAsFailed) {
    FixtureServer fixture;
    const std::string folder = fixture.MakeShare("pub");
    ASSERT_TRUE(fixture.SetRights(".anonymous", "pub", "L"));
    MakeFiles(folder, 300); // 300^3 passes: far beyond the budget, yet nothing written before the 500
    const std::string skin = fixture.ProgramFolder() + "/skin/bomb";
    ASSERT_EQ(::mkdir(skin.c_str(), 0755), 0);
    WriteFile(skin + "/setting.ini", "skin=bomb.html\n");
    WriteFile(skin + "/bomb.html", "#foreach($files)#foreach($files)#foreach($files)$name#end#end#end");
    ReloadResources(fixture.Server());
    ASSERT_TRUE(fixture.Start());
    TraceLog traces;
    const HttpResponse page = HttpGet(fixture.Port(), "/pub/?skin=bomb");
    EXPECT_EQ(page.status, 500);
    EXPECT_NE(page.body.find("500 Internal Server Error"), std::string::npos);
    EXPECT_TRUE(traces.Has(LOG_INFO, "SendList 실패")) << traces.Dump();
    EXPECT_FALSE(traces.Has(LOG_INFO, "SendList 성공"));
}

} // namespace
} // namespace Vuxo::Fixtures
