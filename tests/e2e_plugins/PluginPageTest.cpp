// The plug-in rows of a folder page (rendered by the skin-dump test skin): which plug-ins a page offers
// for the request's rights, in which list, and how an id is written into the page's links.
#include "PluginE2ESupport.h"

#include "fixtures/support/DumpPage.h"
#include "service/plugins/ProbeSupport.h"

#include <gtest/gtest.h>

namespace Vuxo::PluginE2E {
namespace {

using Fixtures::DumpPage;
using Fixtures::DumpRow;
using Fixtures::HttpGet;

std::vector<std::string> Ids(const std::vector<DumpRow>& rows) {
    std::vector<std::string> ids;
    for (const DumpRow& row : rows) {
        ids.push_back(row.fields.empty() ? "" : row.fields[0]);
    }
    return ids;
}

class PluginPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        Fixtures::WriteFile(fixture.MakeShare("pub") + "/a.txt", "a");
        ASSERT_TRUE(fixture.SetRights(".anonymous", "pub", "LD"));
        ASSERT_TRUE(fixture.AddUser("alice", "secret"));
        ASSERT_TRUE(fixture.SetRights("alice", "pub", "LDU"));
        ASSERT_TRUE(PluginTesting::InstallPlugin(fixture.ProgramFolder(),
                                                 PluginTesting::ProbeLibraryPath("ProbeView"), "a&b"));
        InstallAndLoad(fixture, {}, {"Probe", "ProbeView", "ProbeDefault", "ProbeLower", "ProbeUpload"});
        ASSERT_TRUE(fixture.Start());
    }

    DumpPage Page(const std::string& target, const std::string& headers = "") {
        Fixtures::HttpResponse r = HttpGet(fixture.Port(), target, headers);
        EXPECT_EQ(r.status, 200) << target;
        return DumpPage(r.body);
    }

    Fixtures::FixtureServer fixture;
};

TEST_F(PluginPageTest, AFolderPageOffersThePluginsItsRightsAllow) {
    DumpPage page = Page("/pub/");
    // Type 5 is a view twice below the root (bits 1 and 4), type 4 once, type 2 an action; "U" is not
    // held, so ProbeUpload is missing.
    EXPECT_EQ(Ids(page.Rows("view_plugins")),
              (std::vector<std::string>{"ProbeDefault", "ProbeDefault", "ProbeLower", "ProbeView", "a%26b"}));
    EXPECT_EQ(Ids(page.Rows("action_plugins")), (std::vector<std::string>{"Probe"}));
    ASSERT_FALSE(page.Rows("action_plugins").empty());
    EXPECT_EQ(page.Rows("action_plugins")[0].fields, (std::vector<std::string>{"Probe", "Probe probe"}));

    const std::string alice = Fixtures::BasicAuthorization("alice", "secret");
    EXPECT_EQ(Ids(Page("/pub/", alice).Rows("view_plugins")),
              (std::vector<std::string>{"ProbeDefault", "ProbeDefault", "ProbeLower", "ProbeUpload",
                                        "ProbeView", "a%26b"}));
}

TEST_F(PluginPageTest, TheRootOffersOnlyWhatListingAloneAllows) {
    DumpPage page = Page("/");
    EXPECT_EQ(Ids(page.Rows("view_plugins")), (std::vector<std::string>{"ProbeView", "a%26b"}));
    EXPECT_TRUE(page.Rows("action_plugins").empty());
}

TEST_F(PluginPageTest, AnEncodedIdInALinkReachesItsPlugin) {
    Fixtures::HttpResponse r = HttpGet(fixture.Port(), "/pub/?action=Plugin&type=a%26b");
    EXPECT_EQ(r.status, 200);
    EXPECT_NE(r.body.find("dir=" + fixture.ProgramFolder() + "/plugin/a&b\n"), std::string::npos) << r.body;
}

} // namespace
} // namespace Vuxo::PluginE2E
