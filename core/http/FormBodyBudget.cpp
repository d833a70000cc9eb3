#include "core/http/FormBodyBudget.h"

namespace Vuxo {

FormBodyBudget& FormBodyBudget::Shared() {
    static FormBodyBudget budget;
    return budget;
}

bool FormBodyBudget::Reserve(const std::string& address, int64_t bytes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto found = m_heldByAddress.find(address);
    const int64_t byAddress = found != m_heldByAddress.end() ? found->second : 0;
    if (bytes < 0 || bytes > m_limit - m_held || bytes > m_addressShare - byAddress) {
        return false;
    }
    if (bytes > 0) {
        m_held += bytes;
        m_heldByAddress[address] = byAddress + bytes;
    }
    return true;
}

void FormBodyBudget::Release(const std::string& address, int64_t bytes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_held -= bytes;
    const auto found = m_heldByAddress.find(address);
    if (found != m_heldByAddress.end() && (found->second -= bytes) <= 0) {
        m_heldByAddress.erase(found);
    }
}

int64_t FormBodyBudget::GetHeld() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_held;
}

int64_t FormBodyBudget::GetHeld(const std::string& address) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto found = m_heldByAddress.find(address);
    return found != m_heldByAddress.end() ? found->second : 0;
}

} // namespace Vuxo
