// Helpers of the preferences tests: a program folder served by a real (not started) server with the
// frame tests' platform fakes (their scripted dialog runner included), the environment the dialog is made
// over, and the lookup of a page.
#pragma once

#include "fixtures/support/FixtureServer.h"
#include "shell/frame/FrameTestSupport.h"
#include "shell/prefs/COptionDlg.h"
#include "shell/prefs/COptionPage.h"
#include "shell/prefs/OptionEnvironment.h"

#include <QDialog>
#include <QString>

#include <memory>
#include <string>
#include <vector>

namespace Vuxo::PrefsTest {

// The user presses OK (or Cancel); the dialog's result after it (Rejected while it refused to close).
int PressOk(QDialog& dialog);
int PressCancel(QDialog& dialog);

class PrefsFixture {
public:
    explicit PrefsFixture(void (*configure)(QuilloConfig&) = nullptr);

    QuilloConfig& Config() { return server.Config(); }
    QuilloServer& Server() { return server.Server(); }
    OptionEnvironment& Environment() { return m_environment; }
    // As the main frame does before it opens the dialog: `wasRunning` follows the server and a running
    // server's port is shown (a stopped one of port 0, any free port, is shown as 8080).
    std::unique_ptr<COptionDlg> OpenDialog();
    std::string MountIni() const;

    Fixtures::FixtureServer server;
    FrameTest::FakeBoxes boxes;
    FrameTest::FakePicker picker;
    FrameTest::FakeUrlOpener urlOpener;
    FrameTest::FakeTray tray;
    FrameTest::FakeAutostart autostart;
    FrameTest::FakeModalRunner runner;
    std::vector<std::string> addresses{"192.168.0.10", "10.0.0.2"};

private:
    OptionEnvironment m_environment;
};

// The page widget at `index` of the dialog.
template <typename T> T& PageOf(COptionDlg& dialog, int index) {
    return *static_cast<COptionPage<T>&>(dialog.GetPage(index)).GetPage();
}

// The texts of the boxes shown so far.
std::vector<QString> BoxTexts(const FrameTest::FakeBoxes& boxes);

} // namespace Vuxo::PrefsTest
