// The export side of the plug-in interface, as the program's loader binds it, and the parsing of the
// selection that every plug-in shares (observed through the M3U plug-in, whose output lists it).
#include "PluginTestSupport.h"

#include <gtest/gtest.h>
#include <memory>
#include <set>
#include <sstream>
#include <thread>

namespace PluginTest {
namespace {

struct Identity {
    const char* library;
    const char* name;
    const char* author;
    const char* version;
    const char* rights;
};

const Identity kIdentities[] = {
    {"Mevrin", "ZIP 파일로 묶어 받기", "corvanta@quillo.example", "0.3", "LD"},
    {"Vondel", "RAR 파일로 묶어 받기", "corvanta@quillo.example", "0.3", "LD"},
    {"Tolvane", "asx 목록으로 스트리밍", "Qado", "1.1", "DL"},
    {"Kestrin", "m3u 목록으로 스트리밍", "Qado", "1.1", "DL"},
};

TEST(PluginExports, EveryLibraryAnswersItsIdentity) {
    for (const Identity& expected : kIdentities) {
        SCOPED_TRACE(expected.library);
        PluginLibrary plugin(expected.library);
        EXPECT_NE(plugin.instance, nullptr);
        EXPECT_STREQ(plugin.getName(), expected.name);
        EXPECT_STREQ(plugin.getAuthor(), expected.author);
        EXPECT_STREQ(plugin.getVersion(), expected.version);
        EXPECT_EQ(plugin.getType(), CORVANTA_PLUGIN_TYPE_ACTION);
        EXPECT_STREQ(plugin.getRequiredAuthority(), expected.rights);
    }
}

TEST(PluginExports, OnlyTheEightExportsAreVisible) {
    const std::set<std::string> expected = {"Initialize",           "Finalize",         "GetPlugInName",
                                            "GetPlugInAuthor",      "GetPlugInVersion", "GetPlugInType",
                                            "GetRequiredAuthority", "OnRequest"};
    for (const Identity& identity : kIdentities) {
        SCOPED_TRACE(identity.library);
        const CommandResult nm =
            RunCommand("nm -D --defined-only " + ShellQuote(PluginLibrary::PathOf(identity.library)));
        ASSERT_EQ(nm.exitCode, 0) << nm.output;
        std::set<std::string> found;
        std::istringstream lines(nm.output);
        std::string address, kind, symbol;
        while (lines >> address >> kind >> symbol) {
            found.insert(symbol);
        }
        EXPECT_EQ(found, expected);
    }
}

TEST(PluginExports, FinalizeIsSafeBeforeInitializeAndTwice) {
    PluginLibrary plugin("Kestrin", nullptr);
    plugin.finalize();
    EXPECT_STREQ(plugin.getName(), ""); // no instance: an empty answer instead of a crash
    EXPECT_EQ(plugin.getType(), 0);
    FakeRequest request;
    EXPECT_EQ(plugin.Run(request), 0);
    EXPECT_FALSE(request.response.begun);

    EXPECT_NE(plugin.initialize(&FakeHostTable()), nullptr);
    EXPECT_STREQ(plugin.getName(), "m3u 목록으로 스트리밍");
    plugin.finalize();
    plugin.finalize();
    EXPECT_STREQ(plugin.getName(), "");
}

TEST(PluginExports, InitializeCopiesTheWholeTable) {
    auto table = std::make_unique<HostApi>(FakeHostTable());
    PluginLibrary plugin("Kestrin", table.get());
    table.reset(); // the plug-in must not keep the host's pointer

    TempDir share;
    share.WriteFile("a.mp3", "x");
    FakeRequest request = MakeRequest("music", share.Path(), "music/", "a.mp3\n");
    plugin.Run(request);
    EXPECT_EQ(request.response.body, "#EXTM3U\n#EXTINF:-1,a.mp3\nhttp://192.0.2.7:8080/music/a.mp3\n");
}

TEST(PluginExports, RequestsRunConcurrentlyWithoutSharingState) {
    // The host does not serialize OnRequest: several threads run one plug-in at the same time.
    TempDir share;
    for (int i = 0; i < 20; ++i) {
        for (const char* extension : {".mp3", ".avi"}) {
            share.WriteFile("d/한글 " + std::to_string(i) + extension,
                            std::string(70000 + i, static_cast<char>('a' + i)));
        }
    }
    for (const char* library : {"Mevrin", "Vondel", "Kestrin", "Tolvane"}) {
        SCOPED_TRACE(library);
        PluginLibrary plugin(library);
        FakeRequest reference = MakeRequest("s", share.Path(), "s/", "d/\n");
        plugin.Run(reference);
        ASSERT_FALSE(reference.response.body.empty());

        std::vector<FakeRequest> requests(8, MakeRequest("s", share.Path(), "s/", "d/\n"));
        std::vector<std::thread> threads;
        for (FakeRequest& request : requests) {
            threads.emplace_back([&plugin, &request] { plugin.Run(request); });
        }
        for (std::thread& thread : threads) {
            thread.join();
        }
        for (const FakeRequest& request : requests) {
            EXPECT_EQ(request.response.body, reference.response.body);
        }
    }
}

class Selection : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"a.mp3", "b c.mp3", "d+e.mp3", "last.mp3"}) {
            share.WriteFile(std::string("docs/") + name, "x");
        }
    }

    // The M3U entries' URLs, in order.
    std::vector<std::string> ListedUrls(FakeRequest& request) {
        plugin.Run(request);
        std::vector<std::string> urls;
        std::istringstream lines(request.response.body);
        std::string line;
        while (std::getline(lines, line)) {
            if (line.rfind("http://", 0) == 0) {
                urls.push_back(line.substr(std::string("http://192.0.2.7:8080/").size()));
            }
        }
        return urls;
    }

    TempDir share;
    PluginLibrary plugin{"Kestrin"};
};

TEST_F(Selection, LinesAreTrimmedDecodedAndEmptyOnesDropped) {
    FakeRequest request =
        MakeRequest("share", share.Path(), "share/docs/", "a.mp3\r\n\r\n  b%20c.mp3 \t\r\nd%2Be.mp3\n");
    EXPECT_EQ(ListedUrls(request),
              (std::vector<std::string>{"share/docs/a.mp3", "share/docs/b%20c.mp3", "share/docs/d%2be.mp3"}));
    EXPECT_NE(request.response.body.find("#EXTINF:-1,b c.mp3\n"), std::string::npos);
}

TEST_F(Selection, PlusIsASpaceInAFormValue) {
    share.WriteFile("docs/x y.mp3", "x");
    FakeRequest request = MakeRequest("share", share.Path(), "share/docs/", "x+y.mp3\n");
    EXPECT_EQ(ListedUrls(request), std::vector<std::string>{"share/docs/x%20y.mp3"});
}

TEST_F(Selection, AnUnterminatedLastLineIsNotTaken) {
    // The program's dispatcher checks rights only for terminated lines; the plug-in takes the same ones.
    FakeRequest request = MakeRequest("share", share.Path(), "share/docs/", "a.mp3\nlast.mp3");
    EXPECT_EQ(ListedUrls(request), std::vector<std::string>{"share/docs/a.mp3"});
}

TEST_F(Selection, NoFieldMeansNoEntriesAndNoPathQuery) {
    FakeRequest request = MakeRequest("share", share.Path(), "share/docs/", "");
    request.post.clear();
    EXPECT_TRUE(ListedUrls(request).empty());
    EXPECT_EQ(request.requestPathCalls, 0);
    EXPECT_EQ(request.response.body, "#EXTM3U\n");
}

TEST_F(Selection, EntriesTheHostCannotResolveAreSkipped) {
    FakeRequest request = MakeRequest("share", share.Path(), "", "share/docs/a.mp3\nother/x.mp3\n");
    EXPECT_EQ(ListedUrls(request), std::vector<std::string>{"share/docs/a.mp3"});
    EXPECT_EQ(request.resolvedPaths, (std::vector<std::string>{"share/docs/a.mp3", "other/x.mp3"}));
}

TEST_F(Selection, LinesLeavingTheFolderAreRefusedEvenByACarelessHost) {
    // Outside the share, a playable file an escape would reach.
    TempDir outside;
    outside.WriteFile("secret.mp3", "x");
    const std::string escape = "../../../../../../../../.." + outside.Path() + "/secret.mp3";
    const std::string lines[] = {
        escape,
        "%2e%2e/%2e%2e/%2e%2e/%2e%2e/%2e%2e/%2e%2e/%2e%2e/%2e%2e/%2e%2e" + outside.Path() + "/secret.mp3",
        "a.mp3/../" + escape,
        outside.Path() + "/secret.mp3",
        "./a.mp3",
        "a.mp3%00.txt",
        "../../../etc/passwd",
    };
    for (const std::string& line : lines) {
        SCOPED_TRACE(line);
        FakeRequest request = MakeRequest("share", share.Path(), "share/docs/", line + "\n");
        request.naiveResolver = true;
        EXPECT_TRUE(ListedUrls(request).empty());
        EXPECT_TRUE(request.resolvedPaths.empty()); // never even asked the host
    }
}

} // namespace
} // namespace PluginTest
