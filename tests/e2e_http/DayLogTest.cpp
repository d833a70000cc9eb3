// The day log file as a running server writes it.
#include "fixtures/support/FixtureServer.h"
#include "fixtures/support/TestHttpClient.h"
#include "fixtures/support/TextShape.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace Vuxo::Fixtures {
namespace {

// Every day file of the fixture, without the marks.
std::string DayLogText(const FixtureServer& fixture) {
    std::string text;
    for (const auto& entry : std::filesystem::directory_iterator(fixture.ProgramFolder() + "/Log")) {
        text += ReadFile(entry.path().string()).substr(3);
    }
    return text;
}

TEST(DayLogTest, FileStartsWithTheMarkAndHoldsPrefixedCrLfLines) {
    FixtureServer fixture;
    const std::string pub = fixture.MakeShare("pub");
    WriteFile(pub + "/a.txt", "a");
    ASSERT_TRUE(fixture.Start());
    ASSERT_EQ(HttpGet(fixture.Port(), "/pub/a.txt").status, 200);
    ASSERT_EQ(HttpGet(fixture.Port(), "/pub/").status, 200);
    fixture.Stop();

    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(fixture.ProgramFolder() + "/Log")) {
        files.push_back(entry.path().filename().string());
    }
    ASSERT_FALSE(files.empty());
    EXPECT_TRUE(HasShape(files[0], "Corvanta.########.log")) << files[0];
    std::string text;
    for (const std::string& name : files) {
        const std::string content = ReadFile(fixture.ProgramFolder() + "/Log/" + name);
        ASSERT_EQ(content.compare(0, 3, "\xEF\xBB\xBF"), 0) << name;
        text += content.substr(3);
    }

    std::istringstream lines(text);
    std::string one;
    int count = 0;
    while (std::getline(lines, one)) {
        EXPECT_TRUE(StartsWithShape(one, "[##/## ##:##:##] ") && one.back() == '\r') << one;
        ++count;
    }
    EXPECT_GT(count, 4);
    EXPECT_NE(text.find("] =======================\r\n"), std::string::npos);
    EXPECT_NE(text.find("] Quillo Corvanta 시작...\r\n"), std::string::npos);
    EXPECT_NE(text.find("] [127.0.0.1] SendFile 시작: pub/a.txt\r\n"), std::string::npos);
    EXPECT_NE(text.find("] [127.0.0.1] SendFile 성공: pub/a.txt\r\n"), std::string::npos);
    EXPECT_NE(text.find("] [127.0.0.1] SendList 시작: pub/\r\n"), std::string::npos);
    EXPECT_NE(text.find("] 서버 중지\r\n"), std::string::npos);
    // The HTTP layer's own tracing (level 1) never reaches the file.
    EXPECT_EQ(text.find("BeginResponse"), std::string::npos);
}

TEST(DayLogTest, ALongDownloadHasItsStartLineInTheFileWhileItsBodyIsStillUnsent) {
    FixtureServer fixture;
    const std::string pub = fixture.MakeShare("pub");
    const size_t size = 32u * 1024 * 1024; // more than socket buffers hold
    WriteFile(pub + "/large.bin", std::string(size, 'x'));
    ASSERT_TRUE(fixture.SetRights(".anonymous", "pub", "LD"));
    ASSERT_TRUE(fixture.Start());
    TestHttpClient client(fixture.Port());
    client.SendGet("/pub/large.bin");
    ASSERT_EQ(client.ReadHeaders().status, 200);
    const std::string during = DayLogText(fixture);
    EXPECT_NE(during.find("SendFile 시작: pub/large.bin\r\n"), std::string::npos);
    EXPECT_EQ(during.find("SendFile 성공: pub/large.bin"), std::string::npos);
    EXPECT_EQ(client.ReadBytes(size).size(), size);
}

TEST(DayLogTest, NamesPathsAndUsersFromRequestsNeverForgeALine) {
    const std::string forged = "x\n[12/09 00:00:00] FORGED";
    FixtureServer fixture;
    const std::string priv = fixture.MakeShare("priv");
    WriteFile(priv + "/" + forged + ".txt", "a");
    const std::string forgedUser = "u\n[12/09] FORGED"; // Basic credentials end the name at a ":"
    ASSERT_TRUE(fixture.AddUser(forgedUser, "pw"));
    ASSERT_TRUE(fixture.SetRights(".anonymous", "priv", "LDU"));
    ASSERT_TRUE(fixture.SetRights(forgedUser, "priv", "LD"));
    ASSERT_TRUE(fixture.Start());
    HttpGet(fixture.Port(), "/priv/?action=MakeDirectory&name=x%0A%5B12%2F09%2000%3A00%3A00%5D%20FORGED");
    ASSERT_EQ(HttpGet(fixture.Port(), "/priv/x%0A%5B12%2F09%2000%3A00%3A00%5D%20FORGED.txt").status, 200);
    ASSERT_EQ(HttpGet(fixture.Port(), "/priv/", BasicAuthorization(forgedUser, "pw")).status, 200);
    fixture.Stop();

    const std::string text = DayLogText(fixture);
    std::istringstream lines(text);
    std::string one;
    while (std::getline(lines, one)) {
        // The forged text only ever stands inside the entry of its request.
        const size_t forgedAt = one.find("FORGED");
        EXPECT_TRUE(forgedAt == std::string::npos || one.find("] [127.0.0.1") < forgedAt) << one;
    }
    const std::string escaped = "x%0A[12/09 00:00:00] FORGED";
    EXPECT_NE(text.find("MakeDirectory"), std::string::npos);
    EXPECT_NE(text.find(" - " + escaped + ": priv/"), std::string::npos);                   // the folder name
    EXPECT_NE(text.find("SendFile 시작: priv/" + escaped + ".txt\r\n"), std::string::npos); // the path
    EXPECT_NE(text.find("[127.0.0.1:u%0A[12/09] FORGED] SendList 시작: priv/\r\n"),
              std::string::npos); // the user
}

} // namespace
} // namespace Vuxo::Fixtures
