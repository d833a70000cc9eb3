// The main frame's preferences command: the dialog, then what follows its OK (the port of a running
// server, the language notice, the connection limits, the shown address, the save).
#include "core/net/LocalAddresses.h"
#include "service/access/ConnectionCountLimitManager.h"
#include "service/config/QuilloConfig.h"
#include "service/plugins/PluginManager.h"
#include "service/server/QuilloServer.h"
#include "service/server/RunningCheckCancel.h"
#include "service/skins/SkinManager.h"
#include "shell/frame/FrameText.h"
#include "shell/frame/MainFrame.h"
#include "shell/prefs/COptionDlg.h"

#include <QApplication>

#include <memory>

namespace Vuxo {

namespace {

std::vector<std::string> LocalAddresses() {
    std::vector<std::string> addresses;
    GetLocalIPv4Addresses(addresses);
    return addresses;
}

// The server's own connection test, cancelled when the dialog that asked for it goes. One cancel per
// dialog: closing the dialog ends a test in progress, and one that had not begun yet.
ConnectionCheck ServerConnectionCheck() {
    auto cancel = std::make_shared<RunningCheckCancel>();
    return ConnectionCheck{
        [cancel](const RunningCheckRequest& request) { return RunRunningCheck(request, cancel.get()); },
        [cancel] { cancel->Cancel(); }};
}

} // namespace

void CMainFrame::SetConnectionCheck(ConnectionCheck check) {
    m_connectionCheck = std::move(check);
}

void CMainFrame::OnPreferences() {
    // One dialog at a time: a key or the tray may ask again while it is open.
    if (m_preferencesOpen) {
        return;
    }
    m_preferencesOpen = true;
    const bool running = ServerRunning();
    m_config.wasRunning = running;
    if (running) {
        m_config.port = m_server->GetPort();
    }
    const uint16_t oldPort = m_config.port.load();
    const std::string oldLanguage = m_config.uiLanguageFile.Get();

    OptionEnvironment environment{m_config,
                                  *m_server,
                                  SkinManager::GetInstance(),
                                  PluginManager::GetInstance(),
                                  m_platform,
                                  m_programPath,
                                  m_programFolder,
                                  &LocalAddresses,
                                  m_connectionCheck.run ? m_connectionCheck : ServerConnectionCheck()};
    int result = QDialog::Rejected;
    {
        QWidget* active = QApplication::activeWindow();
        COptionDlg dialog(environment, active != nullptr ? active : this);
        result = m_platform.runner.Run(dialog);
    }
    m_preferencesOpen = false;
    if (result == QDialog::Accepted) {
        AfterPreferences(oldPort, oldLanguage);
    }
}

void CMainFrame::AfterPreferences(uint16_t oldPort, const std::string& oldLanguage) {
    const uint16_t port = m_config.port.load();
    if (port != oldPort && ServerRunning() && !m_server->ChangePort(port)) {
        m_config.port = oldPort;
        Box(FrameText("포트를 변경하지 못했습니다. 해당 포트가 이미 사용중인 것 같습니다."),
            FrameText("환경설정"), BoxIcon::Information);
    }
    if (m_config.uiLanguageFile.Get() != oldLanguage) {
        Box(FrameText("변경된 언어 설정은 Corvanta를 다시 시작했을 때 적용됩니다."), FrameText("환경설정"),
            BoxIcon::Information);
    }
    ConnectionCountLimitManager& limits = m_server->GetConnectionCountLimitManager();
    limits.SetTotalLimit(m_config.useDownloadConnectionLimit.load(), m_config.downloadConnectionLimit.load());
    limits.SetPerIPLimit(m_config.usePerIPDownloadConnectionLimit.load(),
                         m_config.perIPdownloadConnectionLimit.load());
    if (ServerRunning()) {
        m_server->StartUpdateIPStringThread();
    }
    m_config.Save();
    m_autoStartRegistered = m_platform.autostart.IsRegisteredFor(m_programPath);
    ShowRootAddress();
}

} // namespace Vuxo
