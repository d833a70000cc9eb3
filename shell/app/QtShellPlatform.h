// The program's set of platform services: the Qt implementations behind every interface of ShellPlatform,
// owned together for the main frame's run. Made and destroyed by the program's entry on the GUI thread;
// it outlives the frame.
#pragma once

#include "shell/dialogs/QtMessageBoxes.h"
#include "shell/platform/ShellPlatform.h"

namespace Vuxo {

class QtShellPlatform {
public:
    QtShellPlatform() = default;
    QtShellPlatform(const QtShellPlatform&) = delete;
    QtShellPlatform& operator=(const QtShellPlatform&) = delete;

    ShellPlatform Get() {
        return ShellPlatform{m_boxes, m_picker, m_urlOpener, m_tray, m_autostart, m_runner};
    }

private:
    QtModalRunner m_runner;
    QtUrlOpener m_urlOpener;
    QtMessageBoxes m_boxes{m_runner, m_urlOpener};
    QtPathPicker m_picker;
    QtTrayIcon m_tray;
    XdgAutostartEntry m_autostart;
};

} // namespace Vuxo
