#include "service/server/RunningCheckCancel.h"

#include "core/http_client/HttpConnection.h"

namespace Vuxo {

void RunningCheckCancel::Cancel() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_cancelled = true;
    if (m_connection != nullptr) {
        m_connection->Cancel();
    }
}

RunningCheckCancel::Scope::Scope(RunningCheckCancel* cancel, BareHttpConnection& connection)
    : m_cancel(cancel) {
    if (m_cancel == nullptr) {
        return;
    }
    const std::lock_guard<std::mutex> lock(m_cancel->m_mutex);
    m_tooLate = m_cancel->m_cancelled;
    if (!m_tooLate) {
        m_cancel->m_connection = &connection;
    }
}

RunningCheckCancel::Scope::~Scope() {
    if (m_cancel != nullptr) {
        const std::lock_guard<std::mutex> lock(m_cancel->m_mutex);
        m_cancel->m_connection = nullptr;
    }
}

} // namespace Vuxo
