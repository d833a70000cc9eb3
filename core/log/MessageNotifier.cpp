#include "core/log/MessageNotifier.h"

#include <mutex>

namespace Vuxo {

void MessageNotifier::SetTarget(NotificationTarget* target, unsigned message, uintptr_t wParam,
                                intptr_t lParam) {
    std::unique_lock guard(m_lock);
    m_target = target;
    m_message = message;
    m_wParam = wParam;
    m_lParam = lParam;
}

void MessageNotifier::Notify() {
    std::shared_lock guard(m_lock);
    if (m_target) {
        m_target->PostNotification(m_message, m_wParam, m_lParam);
    }
}

void MessageNotifier::NotifyUrgently() {
    std::shared_lock guard(m_lock);
    if (m_target) {
        m_target->PostUrgentNotification(m_message, m_wParam, m_lParam);
    }
}

} // namespace Vuxo
