// The platform services the main frame and its dialogs use, bundled so the program hands over the Qt set
// (shell/app/QtShellPlatform.h) and tests a set of fakes. The references are not owned; the bundle's owner
// keeps the services alive longer than the frame.
#pragma once

#include "shell/platform/AutostartEntry.h"
#include "shell/platform/MessageBoxes.h"
#include "shell/platform/ModalRunner.h"
#include "shell/platform/PathPicker.h"
#include "shell/platform/TrayIcon.h"
#include "shell/platform/UrlOpener.h"

namespace Vuxo {

struct ShellPlatform {
    MessageBoxes& boxes;
    PathPicker& picker;
    UrlOpener& urlOpener;
    TrayIcon& tray;
    AutostartEntry& autostart;
    // Every dialog (about, share settings, language choice, preferences) runs through it.
    ModalRunner& runner;
};

} // namespace Vuxo
