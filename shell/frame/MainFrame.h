// CMainFrame: the program's one top-level window and the owner of the server object. It loads the UI
// language (asking for one when the configured file cannot be loaded), creates the server, lays out the
// bands (the main and about toolbars; below them one bar with the address box, its copy and browse buttons
// and the buttons of the selected tab), the tab view with the share list, transfer-status and log views, and
// a four-pane status bar. It carries out every command of the toolbars, the tray menu, the share list and the
// keyboard (opening the about and share-settings dialogs), hides itself in the notification area instead of
// closing, and keeps the address box showing the web address of the server or of the selected share.
//
// Made by the program's entry (or a test) on the GUI thread, which is the only thread that touches it;
// ShowAddress and ShowRootAddress may be called from any thread and are then carried out on the GUI
// thread by a queued call, as are the server's alert texts (AlertRelay) and its newer-revision notice. The
// server's address callback is ShowRootAddress. The destructor destroys the
// server object (stop, save, closing log line) before the views and their notification targets go.
// The configuration, the aggregator, the log queue and the platform services must outlive the frame.
#pragma once

#include "shell/frame/CommandIds.h"
#include "shell/platform/ShellPlatform.h"
#include "shell/prefs/OptionEnvironment.h"

#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QToolBar;

namespace Vuxo {

class AlertRelay;
class CMyTabViewCtrl;
class GuiTransferStatusAggregator;
class LogQueue;
class QuilloConfig;
class QuilloServer;

class CMainFrame final : public QMainWindow {
    Q_OBJECT
public:
    // What the frame is made over. `programPath` is the program's own file, which the autostart entry is
    // compared with; `serviceAddress` is the maker's web service handed to the server ("" for none).
    struct Environment {
        QuilloConfig& config;
        std::string programFolder;
        std::string programPath;
        GuiTransferStatusAggregator& aggregator;
        LogQueue& logQueue;
        ShellPlatform platform;
        std::string serviceAddress;
        // The quiet period of the status and log views (QueuedNotificationTarget); the program sets the
        // views' own, a test 0 to see every notification at once.
        int viewQuietMs = 0;
    };

    explicit CMainFrame(Environment environment);
    ~CMainFrame() override;

    // Carries out a command as its toolbar button, menu item or key would; a disabled command does nothing.
    void ExecuteCommand(int commandId);

    // The address box shows the web address of `virtualPath` (a share name, or "" for the root) while the
    // server runs, else the request to start it first. Any thread.
    void ShowAddress(const std::u16string& virtualPath);
    void ShowRootAddress();

    // Shares a local file or folder and adds it to the share list; warns when it is the top folder of a
    // drive. False when the mount manager refused it (it logs why).
    bool AddShareByPath(const std::string& localPath);

    // A click or double-click on the tray icon.
    void OnTrayNotify(TrayEvent event);
    // A second start of the program asks the running one to show itself: restore, raise and flash.
    void WakeFromSecondInstance();
    // Hides the window into the tray (the close button, Escape, the start-hidden timer); without a
    // notification area it is minimised instead.
    void HideToTray();
    // The orderly exit of the exit command without its question (signals, end of the desktop session).
    void RequestExit();

    // The language file could not be loaded and the language choice was cancelled: the frame was made no
    // further (no server, no views) and the program ends with 0.
    bool WasLanguageChoiceCancelled() const { return m_languageCancelled; }

    // Replaces the connection test the Server page of the preferences offers (the server's RunningCheck).
    void SetConnectionCheck(ConnectionCheck check);

    bool IsHiddenToTray() const { return m_hidden; }
    QuilloServer* GetServer() const { return m_server.get(); }
    CMyTabViewCtrl& GetTabView() const { return *m_tabView; }
    QLineEdit& GetAddressBox() const { return *m_addressBox; }
    // Whether a band (BandId) shows.
    bool IsBandVisible(int bandId) const;
    QAction* GetAction(int commandId) const;
    QString GetPaneText(int pane) const;
    QMenu& GetTrayMenu() const { return *m_trayMenu; }

signals:
    // The window is gone for good: the program leaves its event loop with this code.
    void exitRequested(int exitCode);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // No menu of toolbars on a right-click: the bands are fixed.
    QMenu* createPopupMenu() override { return nullptr; }

private:
    // Construction steps.
    // False when the language choice was cancelled.
    bool LoadUiLanguage();
    void CreateServer();
    void CreateToolBars();
    QToolBar* AddToolBar(int bandId, int iconSize);
    QAction* AddCommand(QToolBar* bar, int bandId, int commandId, const char* label, const char* iconName,
                        const char* toolTip);
    void CreateStatusBar();
    void CreateTabView();
    void CreateTrayMenu();
    void FillShareList();

    void UpdateRunningState(bool running);
    void OnTabChanged(int index);
    void OnTransferSummary(int liveTransfers, qint64 bytesPerSecond);
    void ShowAlert(const QString& text);
    // The maker's service reports a newer revision (GUI thread, from a queued call).
    void ShowNewerRevisionNotice();
    void AddTrayIcon();
    void Restore();

    // Keys (the application-wide filter): true when the key was taken.
    bool OnKey(int key, Qt::KeyboardModifiers modifiers);
    bool OnCtrlKey(int key, Qt::KeyboardModifiers modifiers);
    bool OnPlainKey(int key);
    void ReloadResourcesKey();
    void UnloadPluginsKey();

    // Commands.
    void OnStartStop();
    void OnPreferences();
    // What follows the preferences dialog's OK: the port, the language notice, the connection limits, the
    // address, the save.
    void AfterPreferences(uint16_t oldPort, const std::string& oldLanguage);
    void OnAddShare();
    void OnExit();
    void OnDeleteShares();
    void OnNotSupported();
    void OnShareSettings();
    void OnAbout();
    void OnDisconnect();
    void OnCopyAddress();
    void OnBrowse();
    void OnCopyWebAddress();
    void OnRestore();

    BoxAnswer Box(const QString& text, const QString& caption, BoxIcon icon,
                  BoxButtons buttons = BoxButtons::Ok);
    // The window dialogs and boxes are shown over: the active window, else the frame.
    QWidget* DialogParent();
    bool ServerRunning() const;
    int TransferRowCount() const;

    QuilloConfig& m_config;
    std::string m_programFolder;
    std::string m_programPath;
    GuiTransferStatusAggregator& m_aggregator;
    LogQueue& m_logQueue;
    ShellPlatform m_platform;
    std::string m_serviceAddress;
    int m_viewQuietMs;

    std::unique_ptr<QuilloServer> m_server;
    AlertRelay* m_alerts = nullptr;
    bool m_languageFailed = false;
    bool m_languageCancelled = false;
    bool m_hidden = false;
    bool m_firstBalloon = true;
    bool m_autoStartRegistered = false;
    bool m_preferencesOpen = false;
    ConnectionCheck m_connectionCheck;

    // The main and about bands are toolbars of their own; the others are groups of actions on the second
    // bar, so that the address box can take the width the buttons leave.
    std::map<int, QToolBar*> m_toolBars;
    std::map<int, std::vector<QAction*>> m_bandActions;
    std::map<int, QAction*> m_actions;
    std::map<int, QLabel*> m_panes;
    QLineEdit* m_addressBox = nullptr;
    CMyTabViewCtrl* m_tabView = nullptr;
    QMenu* m_trayMenu = nullptr;
};

} // namespace Vuxo
