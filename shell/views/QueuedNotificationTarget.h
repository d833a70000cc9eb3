// Delivers the notifications of a MessageNotifier (log queue, transfer-status aggregator) on the GUI
// thread. PostNotification runs on any thread, with the notifier's lock held: it only queues one call to
// the handler into this object's thread and returns. Bursts coalesce: while a call is queued and has not
// started, further notifications add nothing, and nothing is missed: one that arrives during the handler
// queues the next call. With a quiet period, notifications that arrive within that time after a call
// wait for its end and then make one call together, so that a server answering thousands of requests a
// second wakes the GUI thread a hundred times a second rather than thousands (every wake is a system call
// on a connection thread and a turn of the GUI's event loop); the first one after a quiet time is
// delivered at once, and so is an urgent one.
// Owned by the view that connects it; queued calls and the timer die with the object, and the view
// disconnects it from its notifier (SetTarget null) before it goes. The atomics are shared with the
// posting threads; m_quietRunning and the timer belong to the GUI thread.
#pragma once

#include "core/log/MessageNotifier.h"

#include <QObject>
#include <QTimer>

#include <atomic>
#include <functional>

namespace Vuxo {

class QueuedNotificationTarget final : public QObject, public NotificationTarget {
    Q_OBJECT
public:
    // The quiet period of the program's status and log views: a hundred refreshes a second at most, more
    // than a screen shows.
    static constexpr int kViewQuietMs = 10;

    // `quietMs` 0: no quiet period, every notification after a call's start queues the next one.
    QueuedNotificationTarget(std::function<void()> handler, QObject* parent, int quietMs = 0);

    void PostNotification(unsigned message, uintptr_t wParam, intptr_t lParam) override;
    // Ends a quiet period at once.
    void PostUrgentNotification(unsigned message, uintptr_t wParam, intptr_t lParam) override;

    // Whether a call is queued and has not started yet, or a quiet period runs.
    bool IsPending() const { return m_pending.load(); }

private:
    void Deliver();
    // The quiet period is over (its time ran out, or an urgent notification came): one call for what
    // arrived during it.
    void EndQuiet();
    void EndQuietUrgently();

    std::function<void()> m_handler;
    const int m_quietMs; // read by posting threads too, so not asked of the timer
    QTimer m_quiet;
    std::atomic<bool> m_pending{false}; // posters queue no call while it is set
    std::atomic<bool> m_again{false};   // a notification came since the last call started
    std::atomic<bool> m_urgent{false};  // an early end of the quiet period is queued
    bool m_quietRunning = false;
};

} // namespace Vuxo
