// The platform services the main frame uses, bundled so the program hands over the Qt set and tests a set
// of fakes. The references are not owned; the bundle's owner keeps the services alive longer than the frame.
#pragma once

#include "shell/platform/AutostartEntry.h"
#include "shell/platform/MessageBoxes.h"
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
};

// The Qt implementations, owned together (the program's set).
class QtShellPlatform {
public:
    QtShellPlatform() = default;
    QtShellPlatform(const QtShellPlatform&) = delete;
    QtShellPlatform& operator=(const QtShellPlatform&) = delete;

    ShellPlatform Get() { return ShellPlatform{m_boxes, m_picker, m_urlOpener, m_tray, m_autostart}; }

private:
    QtMessageBoxes m_boxes;
    QtPathPicker m_picker;
    QtUrlOpener m_urlOpener;
    QtTrayIcon m_tray;
    XdgAutostartEntry m_autostart;
};

} // namespace Vuxo
