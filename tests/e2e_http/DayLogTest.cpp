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

} // namespace
} // namespace Vuxo::Fixtures
