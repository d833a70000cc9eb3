// CSettingDlg_Skin: the Skins page of the preferences: the skins the skin manager knows, the default one
// selected. OK stores the selected name as the default skin and makes it the skin manager's default when
// that skin exists. Made by COptionPage inside the preferences dialog, which owns it; GUI thread only.
#pragma once

#include "shell/prefs/OptionEnvironment.h"

#include <QWidget>

class QTreeWidget;

namespace Vuxo {

class CSettingDlg_Skin final : public QWidget {
    Q_OBJECT
public:
    CSettingDlg_Skin(OptionEnvironment& environment, QWidget* parent);

    void Apply();

private:
    OptionEnvironment& m_environment;
    QTreeWidget* m_skins = nullptr;
};

} // namespace Vuxo
