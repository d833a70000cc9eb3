// CSettingDlg_Server: the Server page of the preferences: the port (refused outside 1-65535 before any
// page applies), the connection test, hidden files, the day log, the root listing, and which address the
// program shows for itself (a network card's, one typed in, or the public one).
// Made by COptionPage inside the preferences dialog, which owns it; GUI thread only. The connection test
// runs on a worker thread the page owns (ConnectionCheckThread), handed what it needs of the server on the
// GUI thread: its answer comes back by a queued call, which Qt drops when the page is gone, and the
// destructor cancels a test in progress and joins the worker.
#pragma once

#include "shell/prefs/ConnectionCheckThread.h"
#include "shell/prefs/OptionEnvironment.h"

#include <QWidget>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace Vuxo {

class CSettingDlg_Server final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kPortEditId = 1000;

    CSettingDlg_Server(OptionEnvironment& environment, QWidget* parent);
    ~CSettingDlg_Server() override;

    bool Validate();
    // The port edit gets the focus, then the box says what it takes.
    void Refuse();
    void Apply();

    // The page the user troubleshoots a failed connection test with, shipped in the program's folder.
    static QString TroubleshootingLink(const std::string& programFolder);

private:
    QWidget* MakePortGroup();
    QWidget* MakeAddressGroup();
    void Fill();
    void UpdateAddressControls();
    void RunConnectionCheck();
    void OnCheckAnswered(bool reachable);
    bool ReadPort(unsigned& port) const;

    OptionEnvironment& m_environment;
    QLineEdit* m_port = nullptr;
    QLineEdit* m_currentPort = nullptr;
    QPushButton* m_check = nullptr;
    QCheckBox* m_showHidden = nullptr;
    QCheckBox* m_writeLog = nullptr;
    QCheckBox* m_rootAccess = nullptr;
    QButtonGroup* m_addressChoice = nullptr;
    QComboBox* m_lancard = nullptr;
    QLineEdit* m_hostName = nullptr;
    ConnectionCheckThread m_worker;
};

} // namespace Vuxo
