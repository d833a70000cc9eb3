#include "shell/views/QueuedNotificationTarget.h"

#include <QMetaObject>

#include <utility>

namespace Vuxo {

QueuedNotificationTarget::QueuedNotificationTarget(std::function<void()> handler, QObject* parent,
                                                   int quietMs)
    : QObject(parent), m_handler(std::move(handler)), m_quietMs(quietMs) {
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(quietMs);
    connect(&m_quiet, &QTimer::timeout, this, &QueuedNotificationTarget::EndQuiet);
}

void QueuedNotificationTarget::PostNotification(unsigned, uintptr_t, intptr_t) {
    // The mark comes first: whoever ends a quiet period clears m_pending before it looks at m_again, so
    // a notification that still found m_pending set is seen there.
    m_again.store(true);
    if (!m_pending.exchange(true)) {
        QMetaObject::invokeMethod(this, &QueuedNotificationTarget::Deliver, Qt::QueuedConnection);
    }
}

void QueuedNotificationTarget::PostUrgentNotification(unsigned message, uintptr_t wParam, intptr_t lParam) {
    PostNotification(message, wParam, lParam);
    if (m_quietMs > 0 && !m_urgent.exchange(true)) {
        QMetaObject::invokeMethod(this, &QueuedNotificationTarget::EndQuietUrgently, Qt::QueuedConnection);
    }
}

void QueuedNotificationTarget::Deliver() {
    m_again.store(false);
    const bool quiet = m_quietMs > 0;
    if (!quiet) {
        m_pending.store(false);
    }
    if (m_handler) {
        m_handler();
    }
    if (quiet) {
        m_quietRunning = true;
        m_quiet.start();
    }
}

void QueuedNotificationTarget::EndQuiet() {
    if (!m_quietRunning) {
        return; // a call is queued already
    }
    m_quietRunning = false;
    m_quiet.stop();
    m_pending.store(false);
    if (m_again.exchange(false)) {
        m_pending.store(true);
        Deliver();
    }
}

void QueuedNotificationTarget::EndQuietUrgently() {
    m_urgent.store(false);
    EndQuiet();
}

} // namespace Vuxo
