#include "shell/frame/FrameTestSupport.h"

#include "core/log/LogQueue.h"
#include "core/text/Clipboard.h"
#include "res/BuiltinResources.h"
#include "shell/views/MountView.h"
#include "shell/views/MyTabViewCtrl.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QItemSelectionModel>
#include <QTest>

#include <sstream>

namespace Vuxo::FrameTest {

BoxAnswer FakeBoxes::Show(QWidget*, const QString& text, const QString& caption, BoxIcon icon,
                          BoxButtons buttons) {
    shown.push_back({text, caption, icon, buttons, QString(), QString(), QString()});
    if (whileOpen) {
        whileOpen();
    }
    if (buttons == BoxButtons::Ok) {
        return BoxAnswer::Ok;
    }
    if (answers.empty()) {
        return BoxAnswer::No;
    }
    const BoxAnswer answer = answers.front();
    answers.pop_front();
    return answer;
}

BoxAnswer FakeBoxes::AskWithCheck(QWidget*, const QString& text, const QString& checkText,
                                  const QString& caption, bool& checked) {
    shown.push_back({text, caption, BoxIcon::Question, BoxButtons::YesNo, checkText, QString(), QString()});
    checked = checkBoxState;
    if (answers.empty()) {
        return BoxAnswer::No;
    }
    const BoxAnswer answer = answers.front();
    answers.pop_front();
    return answer;
}

BoxAnswer FakeBoxes::ShowWithLink(QWidget*, const QString& text, const QString& linkText,
                                  const QString& linkAddress, const QString& caption) {
    shown.push_back({text, caption, BoxIcon::None, BoxButtons::Ok, QString(), linkText, linkAddress});
    return BoxAnswer::No;
}

int FakeModalRunner::Run(QDialog& dialog) {
    ran.push_back(dialog.objectName());
    dialog.setResult(QDialog::Rejected);
    dialog.show();
    if (!scripts.empty()) {
        const Script script = std::move(scripts.front());
        scripts.pop_front();
        script(dialog);
    }
    if (dialog.isVisible()) {
        dialog.reject();
    }
    return dialog.result();
}

std::optional<QString> FakePicker::PickFileOrFolder(QWidget*, const QString& title,
                                                    const QString& startFolder) {
    ++calls;
    lastTitle = title;
    lastStartFolder = startFolder;
    return answer;
}

RecordingClipboard::RecordingClipboard() {
    SetClipboardProvider([this](const std::u16string& text) {
        texts.push_back(text);
        return true;
    });
}

RecordingClipboard::~RecordingClipboard() {
    SetClipboardProvider({});
}

FrameFixture::FrameFixture(const std::function<void(QuilloConfig&)>& configure, bool makeFrame) {
    // As the program does first: the built-in skin and files are there for the server to load.
    RegisterBuiltinResources();
    QDir(m_root.path()).mkpath(QStringLiteral("program"));
    QDir(m_root.path()).mkpath(QStringLiteral("data"));
    m_config = std::make_unique<QuilloConfig>(ProgramFolder());
    m_config->port = 0;
    m_config->useVersionCheck = false;
    if (configure) {
        configure(*m_config);
    }
    m_config->Save();
    if (makeFrame) {
        MakeFrame();
    }
}

FrameFixture::~FrameFixture() {
    DestroyFrame();
}

void FrameFixture::MakeFrame() {
    m_frame = std::make_unique<CMainFrame>(CMainFrame::Environment{
        *m_config, ProgramFolder(), kProgramPath, m_aggregator, LogQueue::GetInstance(),
        ShellPlatform{boxes, picker, urlOpener, tray, autostart, runner}, serviceAddress});
}

void FrameFixture::DestroyFrame() {
    m_frame.reset();
}

std::string FrameFixture::ProgramFolder() const {
    return m_root.filePath(QStringLiteral("program")).toStdString();
}

std::string FrameFixture::MakeFolder(const std::string& relative) const {
    const QString path = m_root.filePath(QStringLiteral("data/") + QString::fromStdString(relative));
    QDir().mkpath(path);
    return path.toStdString();
}

std::string FrameFixture::MakeFile(const std::string& relative, const std::string& content) const {
    const QString path = m_root.filePath(QStringLiteral("data/") + QString::fromStdString(relative));
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(content.data(), static_cast<qint64>(content.size()));
    }
    return path.toStdString();
}

std::string FrameFixture::MountIni() const {
    QFile file(QString::fromStdString(ProgramFolder() + "/mount.ini"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

std::string FrameFixture::MountIniValue(const std::string& key) const {
    std::istringstream lines(MountIni());
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("\xEF\xBB\xBF", 0) == 0) {
            line.erase(0, 3);
        }
        if (line.rfind(key + "=", 0) == 0) {
            std::string value = line.substr(key.size() + 1);
            while (!value.empty() && (value.back() == '\r' || value.back() == '\n')) {
                value.pop_back();
            }
            return value;
        }
    }
    return {};
}

std::vector<std::string> FrameFixture::MountIniItems(const std::string& listKey) const {
    std::vector<std::string> items;
    std::istringstream lines(MountIni());
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind(listKey + "+=", 0) == 0) {
            std::string value = line.substr(listKey.size() + 2);
            while (!value.empty() && value.back() == '\r') {
                value.pop_back();
            }
            items.push_back(value);
        }
    }
    return items;
}

std::string FrameFixture::DayLog() const {
    std::string text;
    const QDir logs(QString::fromStdString(ProgramFolder() + "/Log"));
    for (const QString& name : logs.entryList({QStringLiteral("Corvanta.*.log")}, QDir::Files, QDir::Name)) {
        QFile file(logs.filePath(name));
        if (file.open(QIODevice::ReadOnly)) {
            text += file.readAll().toStdString();
        }
    }
    return text;
}

bool PumpUntil(const std::function<bool()>& done) {
    QDeadlineTimer guard(60000);
    while (!done()) {
        if (guard.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QTest::qWait(5);
    }
    return true;
}

void SelectShares(CMainFrame& frame, const std::vector<int>& rows) {
    CMountView& view = frame.GetTabView().GetMountView();
    view.clearSelection();
    for (const int row : rows) {
        view.selectionModel()->select(view.model()->index(row, 0), QItemSelectionModel::Select);
    }
}

} // namespace Vuxo::FrameTest
