#include "shell/prefs/PrefsTestSupport.h"

#include "service/plugins/PluginManager.h"
#include "service/server/QuilloServer.h"
#include "service/skins/SkinManager.h"

#include <QPushButton>

namespace Vuxo::PrefsTest {

namespace {

int Press(QDialog& dialog, int buttonId) {
    if (auto* button = FrameTest::FindControl<QPushButton>(dialog, buttonId)) {
        button->click();
    } else if (buttonId == 1) {
        dialog.accept();
    } else {
        dialog.reject();
    }
    return dialog.result();
}

} // namespace

int PressOk(QDialog& dialog) {
    return Press(dialog, 1);
}

int PressCancel(QDialog& dialog) {
    return Press(dialog, 2);
}

PrefsFixture::PrefsFixture(void (*configure)(QuilloConfig&))
    : server(configure), m_environment{server.Config(),
                                       server.Server(),
                                       SkinManager::GetInstance(),
                                       PluginManager::GetInstance(),
                                       ShellPlatform{boxes, picker, urlOpener, tray, autostart, runner},
                                       "/opt/corvanta/corvanta",
                                       server.ProgramFolder(),
                                       [this] { return addresses; },
                                       {}} {}

std::unique_ptr<COptionDlg> PrefsFixture::OpenDialog() {
    QuilloConfig& config = Config();
    const bool running = Server().IsRunning();
    config.wasRunning = running;
    if (running) {
        config.port = Server().GetPort();
    } else if (config.port.load() == 0) {
        config.port = 8080;
    }
    return std::make_unique<COptionDlg>(m_environment, nullptr);
}

std::string PrefsFixture::MountIni() const {
    return Fixtures::ReadFile(server.ProgramFolder() + "/" + QuilloConfig::kFileName);
}

std::vector<QString> BoxTexts(const FrameTest::FakeBoxes& boxes) {
    std::vector<QString> texts;
    for (const auto& box : boxes.shown) {
        texts.push_back(box.text);
    }
    return texts;
}

} // namespace Vuxo::PrefsTest
