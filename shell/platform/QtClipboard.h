// The desktop clipboard as the core's clipboard provider (core/text/Clipboard.h). The program installs it
// at start; tests install a recording provider of their own instead.
#pragma once

#include "core/text/Clipboard.h"

namespace Vuxo {

// A provider that puts the text on QGuiApplication's clipboard. Called on the GUI thread it sets the text
// at once; from another thread it queues the change to the GUI thread and reports success.
ClipboardProvider MakeQtClipboardProvider();

} // namespace Vuxo
