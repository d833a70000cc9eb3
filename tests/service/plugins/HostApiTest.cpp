// The host table itself and its helpers that need no request: the server host and port split, the
// translation slot's buffer rules, and slots called without a context.
#include "core/i18n/LocalizationStringTable.h"
#include "service/plugins/PluginHostApi.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

namespace Vuxo {
namespace {

TEST(SplitHostPortTest, TakesThePortAfterTheFirstColonOrTheDefault) {
    const struct {
        const char* value;
        uint16_t defaultPort;
        const char* host;
        uint16_t port;
    } cases[] = {
        {"example:8080", 80, "example", 8080},
        {"example", 80, "example", 80},
        {":81", 80, "", 81},
        {"name", 8123, "name", 8123},
        {"192.0.2.1:65535", 80, "192.0.2.1", 65535},
        {"a:1:2", 80, "a", 1},
        {"example:12abc", 80, "example", 12},
        // Not a port: the default instead of a wrapped or made-up number.
        {"example:", 8123, "example", 8123},
        {"example:x", 8123, "example", 8123},
        {"example:65536", 8123, "example", 8123},
        {"example:99999999999999999999", 8123, "example", 8123},
        {"example:-1", 8123, "example", 8123},
        {"", 80, "", 80},
    };
    for (const auto& c : cases) {
        std::string host = "stale";
        uint16_t port = 1;
        SplitHostPort(host, port, c.value, c.defaultPort);
        EXPECT_EQ(host, c.host) << c.value;
        EXPECT_EQ(port, c.port) << c.value;
    }
}

TEST(TranslateTextTest, FollowsTheBufferRules) {
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(TranslateTextInto(buffer, 0, "abc"), 0);
    EXPECT_EQ(TranslateTextInto(buffer, -5, "abc"), 0);
    EXPECT_EQ(buffer[0], '#') << "a buffer without room is left alone";
    EXPECT_EQ(TranslateTextInto(nullptr, 8, "abc"), 0);

    EXPECT_EQ(TranslateTextInto(buffer, 8, nullptr), 0);
    EXPECT_EQ(buffer[0], '\0');

    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(TranslateTextInto(buffer, 1, "abc"), 0);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(buffer[1], '#');

    EXPECT_EQ(TranslateTextInto(buffer, 3, "abc"), 2);
    EXPECT_STREQ(buffer, "ab");
    EXPECT_EQ(TranslateTextInto(buffer, 16, "abc"), 3);
    EXPECT_STREQ(buffer, "abc");
}

TEST(TranslateTextTest, NeverCutsACharacterInHalf) {
    char buffer[16];
    const char* text = "가나다"; // three characters of three bytes
    const struct {
        int size;
        int written;
        const char* expected;
    } cases[] = {{3, 0, ""},     {4, 3, "가"},      {6, 3, "가"},
                 {7, 6, "가나"}, {10, 9, "가나다"}, {16, 9, "가나다"}};
    for (const auto& c : cases) {
        EXPECT_EQ(TranslateTextInto(buffer, c.size, text), c.written) << c.size;
        EXPECT_STREQ(buffer, c.expected) << c.size;
    }
}

TEST(TranslateTextTest, UsesTheCurrentLanguage) {
    LocalizationStringTable& table = LocalizationStringTable::GetInstance();
    std::istringstream body("\"압축 파일\" = \"Archive\"\n");
    ASSERT_TRUE(table.Load(body));
    char buffer[32];
    EXPECT_EQ(TranslateTextInto(buffer, sizeof buffer, "압축 파일"), 7);
    EXPECT_STREQ(buffer, "Archive");
    EXPECT_EQ(TranslateTextInto(buffer, 4, "압축 파일"), 3);
    EXPECT_STREQ(buffer, "Arc");
    std::istringstream empty("");
    ASSERT_TRUE(table.Load(empty));
    EXPECT_EQ(TranslateTextInto(buffer, sizeof buffer, "압축 파일"), 13);
    EXPECT_STREQ(buffer, "압축 파일");
}

TEST(HostTableTest, IsOneFilledTableWhoseSlotsRefuseAMissingContext) {
    const HostApi* table = GetHostApi();
    ASSERT_EQ(table, GetHostApi());
    static_assert(sizeof(HostApi) == 20 * sizeof(void (*)()), "twenty slots");
    const auto* slots = reinterpret_cast<void (*const*)()>(table);
    for (int i = 0; i < 20; ++i) {
        EXPECT_NE(slots[i], nullptr) << "slot " << i;
    }
    EXPECT_EQ(table->GetPluginDirectory(nullptr), nullptr);
    EXPECT_EQ(table->GetRequestMethod(nullptr), CORVANTA_METHOD_OTHER);
    EXPECT_EQ(table->GetRequestUri(nullptr), nullptr);
    EXPECT_EQ(table->GetLocalPath(nullptr, "share/x"), nullptr);
    EXPECT_EQ(table->EnumShares(nullptr, nullptr, 0), 0);
    EXPECT_EQ(table->GetHeader(nullptr, "HOST"), nullptr);
    EXPECT_EQ(table->GetServerPort(nullptr), 0);
    EXPECT_EQ(table->BeginResponse(nullptr, 200, "OK"), 0);
    EXPECT_EQ(table->SendBody(nullptr, "x", 1), 0);
    EXPECT_EQ(table->EndResponse(nullptr), 0);
    table->WriteLog(nullptr, 2, "nothing happens");
    char buffer[8];
    EXPECT_EQ(table->TranslateText(nullptr, buffer, sizeof buffer, "abc"), 3) << "slot 19 needs no context";
}

} // namespace
} // namespace Vuxo
