// The skin manager: registering, replacing and resolving templates, and that a template in use survives a
// reload on another thread.
#include "service/skins/SkinManager.h"

#include "fixtures/support/TraceLog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace Vuxo {
namespace {

using Fixtures::TraceLog;

std::string Render(const std::shared_ptr<const TextTemplate>& page) {
    TextContent content;
    content.SetValue("$x", "X");
    StringOutputStream out;
    page->Render(content, out);
    return out.TakeText();
}

bool Add(SkinManager& skins, const std::string& name, const std::string& mimeType, const std::string& text) {
    return skins.AddSkin(name, mimeType, text.data(), text.size());
}

TEST(SkinManager, ResolvesNamesToTemplates) {
    SkinManager skins;
    EXPECT_EQ(Render(skins.GetTemplate("")), SkinManager::kFallbackText) << "no default skin yet";
    ASSERT_TRUE(Add(skins, "main", "", "main $x"));
    ASSERT_TRUE(Add(skins, "other", "", "other $x"));
    skins.SetDefaultSkin("main");

    struct Case {
        const char* name;
        const char* rendered;
    };
    const Case cases[] = {
        {"main", "main X"},
        {"other", "other X"},
        {"", "main X"},                          // the default skin
        {"Main", SkinManager::kFallbackText},    // names are case-sensitive
        {"missing", SkinManager::kFallbackText}, // an unknown skin
        {"main ", SkinManager::kFallbackText},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Render(skins.GetTemplate(c.name)), c.rendered) << "'" << c.name << "'";
    }
    EXPECT_TRUE(skins.HasSkin("main"));
    EXPECT_FALSE(skins.HasSkin(""));
    EXPECT_FALSE(skins.HasSkin("MAIN"));

    skins.SetDefaultSkin("not registered");
    EXPECT_EQ(skins.GetDefaultSkin(), "not registered") << "unchecked, as callers check first";
    EXPECT_EQ(Render(skins.GetTemplate("")), SkinManager::kFallbackText);
}

TEST(SkinManager, RecordsTheMimeTypeOfANewSkinOnly) {
    SkinManager skins;
    ASSERT_TRUE(Add(skins, "xml", "text/xml", "a"));
    ASSERT_TRUE(Add(skins, "plain", "", "a"));
    EXPECT_EQ(skins.GetMimeType("xml"), "text/xml");
    EXPECT_EQ(skins.GetMimeType("plain"), "text/html") << "an empty type means text/html";
    EXPECT_EQ(skins.GetMimeType("missing"), "text/html");
    EXPECT_EQ(skins.GetMimeType(""), "text/html");

    // A replaced template keeps the type recorded first.
    ASSERT_TRUE(Add(skins, "xml", "application/other", "b"));
    ASSERT_TRUE(Add(skins, "plain", "text/plain", "b"));
    EXPECT_EQ(skins.GetMimeType("xml"), "text/xml");
    EXPECT_EQ(skins.GetMimeType("plain"), "text/html");
    EXPECT_EQ(Render(skins.GetTemplate("xml")), "b");
}

TEST(SkinManager, AParseFailureIsLoggedAndKeepsWhatWasThere) {
    SkinManager skins;
    ASSERT_TRUE(Add(skins, "kept", "", "old"));
    TraceLog log;
    EXPECT_FALSE(Add(skins, "kept", "", "#if x"));
    EXPECT_FALSE(Add(skins, "new", "text/plain", "#foreach ( $l ) no end"));
    EXPECT_TRUE(log.Has(LOG_ALERT, "kept 스킨을 읽는 데 실패했습니다.")) << log.Dump();
    EXPECT_TRUE(log.Has(LOG_ALERT, "new 스킨을 읽는 데 실패했습니다.")) << log.Dump();
    EXPECT_EQ(Render(skins.GetTemplate("kept")), "old");
    EXPECT_FALSE(skins.HasSkin("new"));
    EXPECT_EQ(skins.GetMimeType("new"), "text/html");
    EXPECT_TRUE(skins.AddSkin("null", "", nullptr, 10)) << "no bytes parse as an empty template";
    EXPECT_EQ(Render(skins.GetTemplate("null")), "");
}

TEST(SkinManager, ListsNamesInByteOrder) {
    SkinManager skins;
    for (const char* name : {"develop", "alpha", ".default", "Zeta", "한글", "_x"}) {
        ASSERT_TRUE(Add(skins, name, "", "t"));
    }
    ASSERT_TRUE(Add(skins, "alpha", "", "again"));
    EXPECT_EQ(skins.ListSkinNames(),
              (std::vector<std::string>{".default", "Zeta", "_x", "alpha", "develop", "한글"}));
}

TEST(SkinManager, ATemplateInUseSurvivesItsReplacement) {
    SkinManager skins;
    ASSERT_TRUE(Add(skins, "s", "", "first $x"));
    const auto held = skins.GetTemplate("s");
    ASSERT_TRUE(Add(skins, "s", "", "second $x"));
    EXPECT_EQ(Render(held), "first X") << "still whole for the page that was rendering it";
    EXPECT_EQ(Render(skins.GetTemplate("s")), "second X");
}

// Pages render on many threads while another thread reloads the skin (skin-developer mode): each page
// is one whole version of the template. The sanitizer build checks that nothing freed is touched.
TEST(SkinManager, RenderingWhileReloadingIsSafe) {
    SkinManager skins;
    std::string versionA, versionB;
    for (int i = 0; i < 200; ++i) {
        versionA += "a$x;";
        versionB += "b$x;";
    }
    ASSERT_TRUE(Add(skins, "s", "", versionA));
    std::string renderedA, renderedB;
    for (int i = 0; i < 200; ++i) {
        renderedA += "aX;";
        renderedB += "bX;";
    }
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0};
    std::vector<std::thread> pages;
    for (int t = 0; t < 4; ++t) {
        pages.emplace_back([&] {
            while (!stop) {
                const std::string page = Render(skins.GetTemplate("s"));
                if (page != renderedA && page != renderedB) {
                    ++torn;
                }
            }
        });
    }
    for (int i = 0; i < 500; ++i) {
        ASSERT_TRUE(Add(skins, "s", "", i % 2 ? versionA : versionB));
        skins.SetDefaultSkin(i % 2 ? "s" : "");
        skins.ListSkinNames();
    }
    stop = true;
    for (auto& page : pages) {
        page.join();
    }
    EXPECT_EQ(torn, 0);
}

} // namespace
} // namespace Vuxo
