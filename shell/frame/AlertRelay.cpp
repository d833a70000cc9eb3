#include "shell/frame/AlertRelay.h"

#include <QMetaObject>

namespace Vuxo {

AlertRelay::AlertRelay(ShowFunction show, QObject* parent) : QObject(parent), m_show(std::move(show)) {}

void AlertRelay::Post(const std::u16string& text) {
    bool queue = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_waiting.push_back(QString::fromStdU16String(text));
        queue = !m_queued;
        m_queued = true;
    }
    if (queue) {
        QMetaObject::invokeMethod(this, &AlertRelay::Deliver, Qt::QueuedConnection);
    }
}

bool AlertRelay::TakeNext(QString& text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_queued = false;
    if (m_waiting.empty()) {
        return false;
    }
    text = std::move(m_waiting.front());
    m_waiting.pop_front();
    return true;
}

void AlertRelay::Deliver() {
    if (m_showing) {
        return; // the loop below, further up the stack, takes this text when its box closes
    }
    m_showing = true;
    QString text;
    while (TakeNext(text)) {
        m_show(text);
    }
    m_showing = false;
}

} // namespace Vuxo
