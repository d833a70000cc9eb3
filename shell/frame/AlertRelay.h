// Carries the server's LOG_ALERT texts from whatever thread logged them to the GUI thread, where they are
// shown one after another. Post queues the text and, unless a delivery is already queued, one queued call;
// the delivery shows every waiting text in order, and texts that arrive while a box is open wait for it to
// close instead of opening boxes inside boxes. Nothing is lost and a burst costs one queued call.
// Owned by the main frame; its queued calls die with it. The mutex guards the waiting texts and the flag.
#pragma once

#include <QObject>
#include <QString>

#include <deque>
#include <functional>
#include <mutex>
#include <string>

namespace Vuxo {

class AlertRelay final : public QObject {
    Q_OBJECT
public:
    using ShowFunction = std::function<void(const QString& text)>;

    AlertRelay(ShowFunction show, QObject* parent);

    // Any thread.
    void Post(const std::u16string& text);
    // GUI thread: shows every waiting text (what the queued call runs).
    void Deliver();

private:
    bool TakeNext(QString& text);

    ShowFunction m_show;
    std::mutex m_mutex;
    std::deque<QString> m_waiting;
    bool m_queued = false;
    bool m_showing = false; // GUI thread only
};

} // namespace Vuxo
