#include "shell/views/QueuedNotificationTarget.h"

#include <QMetaObject>

#include <utility>

namespace Vuxo {

QueuedNotificationTarget::QueuedNotificationTarget(std::function<void()> handler, QObject* parent)
    : QObject(parent), m_handler(std::move(handler)) {}

void QueuedNotificationTarget::PostNotification(unsigned, uintptr_t, intptr_t) {
    if (m_pending.exchange(true)) {
        return;
    }
    QMetaObject::invokeMethod(this, &QueuedNotificationTarget::Deliver, Qt::QueuedConnection);
}

void QueuedNotificationTarget::Deliver() {
    m_pending.store(false);
    if (m_handler) {
        m_handler();
    }
}

} // namespace Vuxo
