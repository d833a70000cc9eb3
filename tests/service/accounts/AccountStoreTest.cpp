#include "service/accounts/AccountStore.h"

#include "../mounts/StoreTestSupport.h"
#include "core/text/UrlCoding.h"
#include "fixtures/support/SaveCounter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace Vuxo {
namespace {

using StoreTest::ConfigFolder;
using StoreTest::TempFolder;
using StoreTest::TraceCollector;

std::vector<std::string> UserNames(const AccountStore& store) {
    std::vector<std::string> names{"cleared first"};
    store.ListUserNames(names);
    return names;
}

std::string RightsOf(const AccountStore& store, const std::string& account, const std::string& share) {
    AuthoritySet rights(AuthoritySet::kAll);
    return store.GetAuthority(account, share, rights) ? FormatRights(rights) : "(none)";
}

std::string PasswordOf(const AccountStore& store, const std::string& name) {
    std::string password = "(none)";
    store.GetPassword(name, password);
    return password;
}

std::string UserElement(const std::string& name, std::string password) {
    ScramblePassword(password, name);
    return UrlEncode(name) + "|" + UrlEncode(password) + ".";
}

TEST(AuthoritySetTest, LetterFormsAndDisplayNames) {
    for (const auto& [letters, formatted] : std::vector<std::pair<std::string, std::string>>{
             {"", ""}, {"LDUA", "LDUA"}, {"AL", "LA"}, {"xLyA", "LA"}, {"lda", ""}, {"UD", "DU"}}) {
        EXPECT_EQ(FormatRights(ParseRights(letters)), formatted) << letters;
    }
    EXPECT_EQ(GetAuthorityName(0), "목록 보기");
    EXPECT_EQ(GetAuthorityName(3), "관리");
    EXPECT_EQ(GetAuthorityName(4), "");
}

TEST(ScramblePasswordTest, IsItsOwnInverseAndUsesTheRunningProductOfTheKey) {
    std::string text = "secret";
    ScramblePassword(text, "bob");
    unsigned factor = 'b';
    for (std::size_t i = 0; i < 6; ++i) {
        factor = (factor * static_cast<unsigned char>("bob"[i % 3])) & 0xffu;
        EXPECT_EQ(static_cast<unsigned char>(text[i]), static_cast<unsigned char>("secret"[i] ^ factor)) << i;
    }
    ScramblePassword(text, "bob");
    EXPECT_EQ(text, "secret");
    std::string single(3, '\0');
    ScramblePassword(single, "\x03"); // 3*3, *3, *3
    EXPECT_EQ(single, std::string("\x09\x1b\x51", 3));
    ScramblePassword(text, ""); // no key, no change (and no division by zero)
    EXPECT_EQ(text, "secret");
}

TEST(AccountStoreTest, UsersLoadBadElementsAreDroppedAndTheAnonymousAccountAlwaysExists) {
    TraceCollector traces;
    ConfigFolder setup({"users+=bob|", "users+=" + UserElement("kim", "first"), "users+=noseparator",
                        "users+=a|b|c", "users+=|x.", "users+=" + UserElement("kim", "later wins"),
                        "users+=" + UserElement("한글", "비밀 번호")});
    MountManager mounts(setup.Config());
    AccountStore store(mounts, setup.Config());
    EXPECT_EQ(traces.TextsAt(LOG_WARNING), std::vector<std::string>(3, "설정파일 해석중 오류 발생: User"));
    EXPECT_EQ(UserNames(store), (std::vector<std::string>{".anonymous", "bob", "kim", "한글"}));
    EXPECT_EQ(PasswordOf(store, ".anonymous"), "");
    EXPECT_EQ(PasswordOf(store, "bob"), ""); // "bob|" without the "." as well
    EXPECT_EQ(PasswordOf(store, "kim"), "later wins");
    EXPECT_EQ(PasswordOf(store, "한글"), "비밀 번호");
    EXPECT_EQ(PasswordOf(store, "Bob"), "(none)");
    store.Save();
    EXPECT_EQ(setup.Saved("users"),
              (std::vector<std::string>{".anonymous|.", "bob|.", UserElement("kim", "later wins"),
                                        UserElement("한글", "비밀 번호")}));
}

TEST(AccountStoreTest, PasswordsAndTheirChangesReachMountIniAtOnce) {
    ConfigFolder setup;
    // With the key "A" the first factor is 0x41 * 0x41 mod 256 = 0x81: that byte scrambles to 0.
    const std::string awkward = std::string("\x81", 1) + "+%.|=\n ";
    MountManager mounts(setup.Config());
    AccountStore store(mounts, setup.Config());
    ASSERT_TRUE(store.AddUser("A", "old"));
    ASSERT_TRUE(store.AddUser("사용자", "암호"));
    ASSERT_TRUE(store.ChangePassword("A", awkward));
    EXPECT_FALSE(store.ChangePassword("nobody", "x"));

    // The next start sees the change while this store still lives.
    auto reopened = setup.Reopen();
    MountManager otherMounts(*reopened);
    AccountStore other(otherMounts, *reopened);
    EXPECT_EQ(PasswordOf(other, "A"), awkward);
    EXPECT_EQ(PasswordOf(other, "사용자"), "암호");
}

TEST(AccountStoreTest, CheckPasswordRefusesAnEmptyName) {
    ConfigFolder setup;
    MountManager mounts(setup.Config());
    AccountStore store(mounts, setup.Config());
    ASSERT_TRUE(store.AddUser("bob", "pw"));
    EXPECT_TRUE(store.CheckPassword("bob", "pw"));
    EXPECT_TRUE(store.CheckPassword(".anonymous", ""));
    EXPECT_FALSE(store.CheckPassword("bob", "PW"));
    EXPECT_FALSE(store.CheckPassword("nobody", ""));
    EXPECT_FALSE(store.CheckPassword("", ""));
    EXPECT_FALSE(store.CheckPassword("", "pw"));
}

TEST(AccountStoreTest, AddRemoveAndSetUserList) {
    ConfigFolder setup;
    MountManager mounts(setup.Config());
    AccountStore store(mounts, setup.Config());
    EXPECT_FALSE(store.AddUser("", "x"));
    ASSERT_TRUE(store.AddUser("bob", "pw"));
    EXPECT_FALSE(store.AddUser("bob", "other"));
    store.SetUserList({".anonymous", "bob", "", "carol"});
    EXPECT_EQ(UserNames(store), (std::vector<std::string>{".anonymous", "bob", "carol"}));
    EXPECT_EQ(PasswordOf(store, "bob"), "pw"); // an existing account is left as it is
    EXPECT_EQ(PasswordOf(store, "carol"), "");
    store.SetUserList({"carol"});
    EXPECT_EQ(setup.Saved("users"), std::vector<std::string>{"carol|."});
    EXPECT_FALSE(store.RemoveUser("bob"));
    ASSERT_TRUE(store.RemoveUser("carol"));
    EXPECT_TRUE(setup.Saved("users").empty());
}

class AccountRightsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(m_mounts.AddMount(m_data.MakeFolder("Music")), "Music");
        ASSERT_EQ(m_mounts.AddMount(m_data.MakeFolder("Photos")), "Photos");
        ASSERT_EQ(m_mounts.AddMount(m_data.MakeFile("notes.txt")), "notes.txt");
        ASSERT_TRUE(m_store.AddUser("bob", "pw"));
    }

    ConfigFolder m_setup;
    TempFolder m_data;
    MountManager m_mounts{m_setup.Config()};
    AccountStore m_store{m_mounts, m_setup.Config()};
};

TEST_F(AccountRightsTest, RightsArePerAccountAndShareWithListAndDownloadByDefault) {
    EXPECT_EQ(RightsOf(m_store, ".anonymous", "Photos"), "LD");
    EXPECT_EQ(RightsOf(m_store, "nobody", "Music"), "(none)");
    EXPECT_EQ(RightsOf(m_store, "bob", "music"), "(none)");
    EXPECT_FALSE(m_store.SetAuthority("bob", "Missing", ParseRights("L")));
    ASSERT_TRUE(m_store.SetAuthority("bob", "Music", ParseRights("LDUA")));
    ASSERT_TRUE(m_store.SetAuthority(".anonymous", "Music", ParseRights("")));
    ASSERT_TRUE(
        m_store.SetAuthority("bob", "Photos", ParseRights("LD"))); // the default, written all the same
    ASSERT_TRUE(m_store.SetAuthority("bob", "notes.txt", ParseRights("DUA")));
    EXPECT_EQ(RightsOf(m_store, "bob", "notes.txt"), "LDA"); // a file share lists and never uploads
    EXPECT_EQ(m_setup.Saved("authorities"), (std::vector<std::string>{".anonymous|Music|", "bob|Music|LDUA",
                                                                      "bob|Photos|LD", "bob|notes.txt|LDA"}));

    auto reopened = m_setup.Reopen();
    reopened->authorities.push_back("bob|notes.txt|U"); // the file-share rule applies when reading
    MountManager mounts(*reopened);
    AccountStore again(mounts, *reopened);
    EXPECT_EQ(RightsOf(again, "bob", "Music"), "LDUA");
    EXPECT_EQ(RightsOf(again, ".anonymous", "Music"), "");
    EXPECT_EQ(RightsOf(again, "bob", "notes.txt"), "L");
}

TEST_F(AccountRightsTest, SetAccountsKeepsListedAccountsAndTheirRightsAndSavesOnce) {
    ASSERT_TRUE(m_store.AddUser("carol", "cpw"));
    ASSERT_TRUE(m_store.SetAuthority("bob", "Music", ParseRights("LDUA")));
    ASSERT_TRUE(m_store.SetAuthority("carol", "Music", ParseRights("A")));
    Fixtures::SaveCounter saves(std::filesystem::path(m_setup.IniPath()).parent_path().string(),
                                QuilloConfig::kFileName);

    // ".anonymous" is left out of the list: it stays all the same.
    ASSERT_TRUE(m_store.SetAccounts({{"bob", "new"}, {"dave", "dpw"}}));
    EXPECT_EQ(saves.Count(), 1);
    EXPECT_EQ(UserNames(m_store), (std::vector<std::string>{".anonymous", "bob", "dave"}));
    EXPECT_EQ(PasswordOf(m_store, "bob"), "new");
    EXPECT_EQ(PasswordOf(m_store, "dave"), "dpw");
    EXPECT_EQ(RightsOf(m_store, "bob", "Music"), "LDUA");
    EXPECT_EQ(m_setup.Saved("authorities"), std::vector<std::string>{"bob|Music|LDUA"});
    EXPECT_EQ(m_setup.Saved("users"), (std::vector<std::string>{".anonymous|.", UserElement("bob", "new"),
                                                                UserElement("dave", "dpw")}));
    // carol's rights went with her: a new carol starts from the default.
    ASSERT_TRUE(m_store.SetAccounts({{".anonymous", ""}, {"bob", "new"}, {"dave", "dpw"}, {"carol", "x"}}));
    EXPECT_EQ(RightsOf(m_store, "carol", "Music"), "LD");
    EXPECT_EQ(saves.Count(), 2);

    // Nothing changed: no save. A bad list: refused whole.
    ASSERT_TRUE(m_store.SetAccounts({{"bob", "new"}, {"dave", "dpw"}, {"carol", "x"}}));
    EXPECT_FALSE(m_store.SetAccounts({{"bob", "1"}, {"", "2"}}));
    EXPECT_FALSE(m_store.SetAccounts({{"bob", "1"}, {"bob", "2"}}));
    EXPECT_EQ(saves.Count(), 2);
    EXPECT_EQ(UserNames(m_store), (std::vector<std::string>{".anonymous", "bob", "carol", "dave"}));
    EXPECT_EQ(PasswordOf(m_store, "bob"), "new");
}

TEST_F(AccountRightsTest, SeveralRightsAreStoredTogetherAndAMissingPairIsReported) {
    const std::vector<bool> stored = m_store.SetAuthorities({{"bob", "Music", ParseRights("LU")},
                                                             {"bob", "Missing", ParseRights("L")},
                                                             {"nobody", "Music", ParseRights("L")},
                                                             {"bob", "notes.txt", ParseRights("DU")}});
    EXPECT_EQ(stored, (std::vector<bool>{true, false, false, true}));
    EXPECT_EQ(m_setup.Saved("authorities"), (std::vector<std::string>{"bob|Music|LU", "bob|notes.txt|LD"}));
}

TEST_F(AccountRightsTest, RenamedAndRemovedSharesReachTheFileAtOnceAndRightsAreNeverInherited) {
    ASSERT_TRUE(m_store.SetAuthority("bob", "Music", ParseRights("LU")));
    ASSERT_TRUE(m_store.SetAuthority("bob", "Photos", ParseRights("A")));
    ASSERT_TRUE(m_mounts.RenameMount("Music", "음악 = 새"));
    EXPECT_EQ(RightsOf(m_store, "bob", "음악 = 새"), "LU");
    ASSERT_TRUE(m_mounts.RemoveMount("Photos"));
    EXPECT_EQ(m_setup.Saved("authorities"),
              std::vector<std::string>{"bob|" + UrlEncode("음악 = 새") + "|LU"});

    ASSERT_EQ(m_mounts.AddMount(m_data.MakeFolder("elsewhere/Photos")), "Photos");
    EXPECT_EQ(RightsOf(m_store, "bob", "Photos"), "LD");
    ASSERT_TRUE(m_store.RemoveUser("bob"));
    ASSERT_TRUE(m_store.AddUser("bob", "again"));
    EXPECT_EQ(RightsOf(m_store, "bob", "음악 = 새"), "LD");

    // A store destroyed before its mount manager no longer follows its changes.
    AccountStore* store = new AccountStore(m_mounts, m_setup.Config());
    delete store;
    ASSERT_TRUE(m_mounts.RenameMount("음악 = 새", "Music"));
}

TEST(AccountStoreTest, BadAuthorityElementsAreLoggedAndGoneAfterTheNextSave) {
    TempFolder data;
    TraceCollector traces;
    ConfigFolder setup({"mounts+=Music|" + UrlEncode(data.MakeFolder("Music")) + "||yes|x|no", "users+=bob|.",
                        "authorities+=bob|Music|U", "authorities+=bob|Gone|LDUA",
                        "authorities+=nobody|Music|L", "authorities+=bob|Music", "authorities+=bob|Music|L|D",
                        "authorities+=bob|Music|xAy"}); // a later element for the same pair wins
    MountManager mounts(setup.Config());
    AccountStore store(mounts, setup.Config());
    EXPECT_EQ(traces.TextsAt(LOG_WARNING),
              std::vector<std::string>(4, "설정파일 해석중 오류 발생: Authority"));
    EXPECT_EQ(RightsOf(store, "bob", "Music"), "A");
    store.Save();
    EXPECT_EQ(setup.Saved("authorities"), std::vector<std::string>{"bob|Music|A"});
}

TEST_F(AccountRightsTest, RequestsDoNotWaitForAConfigurationSaveInProgress) {
    std::thread setter;
    {
        // A save holds the list lock during its disk write; here it is held until the change is in memory.
        ScopedLock saving(m_setup.Config().GetListLock());
        setter = std::thread([&] { m_store.SetAuthority("bob", "Music", ParseRights("A")); });
        while (RightsOf(m_store, "bob", "Music") != "A") {
            std::this_thread::yield();
        }
        EXPECT_EQ(PasswordOf(m_store, "bob"), "pw");
    }
    setter.join();
    EXPECT_EQ(m_setup.Saved("authorities"), std::vector<std::string>{"bob|Music|A"});
}

TEST_F(AccountRightsTest, RightsLookupsOnConnectionThreadsWhileTheSharesChange) {
    // The store's lock comes before the mount manager's; a share change that called into the store while
    // holding the mount manager's lock would deadlock against these readers.
    std::atomic<bool> done{false};
    std::vector<std::thread> readers;
    for (int i = 0; i < 4; ++i) {
        readers.emplace_back([&] {
            while (!done) {
                RightsOf(m_store, "bob", "Photos");
                RightsOf(m_store, "bob", "Moved");
            }
        });
    }
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(m_store.SetAuthority("bob", "Photos", ParseRights(i % 2 ? "L" : "A")));
        ASSERT_TRUE(m_mounts.RenameMount("Photos", "Moved"));
        ASSERT_TRUE(m_mounts.RenameMount("Moved", "Photos"));
    }
    done = true;
    for (auto& reader : readers) {
        reader.join();
    }
    EXPECT_EQ(m_setup.Saved("authorities"), std::vector<std::string>{"bob|Photos|L"});
}

} // namespace
} // namespace Vuxo
