#include "service/access/IPFilter.h"

#include "../mounts/StoreTestSupport.h"

#include <gtest/gtest.h>

#include <thread>

namespace Vuxo {
namespace {

using StoreTest::ConfigFolder;

IPFilterRule Allow(const std::string& pattern) {
    return {true, pattern};
}
IPFilterRule Ban(const std::string& pattern) {
    return {false, pattern};
}

TEST(IPFilterTest, ValidatesPatternsAndReadsEntries) {
    for (const std::string valid : {"192.168.0.*", "10.*.*.*", "1..2.3", " 10.0.0.5", "\t*.*.*.*\r\n"}) {
        EXPECT_TRUE(ValidateIPPattern(valid)) << valid;
    }
    for (const std::string invalid : {"*", "192.168.0", "192.168.0.1.", ".1.2.3", "192.168.?.1", "a.b.c.d",
                                      "", "  ", "1.2.3.4.5", "1.2 .3.4", "1.2.3.4:80"}) {
        EXPECT_FALSE(ValidateIPPattern(invalid)) << invalid;
    }
    IPFilterRule rule;
    ASSERT_TRUE(ParseIPFilterEntry("192.168.0.*:allow", rule));
    EXPECT_EQ(rule, Allow("192.168.0.*"));
    ASSERT_TRUE(ParseIPFilterEntry(" 10.0.0.6 :ban", rule));
    EXPECT_EQ(rule, Ban("10.0.0.6"));
    for (const char* bad : {"10.0.0.5:Ban", "10.0.0.5:ban:x", "10.0.0.5", "10.0.0.5:", "10.0.0.5:allow "}) {
        EXPECT_FALSE(ParseIPFilterEntry(bad, rule)) << bad;
    }
    EXPECT_EQ(FormatIPFilterEntry(Ban("10.0.0.5")), "10.0.0.5:ban");
}

TEST(IPFilterTest, FirstMatchingRuleDecidesAndUnmatchedAddressesAreAllowed) {
    ConfigFolder setup;
    IPFilter filter(setup.Config());
    EXPECT_TRUE(filter.IsIPAllowed("10.0.0.1")); // empty table

    ASSERT_TRUE(filter.SetIPFilterRules({Ban("192.168.0.5"), Allow("192.168.0.*")}));
    EXPECT_FALSE(filter.IsIPAllowed("192.168.0.5"));
    EXPECT_TRUE(filter.IsIPAllowed("192.168.0.6"));
    EXPECT_TRUE(filter.IsIPAllowed("10.0.0.1"));

    ASSERT_TRUE(filter.SetIPFilterRules({Ban("*.*.*.*"), Allow("127.0.0.1")}));
    EXPECT_FALSE(filter.IsIPAllowed("127.0.0.1"));

    ASSERT_TRUE(filter.SetIPFilterRules({Allow("127.0.0.1"), Ban("*.*.*.*")}));
    EXPECT_TRUE(filter.IsIPAllowed("127.0.0.1"));
    EXPECT_FALSE(filter.IsIPAllowed("127.0.0.2"));
    EXPECT_EQ(setup.Saved("ipFilterTable"), (std::vector<std::string>{"127.0.0.1:allow", "*.*.*.*:ban"}));
}

TEST(IPFilterTest, TrimmedPatternsAreTheOnesStoredAndMatched) {
    ConfigFolder setup;
    IPFilter filter(setup.Config());
    ASSERT_TRUE(filter.AddIPFilterRule(false, " 10.0.0.5"));
    EXPECT_FALSE(filter.IsIPAllowed("10.0.0.5"));
    ASSERT_TRUE(filter.SetIPFilterRules({Ban("\t10.0.0.6\r\n"), Ban("10.0.0.7 ")}));
    EXPECT_FALSE(filter.IsIPAllowed("10.0.0.6"));
    EXPECT_FALSE(filter.IsIPAllowed("10.0.0.7"));
    std::vector<IPFilterRule> rules;
    filter.GetIPFilterRules(rules);
    EXPECT_EQ(rules, (std::vector<IPFilterRule>{Ban("10.0.0.6"), Ban("10.0.0.7")}));
    EXPECT_EQ(setup.Saved("ipFilterTable"), (std::vector<std::string>{"10.0.0.6:ban", "10.0.0.7:ban"}));
}

TEST(IPFilterTest, AddedRulesGoInFrontOnceEach) {
    ConfigFolder setup;
    IPFilter filter(setup.Config());
    ASSERT_TRUE(filter.AddIPFilterRule(false, "10.0.0.5"));
    ASSERT_TRUE(filter.AddIPFilterRule(false, "10.0.0.5"));
    ASSERT_TRUE(filter.AddIPFilterRule(false, " 10.0.0.5 ")); // the same rule once trimmed
    std::vector<IPFilterRule> rules;
    filter.GetIPFilterRules(rules);
    EXPECT_EQ(rules, std::vector<IPFilterRule>{Ban("10.0.0.5")});
    EXPECT_FALSE(filter.IsIPAllowed("10.0.0.5"));

    ASSERT_TRUE(filter.AddIPFilterRule(true, "10.0.0.5"));
    EXPECT_TRUE(filter.IsIPAllowed("10.0.0.5"));
    EXPECT_EQ(setup.Saved("ipFilterTable"), (std::vector<std::string>{"10.0.0.5:allow", "10.0.0.5:ban"}));

    EXPECT_FALSE(filter.AddIPFilterRule(false, "10.0.0"));
    filter.GetIPFilterRules(rules);
    EXPECT_EQ(rules.size(), 2u);
}

TEST(IPFilterTest, OneInvalidPatternAmongTenChangesNothing) {
    ConfigFolder setup;
    IPFilter filter(setup.Config());
    ASSERT_TRUE(filter.SetIPFilterRules({Ban("10.0.0.1")}));
    const std::string before = StoreTest::ReadFile(setup.IniPath());
    std::vector<IPFilterRule> ten;
    for (int i = 0; i < 10; ++i) {
        ten.push_back(Allow("10.0.1." + std::to_string(i)));
    }
    ten[6].pattern = "10.0.1";
    EXPECT_FALSE(filter.SetIPFilterRules(ten));
    std::vector<IPFilterRule> rules;
    filter.GetIPFilterRules(rules);
    EXPECT_EQ(rules, std::vector<IPFilterRule>{Ban("10.0.0.1")});
    EXPECT_EQ(StoreTest::ReadFile(setup.IniPath()), before);
}

TEST(IPFilterTest, ReloadReadsTheConfigurationAndSkipsBadItemsSilently) {
    ConfigFolder setup({
        "ipFilterTable+=192.168.0.5:ban",
        "ipFilterTable+=10.0.0.5:Ban",
        "ipFilterTable+=10.0.0.5:ban:x",
        "ipFilterTable+=192.168.0.*:allow",
        "ipFilterTable+=garbage",
    });
    IPFilter filter(setup.Config());
    EXPECT_TRUE(filter.IsIPAllowed("192.168.0.5")); // empty until reloaded
    filter.ReloadIPFilterRules();
    std::vector<IPFilterRule> rules;
    filter.GetIPFilterRules(rules);
    EXPECT_EQ(rules, (std::vector<IPFilterRule>{Ban("192.168.0.5"), Allow("192.168.0.*")}));
    EXPECT_FALSE(filter.IsIPAllowed("192.168.0.5"));
    EXPECT_TRUE(filter.IsIPAllowed("10.0.0.5"));
    // A reload saves nothing; the next store writes the table without the bad items.
    EXPECT_EQ(setup.Saved("ipFilterTable").size(), 5u);
    ASSERT_TRUE(filter.AddIPFilterRule(false, "1.2.3.4"));
    EXPECT_EQ(setup.Saved("ipFilterTable"),
              (std::vector<std::string>{"1.2.3.4:ban", "192.168.0.5:ban", "192.168.0.*:allow"}));

    auto reopened = setup.Reopen();
    IPFilter again(*reopened);
    again.ReloadIPFilterRules();
    std::vector<IPFilterRule> reloaded;
    again.GetIPFilterRules(reloaded);
    filter.GetIPFilterRules(rules);
    EXPECT_EQ(reloaded, rules);
}

TEST(IPFilterTest, RequestsDoNotWaitForAConfigurationSaveInProgress) {
    ConfigFolder setup;
    IPFilter filter(setup.Config());
    std::thread adder;
    {
        // A save holds the list lock during its disk write; here it is held until the rule is in memory.
        ScopedLock saving(setup.Config().GetListLock());
        adder = std::thread([&] { filter.AddIPFilterRule(false, "10.9.9.9"); });
        while (filter.IsIPAllowed("10.9.9.9")) {
            std::this_thread::yield();
        }
        EXPECT_TRUE(filter.IsIPAllowed("10.9.9.8"));
    }
    adder.join();
    EXPECT_EQ(setup.Saved("ipFilterTable"), std::vector<std::string>{"10.9.9.9:ban"});
}

} // namespace
} // namespace Vuxo
