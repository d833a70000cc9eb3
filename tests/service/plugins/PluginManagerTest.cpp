// The plug-in loader and registry against real libraries: ids and folders from the scan, the refusals
// and their log lines, required rights, the page list, and the lifetime of a plug-in that requests still
// use while the registry is unloaded or reloaded.
#include "ProbeSupport.h"
#include "fixtures/support/TempDir.h"
#include "fixtures/support/TraceLog.h"

#include "service/accounts/AuthoritySet.h"
#include "service/plugins/PluginManager.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace Vuxo {
namespace {

using Fixtures::TraceLog;
using PluginTesting::InstallPlugin;
using PluginTesting::ProbeHooks;
using PluginTesting::ProbeLibraryPath;

class PluginManagerTest : public ::testing::Test {
protected:
    void Install(const std::string& probe, const std::string& id = "") {
        ASSERT_TRUE(InstallPlugin(program.Path(), ProbeLibraryPath(probe), id.empty() ? probe : id));
    }
    std::string LibraryOf(const std::string& id) const {
        return program.Path() + "/plugin/" + id + "/" + id + ".so";
    }

    Fixtures::TempDir program{"corvanta-plugins"};
    PluginManager manager;
};

TEST(PluginIdTest, IsTheFileNameWithoutSo) {
    const struct {
        const char* path;
        const char* id;
    } cases[] = {
        {"/opt/corvanta/plugin/Mevrin/Mevrin.so", "Mevrin"},
        {"plugin/a/a.so", "a"},
        {"Kestrin.so", "Kestrin"},
        {"/x/lib.so.1", "lib.so.1"},
        {"/x/.so", ".so"},
        {"/x/noext", "noext"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PluginIdFromPath(c.path), c.id) << c.path;
    }
}

TEST_F(PluginManagerTest, ScanRegistersEachPluginUnderItsFolderName) {
    Install("Probe");
    Install("ProbeView");
    LoadPlugins(program.Path(), manager);

    ASSERT_TRUE(manager.HasPlugin("Probe"));
    ASSERT_TRUE(manager.HasPlugin("ProbeView"));
    EXPECT_FALSE(manager.HasPlugin("probe")) << "ids are case-sensitive";
    std::shared_ptr<const PluginRecord> probe = manager.GetPlugin("Probe");
    ASSERT_NE(probe, nullptr);
    EXPECT_EQ(probe->GetId(), "Probe");
    EXPECT_EQ(probe->GetFolder(), program.Path() + "/plugin/Probe");
    EXPECT_EQ(probe->GetName(), "Probe probe");
    EXPECT_EQ(probe->GetAuthor(), "probe@corvanta.test");
    EXPECT_EQ(probe->GetVersion(), "1.0");
    EXPECT_EQ(probe->GetType(), 2);
    EXPECT_EQ(manager.GetPlugin("Missing"), nullptr);
}

TEST_F(PluginManagerTest, FailuresAreLoggedWithTheLoadersReasonAndLeaveNoRecord) {
    Install("Probe");
    ASSERT_TRUE(Fixtures::WriteFile(program.Path("plugin/Empty/readme.txt"), "no library here"));
    ASSERT_TRUE(Fixtures::WriteFile(program.Path("plugin/NotALibrary/NotALibrary.so"), "text, not ELF"));
    ASSERT_TRUE(Fixtures::WriteFile(program.Path("plugin/loose.so"), "a file directly in plugin/"));
    TraceLog log;
    LoadPlugins(program.Path(), manager);

    EXPECT_TRUE(manager.HasPlugin("Probe"));
    EXPECT_FALSE(manager.HasPlugin("Empty"));
    EXPECT_FALSE(manager.HasPlugin("NotALibrary"));
    EXPECT_FALSE(manager.HasPlugin("loose"));
    // One "loading" line per folder, none for the loose file.
    EXPECT_EQ(log.Count(LOG_NOTICE, "플러그인 로드.. : "), 3) << log.Dump();
    EXPECT_EQ(log.Count(LOG_NOTICE, "loose"), 0) << log.Dump();
    EXPECT_EQ(log.Count(LOG_WARNING, "플러그인 로드 실패 : " + LibraryOf("Empty")), 1) << log.Dump();
    EXPECT_EQ(log.Count(LOG_WARNING, "No such file"), 1) << log.Dump();
    EXPECT_EQ(log.Count(LOG_WARNING, "플러그인 로드 실패 : " + LibraryOf("NotALibrary")), 1) << log.Dump();
    EXPECT_EQ(log.Count(LOG_WARNING, "Probe"), 0) << log.Dump();
}

TEST_F(PluginManagerTest, LibraryWithoutOnRequestIsFinalizedOnceAndNeverStarted) {
    ProbeHooks hooks("ProbeBroken"); // keeps the module mapped so its counters survive the host's dlclose
    ASSERT_TRUE(hooks.IsOpen());
    Install("ProbeBroken");
    std::string error;
    EXPECT_FALSE(manager.LoadPlugin(LibraryOf("ProbeBroken"), &error));
    EXPECT_NE(error.find("OnRequest"), std::string::npos) << error;
    EXPECT_FALSE(manager.HasPlugin("ProbeBroken"));
    EXPECT_EQ(hooks.InitializeCalls(), 0);
    EXPECT_EQ(hooks.FinalizeCalls(), 1);
}

TEST_F(PluginManagerTest, MissingLibraryFailsWithTheLoadersText) {
    std::string error;
    EXPECT_FALSE(manager.LoadPlugin(program.Path() + "/plugin/Gone/Gone.so", &error));
    EXPECT_NE(error.find("Gone.so"), std::string::npos) << error;
}

TEST_F(PluginManagerTest, RequiredRightsFollowTheLettersLDUA) {
    Install("Probe");        // "LD"
    Install("ProbeView");    // ""
    Install("ProbeDefault"); // no export: "LD"
    Install("ProbeUpload");  // "U"
    Install("ProbeLower");   // "dl": lower-case letters ask for nothing
    LoadPlugins(program.Path(), manager);
    EXPECT_EQ(manager.GetPlugin("ProbeDefault")->GetRequiredAuthority(), "LD");

    const AuthoritySet none;
    const AuthoritySet list(AuthoritySet::kList);
    const AuthoritySet download(AuthoritySet::kDownload);
    const AuthoritySet listDownload(AuthoritySet::kList | AuthoritySet::kDownload);
    const AuthoritySet all(AuthoritySet::kAll);
    const struct {
        const char* id;
        const AuthoritySet* rights;
        bool allowed;
    } cases[] = {
        {"Probe", &listDownload, true},
        {"Probe", &list, false},
        {"Probe", &download, false},
        {"Probe", &none, false},
        {"Probe", nullptr, false},
        {"ProbeDefault", &listDownload, true},
        {"ProbeDefault", &list, false},
        {"ProbeView", nullptr, true},
        {"ProbeView", &none, true},
        {"ProbeUpload", &all, true},
        {"ProbeUpload", &listDownload, false},
        {"ProbeLower", &none, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(manager.GetPlugin(c.id)->HasRequiredAuthority(c.rights), c.allowed)
            << c.id << " with rights " << (c.rights != nullptr ? FormatRights(*c.rights) : "(none)");
    }
}

TEST_F(PluginManagerTest, PageListIsInByteOrderAndFilteredByRights) {
    Install("ProbeView", "b");
    Install("ProbeView", "a");
    Install("ProbeDefault", "C");
    Install("Probe", "_x");
    LoadPlugins(program.Path(), manager);

    std::vector<PluginInfo> rows{{"stale", "stale", 9}};
    const AuthoritySet listDownload(AuthoritySet::kList | AuthoritySet::kDownload);
    manager.ListPlugins(rows, &listDownload);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].id, "C"); // "C" < "_" < "a" < "b" byte by byte
    EXPECT_EQ(rows[0].type, 5);
    EXPECT_EQ(rows[1].id, "_x");
    EXPECT_EQ(rows[2].id, "a");
    EXPECT_EQ(rows[2].name, "ProbeView probe");
    EXPECT_EQ(rows[2].type, 1);
    EXPECT_EQ(rows[3].id, "b");

    const AuthoritySet list(AuthoritySet::kList);
    manager.ListPlugins(rows, &list);
    ASSERT_EQ(rows.size(), 2u) << "plug-ins that need D are left out";
    EXPECT_EQ(rows[0].id, "a");
    EXPECT_EQ(rows[1].id, "b");
}

TEST_F(PluginManagerTest, OneLibraryUnderTwoIdsIsStartedOnceAndStoppedOnce) {
    ProbeHooks hooks("ProbeView");
    Install("ProbeView", "first");
    Install("ProbeView", "second");
    LoadPlugins(program.Path(), manager);
    ASSERT_TRUE(manager.HasPlugin("first"));
    ASSERT_TRUE(manager.HasPlugin("second"));
    EXPECT_EQ(hooks.InitializeCalls(), 1);
    manager.UnloadAll();
    EXPECT_EQ(hooks.FinalizeCalls(), 1);
    EXPECT_FALSE(hooks.IsStarted());
}

TEST_F(PluginManagerTest, AnIdLoadedAlreadyKeepsItsFirstPlugin) {
    Install("ProbeView", "Probe");
    ASSERT_TRUE(manager.LoadPlugin(LibraryOf("Probe")));
    std::string error;
    EXPECT_FALSE(manager.LoadPlugin(ProbeLibraryPath("Probe"), &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(manager.GetPlugin("Probe")->GetName(), "ProbeView probe");
}

TEST_F(PluginManagerTest, UnloadFinalizesEveryPluginAndEmptiesTheRegistry) {
    ProbeHooks hooks("Probe");
    Install("Probe");
    LoadPlugins(program.Path(), manager);
    EXPECT_TRUE(hooks.IsStarted());
    UnloadPlugins(manager);
    EXPECT_FALSE(manager.HasPlugin("Probe"));
    EXPECT_EQ(hooks.FinalizeCalls(), 1);
    std::vector<PluginInfo> rows;
    manager.ListPlugins(rows, nullptr);
    EXPECT_TRUE(rows.empty());
}

TEST_F(PluginManagerTest, DestroyingTheRegistryFinalizesItsPlugins) {
    ProbeHooks hooks("Probe");
    Install("Probe");
    {
        PluginManager scoped;
        LoadPlugins(program.Path(), scoped);
        EXPECT_EQ(hooks.FinalizeCalls(), 0);
    }
    EXPECT_EQ(hooks.FinalizeCalls(), 1);
}

TEST_F(PluginManagerTest, APluginInUseOutlivesTheUnload) {
    ProbeHooks hooks("Probe");
    Install("Probe");
    LoadPlugins(program.Path(), manager);
    std::shared_ptr<const PluginRecord> inUse = manager.GetPlugin("Probe");
    manager.UnloadAll();
    EXPECT_FALSE(manager.HasPlugin("Probe"));
    EXPECT_EQ(hooks.FinalizeCalls(), 0);
    EXPECT_EQ(inUse->GetName(), "Probe probe");
    inUse.reset();
    EXPECT_EQ(hooks.FinalizeCalls(), 1);
}

TEST_F(PluginManagerTest, ReloadWhileInUseKeepsTheModuleRunningForBoth) {
    ProbeHooks hooks("Probe");
    Install("Probe");
    LoadPlugins(program.Path(), manager);
    std::shared_ptr<const PluginRecord> old = manager.GetPlugin("Probe");
    LoadPlugins(program.Path(), manager); // the reload key while a request still runs
    std::shared_ptr<const PluginRecord> fresh = manager.GetPlugin("Probe");
    ASSERT_NE(fresh, nullptr);
    EXPECT_NE(fresh, old);
    EXPECT_EQ(hooks.InitializeCalls(), 1) << "the running module must not be started a second time";

    old.reset(); // the old request ends: its release must not stop the module the new record uses
    EXPECT_EQ(hooks.FinalizeCalls(), 0);
    EXPECT_TRUE(hooks.IsStarted());
    EXPECT_EQ(fresh->GetName(), "Probe probe");

    fresh.reset();
    manager.UnloadAll();
    EXPECT_EQ(hooks.FinalizeCalls(), 1);
    LoadPlugins(program.Path(), manager); // a later load starts it again
    EXPECT_EQ(hooks.InitializeCalls(), 2);
    EXPECT_TRUE(hooks.IsStarted());
}

TEST_F(PluginManagerTest, LookupsDuringReloadsAlwaysSeeAStartedPlugin) {
    ProbeHooks hooks("Probe");
    Install("Probe");
    LoadPlugins(program.Path(), manager);
    std::atomic<bool> done{false};
    std::atomic<int> stopped{0};
    std::atomic<int> seen{0};
    std::vector<std::thread> readers;
    for (int i = 0; i < 4; ++i) {
        readers.emplace_back([&] {
            std::vector<PluginInfo> rows;
            const AuthoritySet rights(AuthoritySet::kAll);
            while (!done.load()) {
                if (std::shared_ptr<const PluginRecord> record = manager.GetPlugin("Probe")) {
                    ++seen;
                    stopped += record->GetName() != "Probe probe";
                }
                manager.ListPlugins(rows, &rights);
                for (const PluginInfo& row : rows) {
                    stopped += row.name != "Probe probe";
                }
            }
        });
    }
    for (int round = 0; round < 200; ++round) {
        LoadPlugins(program.Path(), manager);
        if (round % 10 == 0) {
            manager.UnloadAll();
        }
    }
    done = true;
    for (std::thread& reader : readers) {
        reader.join();
    }
    EXPECT_EQ(stopped.load(), 0) << "a record handed out must stay started until released";
    manager.UnloadAll();
    EXPECT_FALSE(hooks.IsStarted());
    EXPECT_EQ(hooks.InitializeCalls(), hooks.FinalizeCalls());
}

} // namespace
} // namespace Vuxo
