// "PluginResource": files of a plug-in's own folder, answered before the IP filter and the login, so a
// name must never reach past that folder (the program's mount.ini with the accounts is two steps up).
#include "PluginE2ESupport.h"

#include "service/access/IPFilter.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace Vuxo::PluginE2E {
namespace {

using Fixtures::HttpGet;
using Fixtures::HttpResponse;
using Fixtures::WriteFile;

class PluginResourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        InstallAndLoad(fixture, {}, {"ProbeView"});
        folder = fixture.ProgramFolder() + "/plugin/ProbeView";
        icon = std::string("\x89PNG\r\n\x1a\n", 8) + std::string(70000, '\0') + "end";
        ASSERT_TRUE(WriteFile(folder + "/res/icon.png", icon));
        ASSERT_TRUE(WriteFile(folder + "/res/한글 이름.txt", "hangul"));
        ASSERT_TRUE(WriteFile(folder + "/style.css", "body{}"));
        ASSERT_TRUE(WriteFile(fixture.ProgramFolder() + "/secret.txt", "program folder secret"));
        ASSERT_TRUE(WriteFile(fixture.OutsideFolder() + "/outside.txt", "outside secret"));
        std::filesystem::create_symlink(fixture.OutsideFolder() + "/outside.txt", folder + "/link-out.txt");
        std::filesystem::create_directory_symlink(fixture.OutsideFolder(), folder + "/dir-out");
        std::filesystem::create_symlink(folder + "/style.css", folder + "/link-in.css");
        ASSERT_TRUE(fixture.Start());
    }

    HttpResponse Resource(const std::string& query) {
        return HttpGet(fixture.Port(), "/?action=PluginResource&" + query);
    }

    Fixtures::FixtureServer fixture;
    std::string folder;
    std::string icon;
};

TEST_F(PluginResourceTest, ServesFilesOfThePluginsFolderWithTheirType) {
    const struct {
        const char* query;
        std::string body;
        const char* type;
    } cases[] = {
        {"type=ProbeView&file=res/icon.png", icon, "image/png"},
        {"type=ProbeView&file=style.css", "body{}", "text/css"},
        {"type=ProbeView&file=res%2F%ED%95%9C%EA%B8%80+%EC%9D%B4%EB%A6%84.txt", "hangul", "text/plain"},
        {"type=ProbeView&file=link-in.css", "body{}", "text/css"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.query);
        HttpResponse r = Resource(c.query);
        EXPECT_EQ(r.status, 200);
        EXPECT_EQ(r.Header("Content-Length"), std::to_string(c.body.size()));
        EXPECT_EQ(r.Header("Content-Type"), c.type);
        EXPECT_TRUE(r.body == c.body) << r.body.size() << " bytes";
    }
}

TEST_F(PluginResourceTest, NamesThatLeaveTheFolderOrNameNothingGet404) {
    const char* queries[] = {
        "type=ProbeView&file=../../mount.ini",
        "type=ProbeView&file=..%2F..%2Fmount.ini",
        "type=ProbeView&file=res/../../../mount.ini",
        "type=ProbeView&file=..%5C..%5Cmount.ini",
        "type=ProbeView&file=../../secret.txt",
        "type=ProbeView&file=%2Fetc%2Fpasswd",
        "type=ProbeView&file=%5Cetc%5Cpasswd",
        "type=ProbeView&file=style.css%00.png",
        "type=ProbeView&file=link-out.txt",
        "type=ProbeView&file=dir-out/outside.txt",
        "type=ProbeView&file=res",
        "type=ProbeView&file=.",
        "type=ProbeView&file=",
        "type=ProbeView&file=missing.png",
        "type=ProbeView",
        "type=Nope&file=style.css",
        "type=..&file=ProbeView/style.css",
        "file=style.css",
    };
    for (const char* query : queries) {
        SCOPED_TRACE(query);
        HttpResponse r = Resource(query);
        EXPECT_EQ(r.status, 404);
        EXPECT_EQ(r.body, "404 Not found :(");
    }
}

TEST_F(PluginResourceTest, AreAnsweredBeforeTheIPFilterAndTheLogin) {
    ASSERT_TRUE(fixture.Server().GetIPFilter().AddIPFilterRule(false, "127.*.*.*"));
    EXPECT_EQ(Resource("type=ProbeView&file=style.css").body, "body{}");
    EXPECT_EQ(Resource("type=ProbeView&file=../../mount.ini").status, 404);
    HttpResponse page = HttpGet(fixture.Port(), "/");
    EXPECT_NE(page.body.find("403 Forbidden"), std::string::npos) << "everything else is refused";
}

} // namespace
} // namespace Vuxo::PluginE2E
