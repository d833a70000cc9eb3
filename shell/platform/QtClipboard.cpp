#include "shell/platform/QtClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMetaObject>
#include <QString>
#include <QThread>

namespace Vuxo {

ClipboardProvider MakeQtClipboardProvider() {
    return [](const std::u16string& text) {
        auto* app = QGuiApplication::instance();
        if (app == nullptr) {
            return false;
        }
        const QString copy = QString::fromStdU16String(text);
        if (QThread::currentThread() == app->thread()) {
            QGuiApplication::clipboard()->setText(copy);
            return true;
        }
        return QMetaObject::invokeMethod(
            app, [copy] { QGuiApplication::clipboard()->setText(copy); }, Qt::QueuedConnection);
    };
}

} // namespace Vuxo
