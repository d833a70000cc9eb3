// The window-notification seam. A producer on any thread calls Notify(); the shell's NotificationTarget
// delivers the configured message on its GUI thread, so the core never touches a window.
// The target and its message are guarded by the notifier's reader-writer lock. Notify holds it shared
// while it calls the target, so connection threads that log at once never wait for each other (the
// target must take posts from several threads at once); SetTarget holds it exclusively, so once
// SetTarget(nullptr, ...) returns, the old target is no longer in use and may be destroyed.
#pragma once

#include "core/thread/Noncopyable.h"

#include <cstdint>
#include <shared_mutex>

namespace Vuxo {

class NotificationTarget {
public:
    // Queues the message for the GUI thread and returns at once; must not block on the GUI thread. May
    // be called on several threads at once.
    virtual void PostNotification(unsigned message, uintptr_t wParam, intptr_t lParam) = 0;
    // The same, for a producer about to lose what it holds unless the GUI takes it soon (a log queue
    // filling up): a target that lets notifications wait (QueuedNotificationTarget) delivers at once.
    virtual void PostUrgentNotification(unsigned message, uintptr_t wParam, intptr_t lParam) {
        PostNotification(message, wParam, lParam);
    }

protected:
    ~NotificationTarget() = default;
};

class MessageNotifier : private Noncopyable {
public:
    MessageNotifier() = default;
    virtual ~MessageNotifier() = default;

    // Stores the target (null for none) and the message it is sent.
    virtual void SetTarget(NotificationTarget* target, unsigned message, uintptr_t wParam, intptr_t lParam);
    // Posts the message to the target when one is set.
    virtual void Notify();
    // Posts it as urgent (PostUrgentNotification).
    void NotifyUrgently();

private:
    std::shared_mutex m_lock;
    NotificationTarget* m_target = nullptr;
    unsigned m_message = 0;
    uintptr_t m_wParam = 0;
    intptr_t m_lParam = 0;
};

} // namespace Vuxo
