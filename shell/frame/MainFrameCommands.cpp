// The main frame's commands: the toolbars, the tray menu and the share list's menu send their ids here.
#include "core/log/Trace.h"
#include "core/platform/fs/FileCalls.h"
#include "core/text/Clipboard.h"
#include "core/text/Utf8.h"
#include "core/transfer/GuiTransferStatusAggregator.h"
#include "service/access/IPFilter.h"
#include "service/config/QuilloConfig.h"
#include "service/mounts/MountManager.h"
#include "service/server/QuilloServer.h"
#include "shell/dialogs/AboutDlg.h"
#include "shell/dialogs/MountSettingDlg.h"
#include "shell/frame/DriveRoot.h"
#include "shell/frame/FrameText.h"
#include "shell/frame/MainFrame.h"
#include "shell/views/MountView.h"
#include "shell/views/MyTabViewCtrl.h"
#include "shell/views/StatusView.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace Vuxo {

namespace {

// The address box's text as the copy and browse commands take it.
constexpr int kAddressLimit = 1024;

constexpr const char* kServerStoppedText = "서버가 작동중인 상태에서만 가능합니다.\n서버를 먼저 켜주세요.";
constexpr const char* kSelectSharesText = "하나 이상의 아이템을 선택해주세요.";

// Runs its function on every way out of a scope.
class ScopeExit {
public:
    explicit ScopeExit(std::function<void()> onExit) : m_onExit(std::move(onExit)) {}
    ~ScopeExit() { m_onExit(); }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;

private:
    std::function<void()> m_onExit;
};

// The folder an added path is browsed from next time: the folder itself, or the folder that holds a file.
std::string FolderToRemember(const std::string& path, PathKind kind) {
    if (kind == PathKind::Directory) {
        return path;
    }
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return path;
    }
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

} // namespace

void CMainFrame::ExecuteCommand(int commandId) {
    switch (commandId) {
    case ID_STARTSTOP:
        OnStartStop();
        break;
    case ID_PREFERENCES:
        OnPreferences();
        break;
    case ID_ADD_SHARE:
        OnAddShare();
        break;
    case ID_EXIT:
        OnExit();
        break;
    case ID_DELETE_SHARES:
        OnDeleteShares();
        break;
    case ID_LOG_FILTER:
    case ID_SPEED_LIMIT:
        OnNotSupported();
        break;
    case ID_CLEAR_LOG:
        m_tabView->ClearLog();
        break;
    case ID_SHARE_SETTINGS:
        OnShareSettings();
        break;
    case ID_ABOUT_BUTTON:
    case ID_APP_ABOUT:
        OnAbout();
        break;
    case ID_DISCONNECT:
        OnDisconnect();
        break;
    case ID_COPY_ADDRESS:
        OnCopyAddress();
        break;
    case ID_BROWSE:
        OnBrowse();
        break;
    case ID_COPY_WEB_ADDRESS:
        OnCopyWebAddress();
        break;
    case ID_RENAME_SHARE:
        m_tabView->GetMountView().BeginRename();
        break;
    case ID_RESTORE:
        OnRestore();
        break;
    default:
        break;
    }
}

void CMainFrame::OnStartStop() {
    if (ServerRunning()) {
        if (TransferRowCount() > 0 &&
            Box(FrameText("아직 접속중인 사용자가 있습니다. 서버를 중지할까요?"), FrameText("서버 중지 확인"),
                BoxIcon::Question, BoxButtons::YesNo) != BoxAnswer::Yes) {
            return;
        }
        m_server->Stop();
        UpdateRunningState(false);
        return;
    }
    if (m_server->Start()) {
        UpdateRunningState(true);
    } else {
        // The server's own alert names the port and the reason.
        Trace(LOG_WARNING, "%s", Tr("서버를 시작하지 못했습니다."));
    }
}

void CMainFrame::OnAddShare() {
    const std::optional<QString> picked = m_platform.picker.PickFileOrFolder(
        DialogParent(), FrameText("공유 추가할 파일이나 폴더를 선택하여 주십시오"),
        QString::fromStdString(m_config.lastAddMountDirectory.Get()));
    if (!picked || picked->isEmpty()) {
        return;
    }
    const std::string path = picked->toStdString();
    PathInfo info;
    if (QueryPath(path, info) && info.kind != PathKind::Missing) {
        m_config.lastAddMountDirectory.Set(FolderToRemember(path, info.kind));
    }
    AddShareByPath(path);
}

bool CMainFrame::AddShareByPath(const std::string& localPath) {
    MountManager& mounts = m_server->GetMountManager();
    const std::string name = mounts.AddMount(localPath);
    if (name.empty()) {
        return false;
    }
    if (IsDriveRoot(localPath)) {
        Box(FrameText(
                "드라이브의 최상위 폴더를 공유하셨습니다.\n임의의 사용자로부터 컴퓨터를 보호하기 위해서는 "
                "가급적 최상위 폴더 공유를 하지 않는 것이 좋습니다."),
            FrameText("경고"), BoxIcon::Warning);
    }
    Mount mount;
    return m_tabView->GetMountView().AddMount(mounts.GetMount(name, mount) ? mount.localPath : localPath,
                                              name);
}

void CMainFrame::OnExit() {
    QString text = FrameText("Corvanta를 종료하시겠습니까?");
    if (TransferRowCount() > 0) {
        text += FrameText(" (아직 접속중인 사용자가 있습니다)");
    }
    if (Box(text, FrameText("종료 확인"), BoxIcon::Question, BoxButtons::YesNo) == BoxAnswer::Yes) {
        RequestExit();
    }
}

void CMainFrame::OnDeleteShares() {
    CMountView& shares = m_tabView->GetMountView();
    // The boxes take the focus; the list keeps its selection meanwhile.
    shares.SetKeepSelection(true);
    const ScopeExit clearFlag([&shares] { shares.SetKeepSelection(false); });

    std::vector<int> selected = shares.GetSelectedIndices();
    if (selected.empty()) {
        Box(FrameText(kSelectSharesText), FrameText("공유 제거 실패"), BoxIcon::Error);
        return;
    }
    if (Box(FrameText("선택된 항목들을 정말 공유 해제 하시겠습니까?"), FrameText("공유 제거 확인"),
            BoxIcon::Question, BoxButtons::YesNo) != BoxAnswer::Yes) {
        return;
    }
    // From the highest index down, so the lower indices stay valid.
    std::sort(selected.begin(), selected.end());
    MountManager& mounts = m_server->GetMountManager();
    for (auto index = selected.rbegin(); index != selected.rend(); ++index) {
        const std::string name = shares.GetItemAlias(*index);
        if (mounts.RemoveMount(name)) {
            shares.DeleteItem(*index);
        } else {
            Box(QString::fromStdString(name) + FrameText("\n공유 해제 실패"), FrameText("공유 해제 실패!"),
                BoxIcon::Error);
        }
    }
}

void CMainFrame::OnNotSupported() {
    Box(FrameText("죄송합니다. 현재 버전에서 지원되지 않는 기능입니다."), QString(), BoxIcon::None);
}

void CMainFrame::OnShareSettings() {
    CMountView& shares = m_tabView->GetMountView();
    std::vector<std::string> names = shares.GetSelectedAliases();
    if (names.empty()) {
        Box(FrameText("공유 항목을 선택해 주세요!"), QString(), BoxIcon::Warning);
        return;
    }
    CMountSettingDlg dialog(CMountSettingDlg::Environment{shares, m_server->GetAccountStore(),
                                                          m_server->GetMountManager(), m_platform.runner,
                                                          m_platform.boxes},
                            std::move(names), DialogParent());
    m_platform.runner.Run(dialog);
}

void CMainFrame::OnAbout() {
    CAboutDlg dialog(m_platform.urlOpener, DialogParent());
    m_platform.runner.Run(dialog);
}

void CMainFrame::OnDisconnect() {
    CStatusView& status = m_tabView->GetStatusView();
    const std::vector<int> rows = status.GetSelectedRows();
    if (rows.empty()) {
        Box(FrameText("연결을 끊을 항목을 선택해 주세요."), FrameText("연결 끊기"), BoxIcon::Error);
        return;
    }
    // Taken before the question: the rows may change while the box is open.
    std::vector<std::pair<int, std::u16string>> transfers;
    for (const int row : rows) {
        transfers.emplace_back(status.GetTransferId(row), status.GetClientAddressText(row));
    }
    bool ban = false;
    if (m_platform.boxes.AskWithCheck(DialogParent(), FrameText("선택된 항목들의 연결을 끊으시겠습니까?"),
                                      FrameText("해당 IP주소에 대해 접속을 금지함 "), FrameText("연결 끊기"),
                                      ban) != BoxAnswer::Yes) {
        return;
    }
    for (const auto& [id, address] : transfers) {
        m_aggregator.Kick(id);
        if (ban && !address.empty()) {
            m_server->GetIPFilter().AddIPFilterRule(false, WideToUtf8(address));
        }
    }
}

void CMainFrame::OnCopyAddress() {
    if (!ServerRunning()) {
        Box(FrameText(kServerStoppedText), FrameText("주소 복사 실패"), BoxIcon::Error);
        return;
    }
    SetClipboardText(m_addressBox->text().left(kAddressLimit).toStdU16String());
}

void CMainFrame::OnBrowse() {
    if (!ServerRunning()) {
        Box(FrameText(kServerStoppedText), FrameText("탐색 실패"), BoxIcon::Error);
        return;
    }
    m_platform.urlOpener.Open(m_addressBox->text().left(kAddressLimit));
}

void CMainFrame::OnCopyWebAddress() {
    const std::vector<std::string> aliases = m_tabView->GetMountView().GetSelectedAliases();
    if (aliases.empty()) {
        Box(FrameText(kSelectSharesText), FrameText("주소 복사 실패"), BoxIcon::Error);
        return;
    }
    if (!ServerRunning()) {
        Box(FrameText(kServerStoppedText), FrameText("주소 복사 실패"), BoxIcon::Error);
        return;
    }
    // One address per line, in list order, without a line end after the last.
    std::u16string text;
    for (size_t i = 0; i < aliases.size(); ++i) {
        if (i > 0) {
            text += u"\r\n";
        }
        text += m_server->GetShareUrl(Utf8ToWide(aliases[i]));
    }
    SetClipboardText(text);
}

void CMainFrame::OnRestore() {
    Restore();
    m_platform.tray.Hide();
}

} // namespace Vuxo
