#include "core/http/AddressCounts.h"

namespace Vuxo {

void AddressCounts::SetCaps(int heads, int stalled) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_headCap = heads;
    m_stalledCap = stalled;
}

bool AddressCounts::TryAdd(uint32_t address, AddressState state) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const int cap = state == AddressState::Head ? m_headCap : m_stalledCap;
    auto it = m_counts.find(address);
    if (it == m_counts.end()) {
        if (cap <= 0) {
            return false;
        }
        it = m_counts.emplace(address, Counts{}).first;
    }
    int& count = Of(it->second, state);
    if (count >= cap) {
        return false;
    }
    ++count;
    return true;
}

void AddressCounts::Remove(uint32_t address, AddressState state) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_counts.find(address);
    if (it == m_counts.end()) {
        return;
    }
    int& count = Of(it->second, state);
    count = count > 0 ? count - 1 : 0;
    if (it->second.heads == 0 && it->second.stalled == 0) {
        m_counts.erase(it);
    }
}

int AddressCounts::Count(uint32_t address, AddressState state) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_counts.find(address);
    if (it == m_counts.end()) {
        return 0;
    }
    Counts counts = it->second;
    return Of(counts, state);
}

void AddressPlaces::Bind(AddressCounts* counts, uint32_t address, bool holdsHead) {
    GiveAll();
    m_counts = counts;
    m_address = address;
    m_head = holdsHead && counts != nullptr;
}

bool AddressPlaces::Take(AddressState state) {
    bool& held = Held(state);
    if (!held && m_counts != nullptr) {
        held = m_counts->TryAdd(m_address, state);
        return held;
    }
    return true;
}

void AddressPlaces::Give(AddressState state) {
    bool& held = Held(state);
    if (held) {
        held = false;
        m_counts->Remove(m_address, state);
    }
}

void AddressPlaces::GiveAll() {
    Give(AddressState::Head);
    Give(AddressState::Stalled);
}

} // namespace Vuxo
