#include "service/access/ConnectionCountLimitManager.h"

#include <algorithm>
#include <utility>

namespace Vuxo {

CounterToken::CounterToken(CounterToken&& other) noexcept
    : m_manager(std::exchange(other.m_manager, nullptr)), m_index(other.m_index),
      m_generation(other.m_generation) {}

CounterToken& CounterToken::operator=(CounterToken&& other) noexcept {
    if (this != &other) {
        Release();
        m_manager = std::exchange(other.m_manager, nullptr);
        m_index = other.m_index;
        m_generation = other.m_generation;
    }
    return *this;
}

void CounterToken::Release() {
    if (ICounterTokenManager* manager = std::exchange(m_manager, nullptr)) {
        manager->Release(m_index, m_generation);
    }
}

void ConnectionCountLimitManager::SetTotalLimit(bool use, int limit) {
    ScopedLock lock(m_lock);
    m_totalLimit = use ? limit : kNoLimit;
}

void ConnectionCountLimitManager::SetPerIPLimit(bool use, int limit) {
    ScopedLock lock(m_lock);
    m_perAddressLimit = use ? limit : kNoLimit;
}

void ConnectionCountLimitManager::Acquire(CounterToken& token, const std::string& address) {
    token.Release();
    ScopedLock lock(m_lock);
    if (m_totalCount >= m_totalLimit) {
        throw ConnectionCountLimitException(ConnectionCountLimitException::kTotalLimit);
    }
    auto entry = std::find_if(m_entries.begin(), m_entries.end(), [&address](const AddressEntry& candidate) {
        return candidate.address == address;
    });
    const bool isNew = entry == m_entries.end();
    if (isNew ? m_perAddressLimit <= 0 : entry->count >= m_perAddressLimit) {
        // A refused new address leaves no entry behind, so refusals cannot make the table grow.
        throw ConnectionCountLimitException(ConnectionCountLimitException::kPerAddressLimit);
    }
    if (isNew) {
        entry = m_entries.insert(m_entries.end(), AddressEntry{address, 0});
    }
    ++m_totalCount;
    ++entry->count;
    token.m_manager = this;
    token.m_index = static_cast<unsigned>(entry - m_entries.begin());
    token.m_generation = m_generation;
}

void ConnectionCountLimitManager::Release(unsigned index, uint32_t generation) {
    ScopedLock lock(m_lock);
    if (generation != m_generation) {
        return; // taken before ResetCounts: its count is already forgotten
    }
    if (m_totalCount > 0) {
        --m_totalCount;
    }
    if (index < m_entries.size() && m_entries[index].count > 0) {
        --m_entries[index].count;
    }
    // Only trailing entries go, so the index of every live token still names its entry.
    while (!m_entries.empty() && m_entries.back().count <= 0) {
        m_entries.pop_back();
    }
}

void ConnectionCountLimitManager::ResetCounts() {
    ScopedLock lock(m_lock);
    m_totalCount = 0;
    m_entries.clear();
    ++m_generation;
}

int ConnectionCountLimitManager::GetTotalCount() const {
    ScopedLock lock(m_lock);
    return m_totalCount;
}

int ConnectionCountLimitManager::GetAddressCount(const std::string& address) const {
    ScopedLock lock(m_lock);
    for (const AddressEntry& entry : m_entries) {
        if (entry.address == address) {
            return entry.count;
        }
    }
    return 0;
}

std::size_t ConnectionCountLimitManager::GetAddressEntryCount() const {
    ScopedLock lock(m_lock);
    return m_entries.size();
}

} // namespace Vuxo
