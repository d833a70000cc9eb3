#include "core/config/AbstractConfig.h"

#include <gtest/gtest.h>

#include <sstream>
#include <streambuf>
#include <string>
#include <thread>
#include <vector>

namespace Vuxo {
namespace {

// One setting of every bindable kind.
class SampleConfig : public AbstractConfig {
public:
    SampleConfig() {
        RegisterItem("port", &port, 80);
        RegisterItem("enabled", &enabled, true);
        RegisterItem("limit", &limit, -1);
        RegisterItem("Name", &name, "default");
        RegisterItem("sharedPort", &sharedPort, 8080);
        RegisterItem("sharedFlag", &sharedFlag, false);
        RegisterItem("sharedLimit", &sharedLimit, 7);
        RegisterItem("HostName", &hostName, "host");
        RegisterContainer("users", &users);
        RegisterContainer("Mounts", &mounts);
    }

    unsigned short port = 0;
    bool enabled = false;
    int limit = 0;
    std::string name;
    std::atomic<unsigned short> sharedPort{0};
    std::atomic<bool> sharedFlag{true};
    std::atomic<int> sharedLimit{0};
    SharedString hostName;
    std::vector<std::string> users;
    std::vector<std::string> mounts;
};

std::string SaveToText(const AbstractConfig& config) {
    std::ostringstream out;
    EXPECT_TRUE(config.Save(out));
    return out.str();
}

bool LoadText(AbstractConfig& config, const std::string& text) {
    std::istringstream in(text);
    return config.Load(in);
}

TEST(NoCaseLessTest, OrdersWithoutRegardToAsciiCase) {
    const NoCaseLess less;
    const char* const ascending[][2] = {
        {"alpha", "Beta"},           {"ALPHA", "beta"}, {"port", "portal"},      {"", "a"},
        {"getPublicIP", "HostName"}, {"_x", "ax"},      {"\xC3\x89", "\xC3\xA9"}};
    for (const auto& pair : ascending) {
        EXPECT_TRUE(less(pair[0], pair[1])) << pair[0] << " < " << pair[1];
        EXPECT_FALSE(less(pair[1], pair[0])) << pair[1] << " < " << pair[0];
    }
    EXPECT_FALSE(less("Port", "pOrT"));
    EXPECT_FALSE(less("pOrT", "Port"));
}

TEST(AbstractConfigTest, RegistrationAppliesDefaultsOnceAndNamesIgnoreCase) {
    SampleConfig config;
    EXPECT_EQ(config.port, 80);
    EXPECT_EQ(config.sharedPort.load(), 8080);
    EXPECT_FALSE(config.sharedFlag.load());
    EXPECT_EQ(config.hostName.Get(), "host");

    // A second registration under a taken name (any case, either kind) neither rebinds nor applies a default.
    int other = 5;
    std::vector<std::string> otherList{"kept"};
    config.RegisterItem("PORT", &other, 99);
    config.RegisterContainer("users", &otherList);
    config.RegisterContainer("limit", &otherList);
    EXPECT_TRUE(config.SetItemText("Port", "81"));
    EXPECT_TRUE(config.AppendContainerText("USERS", "a"));
    EXPECT_EQ(config.port, 81);
    EXPECT_EQ(config.users, std::vector<std::string>{"a"});
    EXPECT_EQ(other, 5);
    EXPECT_EQ(otherList, std::vector<std::string>{"kept"});

    std::vector<std::string> texts;
    EXPECT_FALSE(config.SetItemText("users", "x"));
    EXPECT_FALSE(config.AppendContainerText("port", "x"));
    EXPECT_FALSE(config.GetContainerTexts("port", texts));

    std::vector<std::string> names;
    config.GetItemNames(names);
    EXPECT_EQ(names, (std::vector<std::string>{"enabled", "HostName", "limit", "Name", "port", "sharedFlag",
                                               "sharedLimit", "sharedPort"}));
    config.GetContainerNames(names);
    EXPECT_EQ(names, (std::vector<std::string>{"Mounts", "users"}));
}

TEST(AbstractConfigTest, NumberTextsOutsideTheTypeKeepTheOldValue) {
    const char* const cases[][3] = {
        // item, text, value afterwards
        {"port", "  81 x", "81"},
        {"port", "80=81", "80"},
        {"port", "+82", "82"},
        {"port", "00065535", "65535"},
        {"port", "-1", "80"},
        {"port", "70000", "80"},
        {"port", "yes", "80"},
        {"port", "", "80"},
        {"port", "+ 5", "80"},
        {"port", "99999999999999999999999", "80"},
        {"sharedPort", "-1", "8080"},
        {"enabled", "0", "0"},
        {"enabled", "1 and more", "1"},
        {"enabled", "2", "1"},
        {"sharedFlag", "2", "0"},
        {"sharedFlag", "1", "1"},
        {"limit", "-2147483648", "-2147483648"},
        {"limit", "2147483648", "-1"},
        {"limit", "\t\v 12abc", "12"},
        {"sharedLimit", "nothing", "7"},
    };
    for (const auto& c : cases) {
        SampleConfig config;
        std::string text;
        ASSERT_TRUE(config.SetItemText(c[0], c[1]));
        ASSERT_TRUE(config.GetItemText(c[0], text));
        EXPECT_EQ(text, c[2]) << c[0] << " <- '" << c[1] << "'";
    }
}

TEST(AbstractConfigTest, LoadReadsTheLineSyntax) {
    SampleConfig config;
    config.users = {"stale"};
    config.mounts = {"stale too"};
    EXPECT_TRUE(LoadText(config, "PORT=81\r\n"
                                 "\r\n"
                                 "=5\n"
                                 "a line without an equals sign\n"
                                 "limit=12=13\n"
                                 "  Name  =   spaced value with = inside  \t\r\n"
                                 "users+=first\n"
                                 "users +=  second \n"
                                 "port+=1234\n"    // a list line for an item name is ignored
                                 "users=ignored\n" // an item line for a list name is ignored
                                 "unknown=value\n"
                                 "enabled=0")); // the last line has no line end
    EXPECT_EQ(config.port, 81);
    EXPECT_EQ(config.limit, 12);
    EXPECT_EQ(config.name, "spaced value with = inside");
    EXPECT_FALSE(config.enabled);
    EXPECT_EQ(config.users, (std::vector<std::string>{"first", "second"}));
    EXPECT_TRUE(config.mounts.empty()); // a list the stream does not mention is emptied

    std::istringstream failed("port=82\n");
    failed.setstate(std::ios::failbit);
    EXPECT_FALSE(config.Load(failed));
    EXPECT_EQ(config.port, 81);
    EXPECT_EQ(config.users.size(), 2u);
}

TEST(AbstractConfigTest, OverlongLineIsDroppedAndTheRestStillLoads) {
    const std::string longest = "Name=" + std::string(AbstractConfig::kMaxLineLength - 5, 'n');
    SampleConfig fits;
    EXPECT_TRUE(LoadText(fits, longest + "\nlimit=3"));
    EXPECT_EQ(fits.name.size(), AbstractConfig::kMaxLineLength - 5);
    EXPECT_EQ(fits.limit, 3);

    SampleConfig config;
    EXPECT_TRUE(LoadText(config, longest + "x\nport=81\nusers+=" + std::string(20000, 'u') +
                                     "\nusers+=after\nlimit=4\nHostName=" + std::string(10000, 'z')));
    EXPECT_EQ(config.name, "default");
    EXPECT_EQ(config.port, 81);
    EXPECT_EQ(config.users, std::vector<std::string>{"after"});
    EXPECT_EQ(config.limit, 4);
    EXPECT_EQ(config.hostName.Get(), "host");
}

// Accepts `room` bytes, then refuses more as a full disk does.
class FullWriteBuffer : public std::streambuf {
public:
    explicit FullWriteBuffer(std::size_t room) : m_room(room) {}

protected:
    int_type overflow(int_type c) override {
        if (m_used >= m_room) {
            return traits_type::eof();
        }
        ++m_used;
        return traits_type::not_eof(c);
    }

private:
    std::size_t m_room;
    std::size_t m_used = 0;
};

TEST(AbstractConfigTest, SaveReportsFailedWrites) {
    SampleConfig config;
    const std::size_t full = SaveToText(config).size();
    for (std::size_t room : {std::size_t{0}, std::size_t{10}, full - 1, full}) {
        FullWriteBuffer writing(room);
        std::ostream out(&writing);
        EXPECT_EQ(config.Save(out), room == full) << room;
    }
    std::ostringstream failed;
    failed.setstate(std::ios::badbit);
    EXPECT_FALSE(config.Save(failed));
    EXPECT_TRUE(failed.str().empty());
}

TEST(AbstractConfigTest, SaveWritesItemsSortedThenListsGroupedAndLoadsBack) {
    SampleConfig config;
    config.users = {"bob|.", "alice|."};
    config.mounts = {"Music|path||yes|x|no"};
    config.name = std::string("  leading blanks\0and a NUL", 26);
    const std::string saved = SaveToText(config);
    EXPECT_EQ(saved, std::string("enabled=1\nHostName=host\nlimit=-1\n") + "Name=" + config.name +
                         "\nport=80\nsharedFlag=0\nsharedLimit=7\nsharedPort=8080\n"
                         "Mounts+=Music|path||yes|x|no\nusers+=bob|.\nusers+=alice|.\n");

    SampleConfig reloaded;
    EXPECT_TRUE(LoadText(reloaded, saved));
    EXPECT_EQ(reloaded.name, config.name.substr(2)); // leading blanks do not survive
    EXPECT_EQ(reloaded.users, config.users);
    EXPECT_EQ(reloaded.mounts, config.mounts);
}

TEST(SharedStringTest, CopiesAreSnapshotsAndConcurrentUseIsSafe) {
    SharedString shared("first");
    SharedString copy = shared;
    shared.Set("second");
    EXPECT_EQ(copy.Get(), "first");

    // Texts of very different lengths force reallocation while this thread reads.
    const std::string longText(4096, 'L');
    std::thread writer([&] {
        for (int i = 0; i < 20000; ++i) {
            shared.Set(i % 2 == 0 ? longText : "s");
        }
    });
    int unexpected = 0;
    for (int i = 0; i < 20000; ++i) {
        const std::string seen = shared.Get();
        unexpected += seen != "s" && seen != longText && seen != "second";
    }
    writer.join();
    EXPECT_EQ(unexpected, 0);
}

} // namespace
} // namespace Vuxo
