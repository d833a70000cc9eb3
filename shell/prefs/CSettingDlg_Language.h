// CSettingDlg_Language: the Language page of the preferences: the UI language, chosen among the built-in
// texts and the language files of the program folder's Language/. Each entry keeps its own file name, which
// OK stores; the language itself takes effect at the next start (the main frame says so after OK).
// Made by COptionPage inside the preferences dialog, which owns it; GUI thread only.
#pragma once

#include "shell/prefs/OptionEnvironment.h"

#include <QWidget>

class QComboBox;

namespace Vuxo {

class CSettingDlg_Language final : public QWidget {
    Q_OBJECT
public:
    CSettingDlg_Language(OptionEnvironment& environment, QWidget* parent);

    void Apply();

private:
    OptionEnvironment& m_environment;
    QComboBox* m_languages = nullptr;
};

} // namespace Vuxo
