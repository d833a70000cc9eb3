#include "shell/platform/TrayIcon.h"

#include <QSystemTrayIcon>

namespace Vuxo {

class QtTrayIcon::Impl {
public:
    QSystemTrayIcon icon;
    std::function<void(TrayEvent)> handler;
};

QtTrayIcon::QtTrayIcon() : m_impl(std::make_unique<Impl>()) {
    QObject::connect(&m_impl->icon, &QSystemTrayIcon::activated, [impl = m_impl.get()](auto reason) {
        if (!impl->handler) {
            return;
        }
        if (reason == QSystemTrayIcon::Trigger) {
            impl->handler(TrayEvent::Click);
        } else if (reason == QSystemTrayIcon::DoubleClick) {
            impl->handler(TrayEvent::DoubleClick);
        }
    });
}

QtTrayIcon::~QtTrayIcon() = default;

bool QtTrayIcon::IsAvailable() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}
void QtTrayIcon::SetIcon(const QIcon& icon) {
    m_impl->icon.setIcon(icon);
}
void QtTrayIcon::SetToolTip(const QString& text) {
    m_impl->icon.setToolTip(text);
}
void QtTrayIcon::SetContextMenu(QMenu* menu) {
    m_impl->icon.setContextMenu(menu);
}
void QtTrayIcon::SetEventHandler(std::function<void(TrayEvent)> handler) {
    m_impl->handler = std::move(handler);
}
void QtTrayIcon::Show() {
    m_impl->icon.show();
}
void QtTrayIcon::Hide() {
    m_impl->icon.hide();
}
bool QtTrayIcon::IsVisible() const {
    return m_impl->icon.isVisible();
}

void QtTrayIcon::ShowBalloon(const QString& title, const QString& text, int milliseconds) {
    m_impl->icon.showMessage(title, text, QSystemTrayIcon::Information, milliseconds);
}

} // namespace Vuxo
