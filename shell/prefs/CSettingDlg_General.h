// CSettingDlg_General: the General page of the preferences: check for a new version at start, start in
// the tray, start with the desktop session (the XDG autostart entry), and the button that runs the set-up
// wizard. Made by COptionPage inside the preferences dialog, which owns it; GUI thread only.
#pragma once

#include "shell/prefs/OptionEnvironment.h"

#include <QWidget>

class QCheckBox;

namespace Vuxo {

class CSettingDlg_General final : public QWidget {
    Q_OBJECT
public:
    CSettingDlg_General(OptionEnvironment& environment, QWidget* parent);

    void Apply();

private:
    void RunWizard();

    OptionEnvironment& m_environment;
    QCheckBox* m_versionCheck = nullptr;
    QCheckBox* m_bootOnTray = nullptr;
    QCheckBox* m_autostart = nullptr;
};

} // namespace Vuxo
