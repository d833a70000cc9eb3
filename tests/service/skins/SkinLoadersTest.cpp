// Loading skins from a program folder, from the archive built into the program, and the built-in files.
#include "service/skins/SkinLoaders.h"

#include "core/loader/Loaders.h"
#include "core/loader/Unzip.h"
#include "fixtures/support/TempDir.h"
#include "fixtures/support/TraceLog.h"
#include "res/BuiltinResources.h"
#include "service/skins/SkinConfig.h"
#include "service/skins/SkinManager.h"
#include "service/system/BuiltinFileMap.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <unistd.h>

namespace Vuxo {
namespace {

using Vuxo::Fixtures::TempDir;
using Vuxo::Fixtures::WriteFile;

using Fixtures::TraceLog;
namespace fs = std::filesystem;

std::string Render(const SkinManager& skins, const std::string& name) {
    TextContent content;
    content.SetValue("$v", "V");
    StringOutputStream out;
    skins.GetTemplate(name)->Render(content, out);
    return out.TakeText();
}

std::string ReadSourceFile(const std::string& relative) {
    ByteBuffer bytes;
    EXPECT_TRUE(LoadFileData(bytes, std::string(CORVANTA_SOURCE_DIR) + "/" + relative)) << relative;
    return std::string(bytes.begin(), bytes.end());
}

class SkinLoading : public ::testing::Test {
protected:
    void SetUp() override { RegisterBuiltinResources(); }

    // Writes programFolder/skin/<name>/ with a setting.ini and the given files.
    void WriteSkin(const std::string& name, const std::string& settings,
                   const std::map<std::string, std::string>& files = {}) {
        const std::string folder = "skin/" + name;
        fs::create_directories(program.Path(folder));
        if (!settings.empty()) {
            WriteFile(program.Path(folder + "/setting.ini"), settings);
        }
        for (const auto& [file, content] : files) {
            fs::create_directories(fs::path(program.Path(folder + "/" + file)).parent_path());
            WriteFile(program.Path(folder + "/" + file), content);
        }
    }

    std::string Served(const std::string& key) const {
        const auto bytes = files.Find(key);
        return bytes ? std::string(bytes->begin(), bytes->end()) : "<none>";
    }

    TempDir program;
    SkinManager skins;
    BuiltinFileMap files;
};

TEST_F(SkinLoading, LoadsEveryFolderSkinWithItsTemplateTypeAndFiles) {
    WriteSkin("alpha", "skin=page.html\nmimeType=text/x-alpha\nfiles+=a.css\nfiles+=img/b.gif\n",
              {{"page.html", "alpha $v"}, {"a.css", "css"}, {"img/b.gif", "GIF"}, {"unlisted.txt", "no"}});
    WriteSkin("beta", "skin = page.html \r\nfiles+=x.js\r\n", {{"page.html", "beta"}, {"x.js", "js"}});
    WriteSkin("no-settings", "", {{"page.html", "never"}});
    WriteFile(program.Path("skin/not-a-folder"), "skin=page.html\n");
    TraceLog log;
    LoadSkins(program.Path(), "", skins, files);

    EXPECT_EQ(skins.ListSkinNames(), (std::vector<std::string>{"alpha", "beta"}));
    EXPECT_EQ(Render(skins, "alpha"), "alpha V");
    EXPECT_EQ(Render(skins, "beta"), "beta");
    EXPECT_EQ(skins.GetMimeType("alpha"), "text/x-alpha");
    EXPECT_EQ(skins.GetMimeType("beta"), "text/html") << "no mimeType: text/html";
    EXPECT_EQ(Served("alpha/a.css"), "css");
    EXPECT_EQ(Served("alpha/img/b.gif"), "GIF");
    EXPECT_EQ(Served("beta/x.js"), "js");
    EXPECT_EQ(Served("alpha/unlisted.txt"), "<none>") << "only listed files are served";
    EXPECT_EQ(files.GetCount(), 3u);
    EXPECT_EQ(skins.GetDefaultSkin(), "") << "an empty defaultSkin changes nothing";
    EXPECT_TRUE(log.Has(LOG_NOTICE, "스킨 로드.. : " + program.Path("skin/alpha/page.html"))) << log.Dump();
    EXPECT_EQ(log.Count(LOG_ALERT), 0) << log.Dump();
    EXPECT_EQ(log.Count(LOG_WARNING), 0) << log.Dump();
}

TEST_F(SkinLoading, AMissingOrBrokenTemplateRegistersNothing) {
    WriteSkin("missing", "skin=absent.html\nfiles+=a.css\n", {{"a.css", "css"}});
    WriteSkin("unnamed", "files+=a.css\n", {{"a.css", "css"}});
    WriteSkin("broken", "skin=page.html\nfiles+=a.css\n",
              {{"page.html", "#if ( $x ) never closed"}, {"a.css", "c"}});
    TraceLog log;
    LoadSkins(program.Path(), "", skins, files);
    EXPECT_TRUE(skins.ListSkinNames().empty());
    EXPECT_EQ(files.GetCount(), 0u);
    EXPECT_TRUE(log.Has(LOG_ALERT, "스킨 HTML 로드 실패: " + program.Path("skin/missing/absent.html")))
        << log.Dump();
    EXPECT_TRUE(log.Has(LOG_ALERT, "스킨 HTML 로드 실패: " + program.Path("skin/unnamed/"))) << log.Dump();
    EXPECT_TRUE(log.Has(LOG_ALERT, "broken 스킨을 읽는 데 실패했습니다.")) << log.Dump();
}

TEST_F(SkinLoading, AMissingListedFileStopsTheFilesAfterIt) {
    WriteSkin("s", "skin=page.html\nfiles+=one\nfiles+=two\nfiles+=three\nfiles+=four\n",
              {{"page.html", "p"}, {"one", "1"}, {"two", "2"}, {"four", "4"}});
    TraceLog log;
    LoadSkins(program.Path(), "", skins, files);
    EXPECT_TRUE(skins.HasSkin("s")) << "the skin stays registered";
    EXPECT_EQ(Served("s/one"), "1");
    EXPECT_EQ(Served("s/two"), "2");
    EXPECT_EQ(Served("s/four"), "<none>");
    EXPECT_TRUE(log.Has(LOG_ALERT, "스킨 sysrp-file 로드 실패: " + program.Path("skin/s/three")))
        << log.Dump();
}

// A downloaded skin must never publish files from outside its folder.
TEST_F(SkinLoading, NamesLeadingOutOfTheSkinAreRefused) {
    WriteFile(program.Path("secret.txt"), "SECRET");
    const std::string secretPath = program.Path("secret.txt");
    WriteSkin("hostile",
              "skin=page.html\n"
              "files+=../../secret.txt\n"
              "files+=" +
                  secretPath +
                  "\n"
                  "files+=sub/../../../secret.txt\n"
                  "files+=..\\..\\secret.txt\n"
                  "files+=..\n"
                  "files+=link-out\n"
                  "files+=dir-link/secret.txt\n"
                  "files+=link-in\n"
                  "files+=ok.css\n",
              {{"page.html", "p"}, {"ok.css", "fine"}, {"sub/x", "x"}});
    ASSERT_EQ(::symlink(secretPath.c_str(), program.Path("skin/hostile/link-out").c_str()), 0);
    ASSERT_EQ(::symlink(program.Path().c_str(), program.Path("skin/hostile/dir-link").c_str()), 0);
    ASSERT_EQ(::symlink("ok.css", program.Path("skin/hostile/link-in").c_str()), 0);
    WriteSkin("hostile-template", "skin=../../secret.txt\n");
    WriteSkin("absolute-template", "skin=" + secretPath + "\n");

    TraceLog log;
    LoadSkins(program.Path(), "", skins, files);
    EXPECT_EQ(skins.ListSkinNames(), (std::vector<std::string>{"hostile"}));
    EXPECT_EQ(Served("hostile/ok.css"), "fine") << "a refused entry does not stop the others";
    EXPECT_EQ(Served("hostile/link-in"), "fine") << "a link that stays inside is fine";
    EXPECT_EQ(files.GetCount(), 2u);
    for (const char* refused :
         {"../../secret.txt", "link-out", "dir-link/secret.txt", "..\\..\\secret.txt"}) {
        EXPECT_TRUE(log.Has(LOG_ALERT, std::string("skin/hostile/") + refused)) << refused << "\n"
                                                                                << log.Dump();
    }
    EXPECT_TRUE(log.Has(LOG_ALERT, "skin/hostile-template/../../secret.txt")) << log.Dump();
    EXPECT_EQ(Render(skins, "hostile-template"), SkinManager::kFallbackText);
}

TEST_F(SkinLoading, TheConfiguredDefaultSkinWinsWhenItExists) {
    WriteSkin("mine", "skin=p.html\n", {{"p.html", "mine"}});
    skins.SetDefaultSkin(kBuiltinSkinName);
    {
        TraceLog log;
        LoadSkins(program.Path(), "absent", skins, files);
        EXPECT_EQ(skins.GetDefaultSkin(), kBuiltinSkinName);
        EXPECT_TRUE(log.Has(LOG_WARNING, "기본스킨으로 지정된 absent 스킨이 없음!")) << log.Dump();
    }
    {
        TraceLog log;
        LoadSkins(program.Path(), "mine", skins, files);
        EXPECT_EQ(skins.GetDefaultSkin(), "mine");
        EXPECT_EQ(Render(skins, ""), "mine");
        EXPECT_TRUE(log.Has(LOG_NOTICE, "mine 스킨을 기본스킨으로 설정")) << log.Dump();
    }
}

TEST_F(SkinLoading, TheDevelopmentSkinComesFromResSkin) {
    fs::create_directories(program.Path("res/skin"));
    WriteFile(program.Path("res/skin/setting.ini"), "skin=skin.html\nmimeType=text/html\nfiles+=dev.css\n");
    WriteFile(program.Path("res/skin/skin.html"), "develop page");
    WriteFile(program.Path("res/skin/dev.css"), "dev");
    LoadSkins(program.Path(), "", skins, files);
    EXPECT_EQ(skins.ListSkinNames(), (std::vector<std::string>{kDevelopSkinName}));
    EXPECT_EQ(Render(skins, kDevelopSkinName), "develop page");
    EXPECT_EQ(Served("develop/dev.css"), "dev");
}

TEST_F(SkinLoading, AReloadReplacesTemplatesAndFilesButNotTheType) {
    WriteSkin("s", "skin=p.html\nmimeType=text/one\nfiles+=f\n", {{"p.html", "one"}, {"f", "1"}});
    LoadSkins(program.Path(), "", skins, files);
    WriteSkin("s", "skin=p.html\nmimeType=text/two\nfiles+=f\n", {{"p.html", "two"}, {"f", "2"}});
    LoadSkins(program.Path(), "", skins, files);
    EXPECT_EQ(Render(skins, "s"), "two");
    EXPECT_EQ(Served("s/f"), "2");
    EXPECT_EQ(skins.GetMimeType("s"), "text/one");
}

TEST_F(SkinLoading, OnlyTheBuiltInSkinExistsWithoutSkinFolders) {
    ASSERT_TRUE(LoadBuiltinSkin(skins, files));
    LoadSkins(program.Path(), "", skins, files);
    EXPECT_EQ(skins.ListSkinNames(), (std::vector<std::string>{kBuiltinSkinName}));
    EXPECT_EQ(skins.GetDefaultSkin(), kBuiltinSkinName);
}

TEST_F(SkinLoading, AFolderSkinNamedDotDefaultReplacesTheBuiltInTemplate) {
    ASSERT_TRUE(LoadBuiltinSkin(skins, files));
    WriteSkin(".default", "skin=p.html\nmimeType=text/other\nfiles+=logo.png\n",
              {{"p.html", "mine"}, {"logo.png", "L"}});
    LoadSkins(program.Path(), "", skins, files);
    EXPECT_EQ(Render(skins, ""), "mine");
    EXPECT_EQ(skins.GetMimeType(kBuiltinSkinName), "text/html");
    EXPECT_EQ(Served(".default/logo.png"), "L");
    EXPECT_EQ(Served(".default/common.js"), ReadSourceFile("res/skin/common.js"));
}

TEST_F(SkinLoading, TheBuiltInSkinIsTheDefaultSkinFromTheProgramsArchive) {
    TraceLog log;
    ASSERT_TRUE(LoadBuiltinSkin(skins, files));
    EXPECT_EQ(skins.GetDefaultSkin(), kBuiltinSkinName);
    EXPECT_EQ(skins.GetMimeType(kBuiltinSkinName), "text/html");
    EXPECT_NE(Render(skins, ""), SkinManager::kFallbackText);
    EXPECT_TRUE(log.Has(LOG_NOTICE, "스킨 로드.. : .default")) << log.Dump();
    EXPECT_EQ(log.Count(LOG_ALERT), 0) << log.Dump();

    // Every listed file is served with exactly the bytes of res/skin.
    SkinConfig config;
    std::istringstream settings(ReadSourceFile("res/skin/setting.ini"));
    ASSERT_TRUE(config.Load(settings));
    EXPECT_EQ(config.skin, "skin.html");
    EXPECT_EQ(config.files.size(), 16u);
    for (const std::string& file : config.files) {
        EXPECT_EQ(Served(".default/" + file), ReadSourceFile("res/skin/" + file)) << file;
    }
    EXPECT_EQ(files.GetCount(), config.files.size());
}

TEST_F(SkinLoading, ArchiveSkinsNameTheirMembersInLogs) {
    ByteBuffer zip;
    ASSERT_TRUE(LoadResourceData(zip, kBuiltinSkinResourceId, "BINARY"));
    Pelk::Unzip archive;
    ASSERT_TRUE(archive.OpenFromMemory(zip.data(), zip.size()));
    SkinConfig config;
    config.skin = "skin.html";
    config.files = {"logo.png", "../setting.ini", "absent.gif", "file.gif"};
    TraceLog log;
    ASSERT_TRUE(LoadSkinFromZip(config, "zipped", archive, skins, files));
    EXPECT_TRUE(log.Has(LOG_NOTICE, "스킨 로드.. : zipped")) << log.Dump();
    EXPECT_TRUE(log.Has(LOG_ALERT, "zipped/../setting.ini")) << log.Dump();
    EXPECT_TRUE(log.Has(LOG_ALERT, "스킨 sysrp-file 로드 실패: zipped/absent.gif")) << log.Dump();
    EXPECT_EQ(Served("zipped/logo.png"), ReadSourceFile("res/skin/logo.png"));
    EXPECT_EQ(Served("zipped/file.gif"), "<none>");

    config.skin = "absent.html";
    EXPECT_FALSE(LoadSkinFromZip(config, "other", archive, skins, files));
    EXPECT_TRUE(log.Has(LOG_ALERT, "스킨 HTML 로드 실패: other/absent.html")) << log.Dump();
}

TEST_F(SkinLoading, TheDumpSkinOfTheTestFixturesLoads) {
    SkinConfig config;
    std::istringstream settings(ReadSourceFile("tests/fixtures/skin-dump/setting.ini"));
    ASSERT_TRUE(config.Load(settings));
    ASSERT_TRUE(LoadSkinFromDirectory(config, std::string(CORVANTA_SOURCE_DIR) + "/tests/fixtures/skin-dump/",
                                      "skin-dump", skins, files));
    EXPECT_EQ(skins.GetMimeType("skin-dump"), "text/plain; charset=utf-8");
    EXPECT_EQ(Served("skin-dump/probe.txt"), ReadSourceFile("tests/fixtures/skin-dump/probe.txt"));
    const std::string page = Render(skins, "skin-dump");
    EXPECT_NE(page.find("title=[$title]\n"), std::string::npos) << page;
}

TEST_F(SkinLoading, TheBuiltInFilesComeFromTheProgramsResources) {
    LoadBuiltinFiles(files);
    EXPECT_EQ(files.GetCount(), 2u);
    EXPECT_EQ(Served("robots.txt"), ReadSourceFile("res/builtin/robots.txt"));
    const std::string icon = Served("favicon.ico");
    EXPECT_EQ(icon, ReadSourceFile("res/builtin/favicon.ico"));
    EXPECT_EQ(icon.substr(0, 4), std::string("\0\0\1\0", 4)) << "an icon file";
}

TEST(SkinConfig, ReadsItsThreeSettings) {
    SkinConfig config;
    std::istringstream text(
        "\xEF\xBB\xBFskin=bom.html\nSKIN = page.html\nmimetype=text/x\nfiles+=a\nfiles+=b c\n"
        "files=ignored\nother=1\n");
    ASSERT_TRUE(config.Load(text));
    EXPECT_EQ(config.skin, "page.html");
    EXPECT_EQ(config.mimeType, "text/x");
    EXPECT_EQ(config.files, (std::vector<std::string>{"a", "b c"}));
}

} // namespace
} // namespace Vuxo
