#include "shell/frame/MainFrame.h"

#include "core/i18n/LocalizationStringTable.h"
#include "core/log/LogQueue.h"
#include "core/log/Trace.h"
#include "core/text/StringHelpers.h"
#include "core/transfer/GuiTransferStatusAggregator.h"
#include "service/config/QuilloConfig.h"
#include "service/language/LanguageFiles.h"
#include "service/mounts/MountManager.h"
#include "service/server/MakerService.h"
#include "service/server/QuilloServer.h"
#include "shell/dialogs/InitDlg.h"
#include "shell/frame/AlertRelay.h"
#include "shell/frame/FrameText.h"
#include "shell/res/ShellResources.h"
#include "shell/views/LogView.h"
#include "shell/views/MountView.h"
#include "shell/views/MyTabViewCtrl.h"
#include "shell/views/StatusView.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMetaObject>
#include <QStatusBar>
#include <QThread>
#include <QTimer>
#include <QToolBar>

#include <algorithm>
#include <climits>
#include <vector>

namespace Vuxo {

namespace {

constexpr const char* kWindowTitle = "Quillo Corvanta";
constexpr const char* kSkinDevelopersTitle = " [SKIN DEVELOPERS MODE]";
constexpr int kBalloonMilliseconds = 15000;

} // namespace

CMainFrame::CMainFrame(Environment environment)
    : m_config(environment.config), m_programFolder(std::move(environment.programFolder)),
      m_programPath(std::move(environment.programPath)), m_aggregator(environment.aggregator),
      m_logQueue(environment.logQueue), m_platform(environment.platform),
      m_serviceAddress(std::move(environment.serviceAddress)), m_viewQuietMs(environment.viewQuietMs) {
    setWindowTitle(QString::fromUtf8(kWindowTitle));
    setWindowIcon(LoadShellIcon(QStringLiteral("corvanta")));
    setMinimumSize(400, 300);
    resize(820, 540);

    if (!LoadUiLanguage()) {
        // The language choice was cancelled: the program ends before a server exists.
        m_languageCancelled = true;
        return;
    }
    CreateServer();
    CreateToolBars();
    CreateStatusBar();
    CreateTabView();
    CreateTrayMenu();
    FillShareList();

    if (m_config.bootOnTray.load()) {
        QTimer::singleShot(0, this, &CMainFrame::HideToTray);
    }
    if (m_config.wasRunning.load()) {
        ExecuteCommand(ID_STARTSTOP);
    }
    UpdateRunningState(ServerRunning());
    ShowRootAddress();
    if (m_config.skinDevelopersMode.load()) {
        setWindowTitle(windowTitle() + QString::fromUtf8(kSkinDevelopersTitle));
    }
    m_autoStartRegistered = m_platform.autostart.IsRegisteredFor(m_programPath);

    // Every key of the GUI thread passes the frame's key table first.
    qApp->installEventFilter(this);
}

CMainFrame::~CMainFrame() {
    qApp->removeEventFilter(this);
    m_platform.tray.SetEventHandler({});
    m_platform.tray.SetContextMenu(nullptr);
    m_platform.tray.Hide();
    if (m_tabView == nullptr) {
        return; // made no further than the cancelled language choice
    }
    // The views outlive this destructor (QWidget deletes them later) and still signal while they go, for
    // example when the focus moves as the window closes: nothing may reach the frame's handlers then.
    m_tabView->disconnect(this);
    m_tabView->GetMountView().disconnect(this);
    m_tabView->GetStatusView().disconnect(this);
    // The server goes first: it stops every connection (no transfer reports after this), saves and writes
    // its closing line while the views and their notification targets still exist.
    m_tabView->SetMountManager(nullptr);
    if (m_server != nullptr) {
        m_server->SetAlertCallback({});
        m_server.reset();
    }
}

bool CMainFrame::LoadUiLanguage() {
    const std::string fileName = m_config.uiLanguageFile.Get();
    if (Vuxo::LoadLanguage(m_programFolder, fileName, LocalizationStringTable::GetInstance())) {
        return true;
    }
    // Nobody could answer the choice (Qt's offscreen platform): the built-in texts stay, and the log says
    // so once the server's log sink is there.
    if (!m_platform.runner.IsInteractive()) {
        m_languageFailed = true;
        return true;
    }
    CInitDlg dialog(ListLanguages(m_programFolder));
    if (m_platform.runner.Run(dialog) != QDialog::Accepted) {
        return false;
    }
    // Takes effect at the next start; stored at once so that it survives however this run ends.
    m_config.uiLanguageFile.Set(dialog.GetChosenFileName());
    m_config.Save();
    return true;
}

void CMainFrame::CreateServer() {
    m_alerts = new AlertRelay([this](const QString& text) { ShowAlert(text); }, this);
    QuilloServerOptions options;
    options.serviceAddress = m_serviceAddress;
    // The alerts of the server's own construction (a damaged share item, a skin that fails to load) wait
    // in the relay until the event loop runs.
    options.alert = [relay = m_alerts](const std::u16string& text) { relay->Post(text); };
    options.addressChanged = [this] { ShowRootAddress(); };
    options.newerRevision = [this] {
        QMetaObject::invokeMethod(this, &CMainFrame::ShowNewerRevisionNotice, Qt::QueuedConnection);
    };
    m_server = std::make_unique<QuilloServer>(m_config, m_programFolder, &m_aggregator, std::move(options));
    if (m_languageFailed) {
        Trace(LOG_WARNING, Tr("언어 파일을 읽지 못해 기본 언어로 표시합니다: %s"),
              m_config.uiLanguageFile.Get().c_str());
    }
}

QToolBar* CMainFrame::AddToolBar(int bandId, int iconSize) {
    auto* bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("band%1").arg(bandId, 0, 16));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setIconSize(QSize(iconSize, iconSize));
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    addToolBar(Qt::TopToolBarArea, bar);
    m_toolBars[bandId] = bar;
    return bar;
}

QAction* CMainFrame::AddCommand(QToolBar* bar, int bandId, int commandId, const char* label,
                                const char* iconName, const char* toolTip) {
    auto* action = bar->addAction(LoadShellIcon(QString::fromUtf8(iconName)),
                                  label != nullptr ? FrameText(label) : QString());
    if (toolTip != nullptr) {
        action->setToolTip(FrameText(toolTip));
    }
    action->setData(commandId);
    connect(action, &QAction::triggered, this, [this, commandId] { ExecuteCommand(commandId); });
    m_actions[commandId] = action;
    m_bandActions[bandId].push_back(action);
    return action;
}

void CMainFrame::CreateToolBars() {
    QToolBar* main = AddToolBar(kBandMain, 32);
    AddCommand(main, kBandMain, ID_STARTSTOP, "꺼짐", "power", "서버를 켜거나 끕니다.")->setCheckable(true);
    AddCommand(main, kBandMain, ID_PREFERENCES, "환경설정", "preferences", "현재 설정을 변경합니다.");
    AddCommand(main, kBandMain, ID_ADD_SHARE, "공유 추가", "add_share", "공유할 항목을 추가합니다.");
    AddCommand(main, kBandMain, ID_EXIT, "종료", "exit", "프로그램을 종료합니다.");

    QToolBar* about = AddToolBar(kBandAbout, 32);
    AddCommand(about, kBandAbout, ID_ABOUT_BUTTON, nullptr, "about",
               "Quillo Corvanta에 관한 정보를 표시합니다.");

    addToolBarBreak(Qt::TopToolBarArea);
    QToolBar* bar = AddToolBar(kBandAddressBox, 16);
    m_bandActions[kBandAddressBox].push_back(
        bar->addWidget(new QLabel(FrameText("주소") + QStringLiteral(" "), bar)));
    m_addressBox = new QLineEdit(QStringLiteral("TEMPORARY TEXT"), bar);
    m_addressBox->setReadOnly(true);
    m_addressBox->setMinimumWidth(200);
    m_addressBox->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_addressBox->installEventFilter(this);
    m_bandActions[kBandAddressBox].push_back(bar->addWidget(m_addressBox));

    AddCommand(bar, kBandAddress, ID_COPY_ADDRESS, "복사", "copy", "현재 주소를 클립보드로 복사합니다.");
    AddCommand(bar, kBandAddress, ID_BROWSE, "탐색", "browse", "현재 주소를 웹 브라우저로 탐색합니다.");
    bar->addSeparator();
    AddCommand(bar, kBandShares, ID_DELETE_SHARES, "공유 삭제", "delete_share",
               "선택한 공유 항목을 제거합니다.");
    AddCommand(bar, kBandShares, ID_SHARE_SETTINGS, "항목 속성", "share_settings",
               "선택한 공유 항목 속성을 변경합니다.");
    AddCommand(bar, kBandStatus, ID_DISCONNECT, "연결 끊기", "disconnect", nullptr);
    AddCommand(bar, kBandStatus, ID_SPEED_LIMIT, "속도 제한", "speed_limit", nullptr);
    AddCommand(bar, kBandLog, ID_LOG_FILTER, "필터링", "filter", nullptr);
    AddCommand(bar, kBandLog, ID_CLEAR_LOG, "로그 지우기", "clear_log", nullptr);

    // Only the shares tab's band shows at first.
    OnTabChanged(CMyTabViewCtrl::kSharesTab);
}

void CMainFrame::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setSizeGripEnabled(true);
    auto* defaultPane =
        new QLabel(QStringLiteral("Quillo Corvanta %1").arg(QString::fromUtf8(kVersionText)), bar);
    bar->addWidget(defaultPane, 1);
    m_panes[kPaneDefault] = defaultPane;
    // Each pane starts with its own text and is sized for it with room to spare, as the blanks say.
    const std::pair<int, const char*> panes[] = {{kPaneSpeed, "0 KB/s          "},
                                                 {kPaneConnections, "0 Connection(s)     "},
                                                 {kPaneRunning, "Offline  "}};
    for (const auto& [id, text] : panes) {
        auto* pane = new QLabel(QString::fromUtf8(text).trimmed(), bar);
        pane->setMinimumWidth(QFontMetrics(pane->font()).horizontalAdvance(QString::fromUtf8(text)));
        bar->addPermanentWidget(pane);
        m_panes[id] = pane;
    }
}

void CMainFrame::CreateTabView() {
    m_tabView = new CMyTabViewCtrl(m_aggregator, m_logQueue, this, m_viewQuietMs);
    m_tabView->SetMountManager(&m_server->GetMountManager());
    setCentralWidget(m_tabView);

    CMountView& shares = m_tabView->GetMountView();
    shares.SetMessageBoxes(&m_platform.boxes);
    shares.SetAddressBox(m_addressBox);
    connect(m_tabView, &CMyTabViewCtrl::tabChanged, this, &CMainFrame::OnTabChanged);
    connect(&m_tabView->GetStatusView(), &CStatusView::transferSummary, this, &CMainFrame::OnTransferSummary);
    connect(&shares, &CMountView::shareSelected, this,
            [this](const QString& alias) { ShowAddress(alias.toStdU16String()); });
    connect(&shares, &CMountView::rootAddressRequested, this, &CMainFrame::ShowRootAddress);
    connect(&shares, &CMountView::commandRequested, this, &CMainFrame::ExecuteCommand);
    // Entries logged before the log view existed (the server's banner) are shown at once.
    m_tabView->GetLogView().OnLogAppended();
}

void CMainFrame::CreateTrayMenu() {
    m_trayMenu = new QMenu(this);
    const auto add = [this](int id, const char* text) {
        QAction* action = m_trayMenu->addAction(FrameText(text));
        action->setData(id);
        connect(action, &QAction::triggered, this, [this, id] { ExecuteCommand(id); });
        return action;
    };
    add(ID_RESTORE, "원래대로(&R)");
    m_trayMenu->addSeparator();
    add(ID_APP_ABOUT, "정보(&A)");
    add(ID_EXIT, "종료(&X)");

    TrayIcon& tray = m_platform.tray;
    tray.SetIcon(LoadShellIcon(QStringLiteral("corvanta")));
    tray.SetToolTip(QString::fromUtf8(kWindowTitle));
    tray.SetContextMenu(m_trayMenu);
    tray.SetEventHandler([this](TrayEvent event) { OnTrayNotify(event); });
}

void CMainFrame::FillShareList() {
    MountManager& mounts = m_server->GetMountManager();
    std::vector<std::string> names;
    mounts.ListMountNames(names);
    for (const std::string& name : names) {
        Mount mount;
        if (mounts.GetMount(name, mount)) {
            m_tabView->GetMountView().AddMount(mount.localPath, name);
        }
    }
}

bool CMainFrame::IsBandVisible(int bandId) const {
    const auto bar = m_toolBars.find(bandId);
    if (bar != m_toolBars.end() && !bar->second->isVisibleTo(this)) {
        return false;
    }
    const auto actions = m_bandActions.find(bandId);
    if (actions == m_bandActions.end()) {
        return bar != m_toolBars.end();
    }
    return std::all_of(actions->second.begin(), actions->second.end(),
                       [](const QAction* action) { return action->isVisible(); });
}

QAction* CMainFrame::GetAction(int commandId) const {
    const auto found = m_actions.find(commandId);
    return found == m_actions.end() ? nullptr : found->second;
}

QString CMainFrame::GetPaneText(int pane) const {
    const auto found = m_panes.find(pane);
    return found == m_panes.end() ? QString() : found->second->text();
}

void CMainFrame::UpdateRunningState(bool running) {
    const QString text = FrameText(running ? "켜짐" : "꺼짐");
    QAction* startStop = GetAction(ID_STARTSTOP);
    startStop->setChecked(running);
    startStop->setText(text);
    GetAction(ID_COPY_ADDRESS)->setEnabled(running);
    GetAction(ID_BROWSE)->setEnabled(running);
    m_panes[kPaneRunning]->setText(text);
    // The address follows the state: a stopped server has no address to show.
    ShowRootAddress();
}

void CMainFrame::OnTabChanged(int index) {
    const int bands[] = {kBandShares, kBandStatus, kBandLog};
    for (int i = 0; i < 3; ++i) {
        for (QAction* action : m_bandActions[bands[i]]) {
            action->setVisible(i == index);
        }
    }
}

void CMainFrame::OnTransferSummary(int liveTransfers, qint64 bytesPerSecond) {
    const qint64 kilobytes = std::clamp<qint64>(bytesPerSecond / 1024, INT_MIN, INT_MAX);
    m_panes[kPaneSpeed]->setText(
        QString::fromStdString(FormatString(64, Tr("%d KB/s"), static_cast<int>(kilobytes))));
    m_panes[kPaneConnections]->setText(
        QString::fromStdString(FormatString(64, Tr("%d 연결"), liveTransfers)));
}

void CMainFrame::ShowAddress(const std::u16string& virtualPath) {
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(
            this, [this, virtualPath] { ShowAddress(virtualPath); }, Qt::QueuedConnection);
        return;
    }
    if (m_server == nullptr) {
        return;
    }
    m_addressBox->setText(m_server->IsRunning()
                              ? QString::fromStdU16String(m_server->GetShareUrl(virtualPath))
                              : FrameText("서버를 먼저 켜 주십시오"));
}

void CMainFrame::ShowRootAddress() {
    ShowAddress(std::u16string());
}

void CMainFrame::ShowAlert(const QString& text) {
    m_platform.boxes.Show(nullptr, text, QString::fromUtf8(kWindowTitle), BoxIcon::Error, BoxButtons::Ok);
}

void CMainFrame::ShowNewerRevisionNotice() {
    // Without a loop of its own: the event loop, and with it the server's window, goes on while it shows.
    const QString homepage = QString::fromUtf8(kMakerHomepage);
    m_platform.boxes.ShowLinkNotice(this,
                                    FrameText("현재 실행되고 있는 Quillo Corvanta가 최신 버전이 아닙니다.\n"
                                              "다음 링크에서 최신 버전을 받으실 수 있습니다."),
                                    homepage, homepage, FrameText(kWindowTitle));
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    event->ignore();
    HideToTray();
}

void CMainFrame::HideToTray() {
    if (!m_platform.tray.IsAvailable()) {
        showMinimized();
        return;
    }
    hide();
    AddTrayIcon();
    m_hidden = true;
}

void CMainFrame::AddTrayIcon() {
    TrayIcon& tray = m_platform.tray;
    tray.Show();
    // Once per run, and never when the program started itself into the tray with the session.
    if (m_firstBalloon && !(m_autoStartRegistered && m_config.bootOnTray.load())) {
        tray.ShowBalloon(FrameText("Corvanta 실행 중 "),
                         FrameText("Corvanta가 최소화 된 상태에서 실행 중입니다!"), kBalloonMilliseconds);
        m_firstBalloon = false;
    }
}

void CMainFrame::Restore() {
    if (isMinimized()) {
        showNormal();
    } else {
        show();
    }
    raise();
    activateWindow();
    m_hidden = false;
}

void CMainFrame::OnTrayNotify(TrayEvent event) {
    switch (event) {
    case TrayEvent::Click:
        // A click on a hidden window's icon restores it (many trays report no double-click); the icon goes
        // away with the click once the window shows.
        if (m_hidden) {
            Restore();
        }
        m_platform.tray.Hide();
        break;
    case TrayEvent::DoubleClick:
        Restore();
        break;
    }
}

void CMainFrame::WakeFromSecondInstance() {
    OnTrayNotify(TrayEvent::DoubleClick);
    QApplication::alert(this);
}

void CMainFrame::RequestExit() {
    m_platform.tray.Hide();
    emit exitRequested(1);
}

bool CMainFrame::ServerRunning() const {
    return m_server != nullptr && m_server->IsRunning();
}

int CMainFrame::TransferRowCount() const {
    return m_tabView->GetStatusView().GetRowCount();
}

QWidget* CMainFrame::DialogParent() {
    QWidget* active = QApplication::activeWindow();
    return active != nullptr ? active : this;
}

BoxAnswer CMainFrame::Box(const QString& text, const QString& caption, BoxIcon icon, BoxButtons buttons) {
    return m_platform.boxes.Show(DialogParent(), text, caption, icon, buttons);
}

} // namespace Vuxo
