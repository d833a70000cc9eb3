#include "service/accounts/AccountStore.h"

#include "core/i18n/LocalizationStringTable.h"
#include "core/log/Trace.h"
#include "core/text/UrlCoding.h"
#include "service/mounts/Split.h"

#include <algorithm>
#include <mutex>

namespace Vuxo {

namespace {

constexpr const char* kAnonymousLoginId = ".anonymous";

struct ShareIdentity {
    std::string name;
    uint32_t id = 0;
};

// The file-share rule: a single file can always be "listed" and never receives uploads.
AuthoritySet ApplyFileShareRule(AuthoritySet rights, bool isDirectory) {
    if (!isDirectory) {
        rights.Set(AuthoritySet::kList, true);
        rights.Set(AuthoritySet::kUpload, false);
    }
    return rights;
}

std::string FormatUserEntry(const std::string& name, const std::string& password) {
    std::string scrambled = password;
    ScramblePassword(scrambled, name);
    return UrlEncode(name) + "|" + UrlEncode(scrambled) + ".";
}

} // namespace

const char* AnonymousLoginId() {
    return kAnonymousLoginId;
}

std::string AnonymousDisplayName() {
    return Tr("로그인 안한 사용자 ");
}

void ScramblePassword(std::string& text, std::string_view key) {
    if (key.empty()) {
        return;
    }
    unsigned factor = static_cast<unsigned char>(key[0]);
    for (std::size_t i = 0; i < text.size(); ++i) {
        factor = (factor * static_cast<unsigned char>(key[i % key.size()])) & 0xffu;
        text[i] = static_cast<char>(static_cast<unsigned char>(text[i]) ^ factor);
    }
}

AccountStore::AccountStore(MountManager& mounts, QuilloConfig& config) : m_mounts(mounts), m_config(config) {
    Load();
    m_mounts.SetChangeListener([this] { RebuildLists(); });
}

AccountStore::~AccountStore() {
    m_mounts.SetChangeListener({});
    Save();
}

void AccountStore::Load() {
    std::vector<std::string> users;
    std::vector<std::string> authorities;
    {
        ScopedLock listLock(m_config.GetListLock());
        users = m_config.users;
        authorities = m_config.authorities;
    }
    std::lock_guard lock(m_lock);
    m_accounts.clear();
    for (const std::string& element : users) {
        std::vector<std::string> pieces;
        Split(element, '|', pieces);
        std::string name = pieces.size() == 2 ? FormDecode(pieces[0]) : std::string();
        if (name.empty()) {
            Trace(LOG_WARNING, "%s", Tr("설정파일 해석중 오류 발생: User"));
            continue;
        }
        std::string password = FormDecode(pieces[1]);
        if (!password.empty()) {
            password.pop_back(); // the "." written after the encoded text
        }
        ScramblePassword(password, name);
        m_accounts.insert_or_assign(std::move(name), UserAccount{std::move(password), SequenceId()});
    }
    if (m_accounts.count(kAnonymousLoginId) == 0) {
        m_accounts.emplace(kAnonymousLoginId, UserAccount{});
    }

    m_accessList.clear();
    for (const std::string& element : authorities) {
        std::vector<std::string> pieces;
        Split(element, '|', pieces);
        uint32_t shareId = 0;
        bool isDirectory = false;
        auto account = pieces.size() == 3 ? m_accounts.find(FormDecode(pieces[0])) : m_accounts.end();
        if (account == m_accounts.end() ||
            !m_mounts.GetMountIdentity(FormDecode(pieces[1]), shareId, isDirectory)) {
            Trace(LOG_WARNING, "%s", Tr("설정파일 해석중 오류 발생: Authority"));
            continue;
        }
        m_accessList.insert_or_assign(AccessKey(account->second.id.GetId(), shareId), ParseRights(pieces[2]));
    }
}

void AccountStore::Save() {
    RebuildLists();
    m_config.Save();
}

void AccountStore::RebuildLists() {
    ScopedLock storeLock(m_storeLock);
    std::vector<std::string> users;
    std::vector<std::string> authorities;
    {
        std::shared_lock lock(m_lock);
        std::vector<std::string> shareNames;
        m_mounts.ListMountNames(shareNames);
        std::vector<ShareIdentity> shares;
        shares.reserve(shareNames.size());
        for (std::string& shareName : shareNames) {
            uint32_t id = 0;
            bool isDirectory = false;
            if (m_mounts.GetMountIdentity(shareName, id, isDirectory)) {
                shares.push_back({std::move(shareName), id});
            }
        }
        for (const auto& [name, account] : m_accounts) {
            users.push_back(FormatUserEntry(name, account.password));
            for (const ShareIdentity& share : shares) {
                const auto rights = m_accessList.find(AccessKey(account.id.GetId(), share.id));
                if (rights != m_accessList.end()) {
                    authorities.push_back(UrlEncode(name) + "|" + UrlEncode(share.name) + "|" +
                                          FormatRights(rights->second));
                }
            }
        }
    }
    ScopedLock listLock(m_config.GetListLock());
    m_config.users = std::move(users);
    m_config.authorities = std::move(authorities);
}

bool AccountStore::GetPassword(const std::string& name, std::string& password) const {
    std::shared_lock lock(m_lock);
    const auto found = m_accounts.find(name);
    if (found == m_accounts.end()) {
        return false;
    }
    password = found->second.password;
    return true;
}

bool AccountStore::ChangePassword(const std::string& name, const std::string& password) {
    {
        std::lock_guard lock(m_lock);
        const auto found = m_accounts.find(name);
        if (found == m_accounts.end()) {
            return false;
        }
        found->second.password = password;
    }
    Save();
    return true;
}

bool AccountStore::AddUser(const std::string& name, const std::string& password) {
    if (name.empty()) {
        return false;
    }
    {
        std::lock_guard lock(m_lock);
        if (!m_accounts.emplace(name, UserAccount{password, SequenceId()}).second) {
            return false;
        }
    }
    Save();
    return true;
}

bool AccountStore::RemoveUser(const std::string& name) {
    {
        std::lock_guard lock(m_lock);
        const auto found = m_accounts.find(name);
        if (found == m_accounts.end()) {
            return false;
        }
        const uint32_t accountId = found->second.id.GetId();
        m_accounts.erase(found);
        // Its rights can never be reached again (a new account of that name gets a new id).
        std::erase_if(m_accessList,
                      [accountId](const auto& entry) { return entry.first.first == accountId; });
    }
    Save();
    return true;
}

void AccountStore::SetUserList(const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        if (!name.empty()) {
            AddUser(name, std::string()); // an existing account is left alone
        }
    }
    std::vector<std::string> current;
    ListUserNames(current);
    for (const std::string& name : current) {
        if (std::find(names.begin(), names.end(), name) == names.end()) {
            RemoveUser(name);
        }
    }
}

bool AccountStore::SetAccounts(const std::vector<std::pair<std::string, std::string>>& accounts) {
    std::map<std::string, std::string> wanted;
    for (const auto& [name, password] : accounts) {
        if (name.empty() || !wanted.emplace(name, password).second) {
            return false;
        }
    }
    bool changed = false;
    {
        std::lock_guard lock(m_lock);
        if (wanted.count(kAnonymousLoginId) == 0) {
            wanted.emplace(kAnonymousLoginId, m_accounts[kAnonymousLoginId].password);
        }
        for (auto account = m_accounts.begin(); account != m_accounts.end();) {
            if (wanted.count(account->first) != 0) {
                ++account;
                continue;
            }
            const uint32_t accountId = account->second.id.GetId();
            std::erase_if(m_accessList,
                          [accountId](const auto& entry) { return entry.first.first == accountId; });
            account = m_accounts.erase(account);
            changed = true;
        }
        for (auto& [name, password] : wanted) {
            const auto [account, added] = m_accounts.try_emplace(name, UserAccount{password, SequenceId()});
            if (!added && account->second.password != password) {
                account->second.password = std::move(password);
                changed = true;
            }
            changed = changed || added;
        }
    }
    if (changed) {
        Save();
    }
    return true;
}

void AccountStore::ListUserNames(std::vector<std::string>& names) const {
    std::shared_lock lock(m_lock);
    names.clear();
    names.reserve(m_accounts.size());
    for (const auto& entry : m_accounts) {
        names.push_back(entry.first);
    }
}

bool AccountStore::FindAccessKey(const std::string& account, const std::string& share, AccessKey& key,
                                 bool& isDirectory) const {
    const auto found = m_accounts.find(account);
    uint32_t shareId = 0;
    if (found == m_accounts.end() || !m_mounts.GetMountIdentity(share, shareId, isDirectory)) {
        return false;
    }
    key = AccessKey(found->second.id.GetId(), shareId);
    return true;
}

bool AccountStore::GetAuthority(const std::string& account, const std::string& share,
                                AuthoritySet& rights) const {
    std::shared_lock lock(m_lock);
    AccessKey key;
    bool isDirectory = false;
    if (!FindAccessKey(account, share, key, isDirectory)) {
        return false;
    }
    const auto stored = m_accessList.find(key);
    const AuthoritySet value =
        stored != m_accessList.end() ? stored->second : AuthoritySet(AuthoritySet::kDefault);
    rights = ApplyFileShareRule(value, isDirectory);
    return true;
}

bool AccountStore::SetAuthority(const std::string& account, const std::string& share, AuthoritySet rights) {
    return SetAuthorities({AuthorityChange{account, share, rights}}).front();
}

std::vector<bool> AccountStore::SetAuthorities(const std::vector<AuthorityChange>& changes) {
    std::vector<bool> stored;
    stored.reserve(changes.size());
    {
        std::lock_guard lock(m_lock);
        for (const AuthorityChange& change : changes) {
            AccessKey key;
            bool isDirectory = false;
            const bool found = FindAccessKey(change.account, change.share, key, isDirectory);
            if (found) {
                m_accessList.insert_or_assign(key, ApplyFileShareRule(change.rights, isDirectory));
            }
            stored.push_back(found);
        }
    }
    if (std::find(stored.begin(), stored.end(), true) != stored.end()) {
        Save();
    }
    return stored;
}

bool AccountStore::CheckPassword(const std::string& name, const std::string& password) const {
    if (name.empty()) {
        return false;
    }
    std::shared_lock lock(m_lock);
    const auto found = m_accounts.find(name);
    return found != m_accounts.end() && found->second.password == password;
}

} // namespace Vuxo
