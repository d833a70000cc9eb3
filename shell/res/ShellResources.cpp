#include "shell/res/ShellResources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE declares its initialiser in the enclosing namespace, so it is called from the global one.
static void InitShellResourceData() {
    Q_INIT_RESOURCE(shell);
}

namespace Vuxo {

void InitShellResources() {
    static const bool initialised = [] {
        InitShellResourceData();
        return true;
    }();
    (void)initialised;
}

QIcon LoadShellIcon(const QString& name) {
    InitShellResources();
    QIcon icon;
    for (const int size : {16, 32, 64}) {
        icon.addFile(QStringLiteral(":/icons/%1-%2.png").arg(name).arg(size), QSize(size, size));
    }
    return icon;
}

} // namespace Vuxo
