// AccountStore: the user accounts (name, password) and the rights of each account on each share.
// The server object creates the one store right after the mount manager and destroys it before that
// manager. The dispatcher asks it for passwords and rights on every request (connection threads); the shell
// edits accounts and rights (GUI thread). Names and passwords are UTF-8; names are case-sensitive.
//
// Rights are kept per (account id, share id), so they follow a renamed share and are never inherited by a
// new share or account that takes a removed one's name. A pair without an entry has L+D; on a file share L
// is always set and U always clear.
//
// The store keeps the configuration lists `users` and `authorities` equal to its tables: they are rebuilt
// after every change of an account, a password or a right, and (through the mount manager's change listener)
// after every change of the shares, before the configuration is saved. So any save writes current data.
//
// Locking: one reader-writer lock guards both tables, so that the requests, which only read them, never
// wait for each other. Lock order: this store, then the mount
// manager. It is never held while the configuration lists are written or the file saved (a save holds the
// list lock during its disk write), so requests never wait for the disk. A second lock only keeps the
// writers of `users` and `authorities` in order.
#pragma once

#include "core/thread/CriticalSection.h"
#include "service/accounts/AuthoritySet.h"
#include "service/config/QuilloConfig.h"
#include "service/mounts/MountManager.h"
#include "service/mounts/SequenceId.h"

#include <cstdint>
#include <map>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace Vuxo {

struct UserAccount {
    std::string password;
    SequenceId id;
};

// The account that stands for every request without credentials: ".anonymous". It always exists after a
// load, with an empty password unless one was stored.
const char* AnonymousLoginId();
// The translated "user who has not logged in" text (with its trailing blank).
std::string AnonymousDisplayName();

// Scrambles or unscrambles (the same operation) a password in place with the account name as key: the
// running factor starts as key[0]; for byte i it becomes factor * key[i mod n] (mod 256) and the byte is
// XORed with it. An empty key leaves the text unchanged.
void ScramblePassword(std::string& text, std::string_view key);

// One right to store: what SetAuthorities takes.
struct AuthorityChange {
    std::string account;
    std::string share;
    AuthoritySet rights;
};

class AccountStore {
public:
    // Loads from `config`'s lists and listens to `mounts`' changes. `mounts` must outlive the store.
    explicit AccountStore(MountManager& mounts, QuilloConfig& config = QuilloConfig::GetInstance());
    // Saves once more, then stops listening to the mount manager.
    ~AccountStore();
    AccountStore(const AccountStore&) = delete;
    AccountStore& operator=(const AccountStore&) = delete;

    // Rebuilds both tables from `users` and `authorities`; bad elements are logged (warning) and dropped.
    void Load();
    // Rebuilds `users` and `authorities` from the tables, then saves the configuration (outside the
    // store's lock; the changing operations below call it after releasing theirs).
    void Save();

    // False when there is no such account.
    bool GetPassword(const std::string& name, std::string& password) const;
    // False when there is no such account; the new password is saved at once.
    bool ChangePassword(const std::string& name, const std::string& password);
    // False when the name is empty or taken; else a new account, saved.
    bool AddUser(const std::string& name, const std::string& password);
    // False when there is no such account; else it and its rights are removed, saved.
    bool RemoveUser(const std::string& name);
    // Makes the set of accounts equal to `names`: missing ones are added with an empty password (empty names
    // skipped), accounts not in the list are removed, ".anonymous" too when the list lacks it.
    void SetUserList(const std::vector<std::string>& names);
    // Makes the accounts exactly the given (name, password) pairs in one step, under one lock, with one save
    // (none when nothing changed): a listed existing account keeps its id and rights and takes the new
    // password, an unlisted one goes with its rights, a new one is made with its password. ".anonymous" is
    // kept (with its password) when the list lacks it. False, and nothing changed, when a name is empty or
    // listed twice. True otherwise.
    bool SetAccounts(const std::vector<std::pair<std::string, std::string>>& accounts);
    // Replaces `names` with every account name in ascending byte order, ".anonymous" included.
    void ListUserNames(std::vector<std::string>& names) const;

    // False when the account or the share does not exist; else the rights of the pair (see above).
    bool GetAuthority(const std::string& account, const std::string& share, AuthoritySet& rights) const;
    // False when either does not exist; else stores the rights (L set and U cleared first on a file share),
    // saved.
    bool SetAuthority(const std::string& account, const std::string& share, AuthoritySet rights);
    // Stores every change as SetAuthority does, then saves once (when any was stored). Element i of the
    // result tells whether change i was stored (false: its account or share does not exist).
    std::vector<bool> SetAuthorities(const std::vector<AuthorityChange>& changes);
    // True when the name is not empty, the account exists and its password equals `password` byte for byte.
    bool CheckPassword(const std::string& name, const std::string& password) const;

private:
    using AccessKey = std::pair<uint32_t, uint32_t>; // (account id, share id)

    // Writes the tables into the configuration lists (the caller holds no list lock).
    void RebuildLists();
    // The key of the pair and whether the share is a folder; false when the account or the share does not
    // exist. The caller holds m_lock.
    bool FindAccessKey(const std::string& account, const std::string& share, AccessKey& key,
                       bool& isDirectory) const;

    MountManager& m_mounts;
    QuilloConfig& m_config;
    CriticalSection m_storeLock; // taken before m_lock, never after it
    mutable std::shared_mutex m_lock;
    std::map<std::string, UserAccount> m_accounts;
    std::map<AccessKey, AuthoritySet> m_accessList;
};

} // namespace Vuxo
