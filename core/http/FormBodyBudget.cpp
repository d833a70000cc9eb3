#include "core/http/FormBodyBudget.h"

namespace Vuxo {

FormBodyBudget& FormBodyBudget::Shared() {
    static FormBodyBudget budget;
    return budget;
}

bool FormBodyBudget::Reserve(int64_t bytes) {
    int64_t held = m_held.load();
    do {
        if (bytes < 0 || bytes > m_limit - held) {
            return false;
        }
    } while (!m_held.compare_exchange_weak(held, held + bytes));
    return true;
}

void FormBodyBudget::Release(int64_t bytes) {
    m_held.fetch_sub(bytes);
}

} // namespace Vuxo
