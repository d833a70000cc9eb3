// The shell's compiled-in icons under ":/icons/<name>-<size>.png" (sizes 16, 32 and 64).
#pragma once

#include <QIcon>
#include <QString>

namespace Vuxo {

// Registers the icon resources; calling it again does nothing more.
void InitShellResources();

// The icon `name` (for example "power") with all its sizes.
QIcon LoadShellIcon(const QString& name);

} // namespace Vuxo
