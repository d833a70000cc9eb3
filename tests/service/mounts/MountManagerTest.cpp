#include "service/mounts/MountManager.h"

#include "StoreTestSupport.h"
#include "core/text/UrlCoding.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <thread>

namespace Vuxo {
namespace {

using StoreTest::ConfigFolder;
using StoreTest::TempFolder;
using StoreTest::TraceCollector;
namespace fs = std::filesystem;

std::vector<std::string> Names(const MountManager& mounts) {
    std::vector<std::string> names;
    mounts.ListMountNames(names);
    return names;
}

TEST(SequenceIdTest, ConsecutiveOnOneThreadUniqueAcrossThreads) {
    SequenceId first;
    Mount mount;
    EXPECT_EQ(mount.id.GetId(), first.GetId() + 1);
    EXPECT_EQ(Mount(mount).id, mount.id);

    std::vector<std::vector<uint32_t>> taken(4);
    std::vector<std::thread> threads;
    for (auto& ids : taken) {
        threads.emplace_back([&ids] {
            for (int i = 0; i < 2000; ++i) {
                ids.push_back(SequenceId().GetId());
            }
        });
    }
    std::set<uint32_t> all;
    for (std::size_t t = 0; t < threads.size(); ++t) {
        threads[t].join();
        all.insert(taken[t].begin(), taken[t].end());
    }
    EXPECT_EQ(all.size(), 8000u);
}

TEST(MountEntryTest, ParsesOnlyWellFormedItems) {
    const struct {
        std::string item;
        bool good;
        std::string name = {}, path = {}, reserved = {};
        bool isDirectory = false, flag = false;
    } cases[] = {
        {"Music|/data/Music||yes|x|no", true, "Music", "/data/Music", "", true, false},
        {"a%20b|/x%7cy%3d||Yes|anything|yes", true, "a b", "/x|y=", "", false, true}, // "Yes" is not "yes"
        {"%ec%9d%8c|/p|r%20t|no||YES", true, "음", "/p", "r t", false, false},
        {"a|b|c|yes|x", false},          // five parts
        {"a|/b||yes|x|no|extra", false}, // seven
        {"|/b||yes|x|no", false},        // empty name
        {"a||x|yes|x|no", false},        // empty path
        {"a%00b|/b||yes|x|no", false},   // NUL in the name
        {"a|/b%00c||yes|x|no", false},   // NUL in the path
        {"a%2fb|/b||yes|x|no", false},   // "/" in the name: it could never be requested
    };
    for (const auto& c : cases) {
        std::string name = "untouched";
        Mount mount;
        ASSERT_EQ(ParseMountEntry(c.item, name, mount), c.good) << c.item;
        if (!c.good) {
            EXPECT_EQ(name, "untouched");
            continue;
        }
        EXPECT_EQ(name, c.name);
        EXPECT_EQ(mount.localPath, c.path);
        EXPECT_EQ(mount.reservedText, c.reserved);
        EXPECT_EQ(mount.isDirectory, c.isDirectory) << c.item;
        EXPECT_EQ(mount.reservedFlag, c.flag) << c.item;
    }
    Mount mount;
    mount.localPath = "/srv/내 \xff|=";
    mount.reservedText = "kept|as=is";
    mount.reservedFlag = true;
    EXPECT_EQ(FormatMountEntry("a=b|c", mount),
              "a%3db%7cc|/srv/%eb%82%b4%20%ff%7c%3d|kept%7cas%3dis|no|x|yes");
    std::string name;
    Mount parsed;
    ASSERT_TRUE(ParseMountEntry(FormatMountEntry("a=b|c", mount), name, parsed));
    EXPECT_EQ(parsed.localPath, mount.localPath);
    EXPECT_EQ(parsed.reservedText, mount.reservedText);
}

TEST(MountManagerTest, AliasesRoundTripThroughMountIni) {
    ConfigFolder setup;
    TempFolder data;
    const std::string folder = data.MakeFolder("a=b c");
    const std::string file = data.MakeFile("notes.txt");
    {
        MountManager mounts(setup.Config());
        EXPECT_EQ(mounts.AddMount(data.MakeFolder("음악 폴더")), "음악 폴더");
        EXPECT_EQ(mounts.AddMount(folder + "//./"), "a=b c");
        EXPECT_EQ(mounts.AddMount(file), "notes.txt");
        for (const std::string refused : {"", "a\nb", "a\rb", "a/b", "a\\b", ".", "..", "bad\xff", "x\ty"}) {
            EXPECT_FALSE(mounts.RenameMount("a=b c", refused)) << refused;
        }
        EXPECT_FALSE(mounts.RenameMount("a=b c", std::string("a\0b", 3)));
        ASSERT_TRUE(mounts.RenameMount("a=b c", "새 이름 = x|y"));
    }
    EXPECT_EQ(setup.Saved("mounts")[0], "notes.txt|" + UrlEncode(file) + "||no|x|no"); // ascending byte order

    auto reopened = setup.Reopen();
    MountManager again(*reopened);
    EXPECT_EQ(Names(again), (std::vector<std::string>{"notes.txt", "새 이름 = x|y", "음악 폴더"}));
    Mount mount;
    ASSERT_TRUE(again.GetMount("새 이름 = x|y", mount));
    EXPECT_EQ(mount.localPath, folder); // normalised: no trailing "/", no "."
    EXPECT_TRUE(mount.isDirectory);
    ASSERT_TRUE(again.GetMount("notes.txt", mount));
    EXPECT_FALSE(mount.isDirectory);
}

TEST(MountManagerTest, BadItemsAreSkippedWithOneAlertAndTheFirstOfTwoNamesStays) {
    TraceCollector traces;
    ConfigFolder setup({"mounts+=a|b|c|yes|x", "mounts+=Good|/srv/good||yes|x|no", "mounts+=also bad",
                        "mounts+=Good|/srv/second||no|x|no"});
    MountManager mounts(setup.Config());
    Mount mount;
    ASSERT_TRUE(mounts.GetMount("Good", mount));
    EXPECT_EQ(mount.localPath, "/srv/good");
    EXPECT_EQ(Names(mounts), std::vector<std::string>{"Good"});
    const auto alerts = traces.TextsAt(LOG_ALERT);
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].rfind("설정파일 로딩중 일부 문제가 발생하여 무시했습니다.\n", 0), 0u) << alerts[0];
}

TEST(MountManagerTest, AddMountNamesEveryFolderSoItCanBeRequestedAndRefusesWhatCannotBeShared) {
    ConfigFolder setup;
    TempFolder data;
    MountManager mounts(setup.Config());
    TraceCollector traces;
    const struct {
        std::string folder, name;
    } named[] = {
        {"one/Photos", "Photos"},      {"two/photos", "photos"}, // names are case-sensitive
        {"back\\slash", "back_slash"}, {"new\nline", "new_line"}, {"bad\xff utf8", "bad\xef\xbf\xbd utf8"},
    };
    for (const auto& c : named) {
        ASSERT_EQ(mounts.AddMount(data.MakeFolder(c.folder)), c.name);
        EXPECT_TRUE(IsValidMountName(c.name));
        EXPECT_EQ(mounts.GetLocalPath(c.name + "/f"), data.Sub(c.folder) + "/f");
    }
    EXPECT_EQ(mounts.GetLocalPath("PHOTOS/f"), "");
    for (const std::string& refused :
         {data.Sub("missing"), std::string(), std::string("/"), std::string("/.."),
          data.Path() + "/../../../../..", data.MakeFolder("three/Photos")}) {
        EXPECT_EQ(mounts.AddMount(refused), "") << refused;
    }
    EXPECT_EQ(traces.TextsAt(LOG_WARNING).size(), 6u);
    EXPECT_EQ(Names(mounts).size(), std::size(named));
    std::vector<std::string> names{"kept"};
    mounts.ListMountNames(names);
    EXPECT_EQ(names.front(), "kept");
    EXPECT_TRUE(std::is_sorted(names.begin() + 1, names.end()));
}

class GetLocalPathTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_share = m_data.MakeFolder("share");
        m_data.MakeFile("share/sub/file.txt");
        m_data.MakeFile("outside/secret.txt", "canary");
        fs::create_directory_symlink(m_data.Sub("outside"), m_data.Sub("share/out"));
        fs::create_symlink(m_data.Sub("outside/secret.txt"), m_data.Sub("share/secret-link"));
        fs::create_symlink(m_data.Sub("outside/new.txt"), m_data.Sub("share/dangling"));
        fs::create_symlink("../sub", m_data.Sub("share/sub/inner"));
        fs::create_symlink("..", m_data.Sub("share/sub/up"));
        fs::create_symlink("../..", m_data.Sub("share/sub/upup"));
        fs::create_symlink("loop", m_data.Sub("share/loop"));
        ASSERT_EQ(m_mounts.AddMount(m_share), "share");
        ASSERT_EQ(m_mounts.AddMount(m_data.MakeFile("notes.txt")), "notes.txt");
    }

    ConfigFolder m_setup;
    TempFolder m_data;
    MountManager m_mounts{m_setup.Config()};
    std::string m_share;
};

TEST_F(GetLocalPathTest, ResolvesWhatLiesInsideAShare) {
    for (const std::string rest : {"", "sub/file.txt", "sub/", "sub//file.txt", "./sub", "...", "..x/y",
                                   "new/upload.bin", // not there yet: an upload or a new folder
                                   "sub/inner/file.txt", "sub/up/sub", // links that stay inside
                                   "sub/file.txt/x", "a \\ b"}) {
        EXPECT_EQ(m_mounts.GetLocalPath("share/" + rest), m_share + "/" + rest) << rest;
        EXPECT_EQ(m_mounts.GetLocalPath("share", rest), m_share + "/" + rest) << rest;
    }
    EXPECT_EQ(m_mounts.GetLocalPath("share"), m_share + "/");
    EXPECT_EQ(m_mounts.GetLocalPath("notes.txt"), m_data.Sub("notes.txt"));
    EXPECT_TRUE(m_mounts.PathExists("share/sub/inner/file.txt"));
    EXPECT_TRUE(m_mounts.PathExists("notes.txt"));
    EXPECT_FALSE(m_mounts.PathExists("share/robots.txt"));
}

TEST_F(GetLocalPathTest, RefusesEveryWayOutOfAShare) {
    for (const std::string request : {"share/..",
                                      "share/../outside/secret.txt",
                                      "share/sub/../../outside/secret.txt",
                                      "share/a/../../x",
                                      "share/a\\..\\..\\outside\\secret.txt",
                                      "share/..\\outside",
                                      "share/sub/..",
                                      "share//etc/passwd",
                                      "share/\\etc\\passwd", // absolute parts
                                      "share/out/secret.txt",
                                      "share/out",
                                      "share/secret-link",
                                      "share/sub/upup/outside/secret.txt",
                                      "share/dangling",
                                      "share/dangling/x", // creating through it would land outside
                                      "share/loop",
                                      "notes.txt/x",
                                      "Share/sub",
                                      "",
                                      "/share"}) {
        EXPECT_EQ(m_mounts.GetLocalPath(request), "") << request;
        EXPECT_FALSE(m_mounts.PathExists(request)) << request;
    }
    EXPECT_EQ(m_mounts.GetLocalPath("share", std::string("sub/file.txt\0.jpg", 17)), "");
}

TEST_F(GetLocalPathTest, LinksAreJudgedAgainstTheSharesOwnRealRoot) {
    fs::create_directory_symlink(m_share, m_data.Sub("share-link"));
    ASSERT_EQ(m_mounts.AddMount(m_data.Sub("share-link")), "share-link");
    EXPECT_EQ(m_mounts.GetLocalPath("share-link/sub/file.txt"), m_data.Sub("share-link/sub/file.txt"));
    EXPECT_EQ(m_mounts.GetLocalPath("share-link/out/secret.txt"), "");
    fs::remove_all(m_share); // gone: nothing below it resolves, the share itself still lists
    EXPECT_EQ(m_mounts.GetLocalPath("share/sub/file.txt"), "");
    EXPECT_EQ(m_mounts.GetLocalPath("share/"), m_share + "/");
}

TEST(MountManagerTest, EveryChangeReachesMountIniAtOnceAndTheListenerSeesTheNewList) {
    ConfigFolder setup;
    TempFolder data;
    MountManager mounts(setup.Config());
    std::vector<std::vector<std::string>> seen;
    mounts.SetChangeListener([&] {
        ScopedLock lock(setup.Config().GetListLock());
        seen.push_back(setup.Config().mounts);
    });
    ASSERT_EQ(mounts.AddMount(data.MakeFolder("A")), "A");
    ASSERT_EQ(mounts.AddMount(data.MakeFolder("B")), "B");
    TraceCollector traces;
    EXPECT_FALSE(mounts.RenameMount("A", "B")); // both stay as they were
    EXPECT_FALSE(mounts.RenameMount("A", "A"));
    EXPECT_FALSE(mounts.RenameMount("missing", "C"));
    EXPECT_EQ(traces.TextsAt(LOG_WARNING).size(), 3u);

    Mount a;
    ASSERT_TRUE(mounts.GetMount("A", a));
    ASSERT_TRUE(mounts.RenameMount("A", "C"));
    Mount c;
    ASSERT_TRUE(mounts.GetMount("C", c));
    EXPECT_EQ(c.id, a.id); // a rename keeps the id
    c.reservedText = "note";
    ASSERT_TRUE(mounts.SetMount("C", c));
    EXPECT_FALSE(mounts.SetMount("missing", c));
    EXPECT_EQ(setup.Saved("mounts"),
              (std::vector<std::string>{"B|" + UrlEncode(data.Sub("B")) + "||yes|x|no",
                                        "C|" + UrlEncode(data.Sub("A")) + "|note|yes|x|no"}));
    ASSERT_TRUE(mounts.RemoveMount("B"));
    EXPECT_FALSE(mounts.RemoveMount("B"));
    EXPECT_EQ(setup.Saved("mounts").size(), 1u);
    ASSERT_EQ(seen.size(), 5u); // add, add, rename, set, remove
    EXPECT_EQ(seen.back(), setup.Saved("mounts"));
}

TEST(MountManagerTest, RequestsDoNotWaitForAConfigurationSaveInProgress) {
    ConfigFolder setup;
    TempFolder data;
    MountManager mounts(setup.Config());
    ASSERT_EQ(mounts.AddMount(data.MakeFolder("A")), "A");
    std::thread renamer;
    {
        // A save holds the list lock during its disk write; here it is held until the rename is in memory.
        ScopedLock saving(setup.Config().GetListLock());
        renamer = std::thread([&] { mounts.RenameMount("A", "B"); });
        while (Names(mounts) != std::vector<std::string>{"B"}) {
            std::this_thread::yield();
        }
        EXPECT_EQ(mounts.GetLocalPath("B/x"), data.Sub("A") + "/x");
    }
    renamer.join();
    EXPECT_EQ(setup.Saved("mounts")[0].substr(0, 2), "B|");
}

} // namespace
} // namespace Vuxo
