// CSettingDlg_Plugin: the Plug-ins page of the preferences: every loaded plug-in with the name (in the
// window's language), version and maker it gives of itself. It edits nothing. Made by COptionPage inside
// the preferences dialog, which owns it; GUI thread only.
#pragma once

#include "shell/prefs/OptionEnvironment.h"

#include <QWidget>

namespace Vuxo {

class CSettingDlg_Plugin final : public QWidget {
    Q_OBJECT
public:
    CSettingDlg_Plugin(OptionEnvironment& environment, QWidget* parent);

    void Apply() {}
};

} // namespace Vuxo
