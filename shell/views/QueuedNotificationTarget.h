// Delivers the notifications of a MessageNotifier (log queue, transfer-status aggregator) on the GUI
// thread. PostNotification runs on any thread, with the notifier's lock held: it only queues one call to
// the handler into this object's thread and returns. Bursts coalesce: while a call is queued and has not
// started, further notifications add nothing; the flag is cleared before the handler runs, so a
// notification that arrives during the handler queues the next call and nothing is missed.
// Owned by the view that connects it; queued calls die with the object, and the view disconnects it from
// its notifier (SetTarget null) before it goes.
#pragma once

#include "core/log/MessageNotifier.h"

#include <QObject>

#include <atomic>
#include <functional>

namespace Vuxo {

class QueuedNotificationTarget final : public QObject, public NotificationTarget {
    Q_OBJECT
public:
    QueuedNotificationTarget(std::function<void()> handler, QObject* parent);

    void PostNotification(unsigned message, uintptr_t wParam, intptr_t lParam) override;

    // Whether a call is queued and has not started yet.
    bool IsPending() const { return m_pending.load(); }

private:
    void Deliver();

    std::function<void()> m_handler;
    std::atomic<bool> m_pending{false};
};

} // namespace Vuxo
