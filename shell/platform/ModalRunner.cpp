#include "shell/platform/ModalRunner.h"

#include <QDialog>
#include <QGuiApplication>

namespace Vuxo {

int QtModalRunner::Run(QDialog& dialog) {
    return dialog.exec();
}

bool QtModalRunner::IsInteractive() const {
    return QGuiApplication::platformName() != QStringLiteral("offscreen");
}

} // namespace Vuxo
