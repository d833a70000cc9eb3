// Helpers of the main-frame tests: fakes of the platform services that record what the frame asked of
// them, a recording clipboard, and a fixture that builds a frame over its own program folder (mount.ini,
// Log/) in a temporary folder with its own transfer-status aggregator.
#pragma once

#include "core/transfer/GuiTransferStatusAggregator.h"
#include "service/config/QuilloConfig.h"
#include "shell/frame/MainFrame.h"
#include "shell/platform/ShellPlatform.h"

#include <QDialog>
#include <QString>
#include <QTemporaryDir>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Vuxo::FrameTest {

class FakeBoxes final : public MessageBoxes {
public:
    struct Box {
        QString text;
        QString caption;
        BoxIcon icon = BoxIcon::None;
        BoxButtons buttons = BoxButtons::Ok;
        QString checkText; // set for the question with a check box
        QString linkText;  // set for the box with a link
        QString linkAddress;
        bool notice = false; // shown without waiting for it
    };

    BoxAnswer Show(QWidget* parent, const QString& text, const QString& caption, BoxIcon icon,
                   BoxButtons buttons) override;
    BoxAnswer AskWithCheck(QWidget* parent, const QString& text, const QString& checkText,
                           const QString& caption, bool& checked) override;
    BoxAnswer ShowWithLink(QWidget* parent, const QString& text, const QString& linkText,
                           const QString& linkAddress, const QString& caption) override;
    void ShowLinkNotice(QWidget*, const QString& text, const QString& linkText, const QString& linkAddress,
                        const QString& caption) override {
        shown.push_back(
            {text, caption, BoxIcon::None, BoxButtons::Ok, QString(), linkText, linkAddress, true});
    }

    // Yes/No boxes take the answers in order; when none is left, No.
    std::deque<BoxAnswer> answers;
    // What the check box of AskWithCheck reports.
    bool checkBoxState = false;
    std::vector<Box> shown;
    // Called while a box is "open" (to test what happens meanwhile).
    std::function<void()> whileOpen;
};

// Runs each dialog by the next script: the dialog is shown (not modally), the script sets its controls and
// presses its buttons, and whatever the script left open is rejected, as if its window were closed. With no
// script left, the dialog is rejected at once. Records the object name of every dialog it ran.
class FakeModalRunner final : public ModalRunner {
public:
    using Script = std::function<void(QDialog&)>;

    int Run(QDialog& dialog) override;
    bool IsInteractive() const override { return interactive; }

    std::deque<Script> scripts;
    std::vector<QString> ran;
    bool interactive = true;
};

// Finds the control `id` (object name "id<id>") of type T below `dialog`; null when there is none.
template <typename T> T* FindControl(QWidget& dialog, int id) {
    return dialog.findChild<T*>(QStringLiteral("id%1").arg(id));
}

class FakePicker final : public PathPicker {
public:
    std::optional<QString> PickFileOrFolder(QWidget* parent, const QString& title,
                                            const QString& startFolder) override;

    std::optional<QString> answer;
    int calls = 0;
    QString lastTitle;
    QString lastStartFolder;
};

class FakeUrlOpener final : public UrlOpener {
public:
    bool Open(const QString& url) override {
        opened.push_back(url);
        return true;
    }
    std::vector<QString> opened;
};

class FakeTray final : public TrayIcon {
public:
    struct Balloon {
        QString title;
        QString text;
        int milliseconds = 0;
    };

    bool IsAvailable() const override { return available; }
    void SetIcon(const QIcon&) override {}
    void SetToolTip(const QString& text) override { toolTip = text; }
    void SetContextMenu(QMenu* menu) override { contextMenu = menu; }
    void SetEventHandler(std::function<void(TrayEvent)> handler) override { m_handler = std::move(handler); }
    void Show() override { visible = true; }
    void Hide() override { visible = false; }
    bool IsVisible() const override { return visible; }
    void ShowBalloon(const QString& title, const QString& text, int milliseconds) override {
        balloons.push_back({title, text, milliseconds});
    }

    // The user clicks the icon.
    void Send(TrayEvent event) {
        if (m_handler) {
            m_handler(event);
        }
    }

    bool available = true;
    bool visible = false;
    QString toolTip;
    QMenu* contextMenu = nullptr;
    std::vector<Balloon> balloons;

private:
    std::function<void(TrayEvent)> m_handler;
};

class FakeAutostart final : public AutostartEntry {
public:
    bool IsRegisteredFor(const std::string& programPath) const override {
        return !registered.empty() && registered == programPath;
    }
    bool Register(const std::string& programPath) override {
        registered = programPath;
        return true;
    }
    bool Unregister() override {
        registered.clear();
        return true;
    }
    std::string registered;
};

// Installs a clipboard provider that keeps what it was given; the old provider is removed on destruction.
class RecordingClipboard {
public:
    RecordingClipboard();
    ~RecordingClipboard();
    RecordingClipboard(const RecordingClipboard&) = delete;
    RecordingClipboard& operator=(const RecordingClipboard&) = delete;

    std::vector<std::u16string> texts;
};

class FrameFixture {
public:
    static constexpr const char* kProgramPath = "/opt/corvanta/corvanta";

    // `configure` adjusts the settings (port 0 is set first) before the frame is made; `makeFrame` false
    // leaves that to MakeFrame().
    explicit FrameFixture(const std::function<void(QuilloConfig&)>& configure = {}, bool makeFrame = true);
    ~FrameFixture();
    FrameFixture(const FrameFixture&) = delete;
    FrameFixture& operator=(const FrameFixture&) = delete;

    void MakeFrame();
    void DestroyFrame();

    CMainFrame& Frame() { return *m_frame; }
    bool HasFrame() const { return m_frame != nullptr; }
    QuilloConfig& Config() { return *m_config; }
    GuiTransferStatusAggregator& Aggregator() { return m_aggregator; }

    std::string ProgramFolder() const;
    // A folder (or file with `content`) below the fixture's "data" folder; returns its absolute path.
    std::string MakeFolder(const std::string& relative) const;
    std::string MakeFile(const std::string& relative, const std::string& content) const;
    // mount.ini as it is on disk now.
    std::string MountIni() const;
    // The value of `key` in mount.ini on disk ("" when absent).
    std::string MountIniValue(const std::string& key) const;
    // Every "mounts+=" item in mount.ini on disk.
    std::vector<std::string> MountIniItems(const std::string& listKey) const;
    // Today's day log (all day files joined).
    std::string DayLog() const;

    // The maker's service the frame hands to the server ("" for none); set before MakeFrame.
    std::string serviceAddress;
    FakeBoxes boxes;
    FakePicker picker;
    FakeUrlOpener urlOpener;
    FakeTray tray;
    FakeAutostart autostart;
    FakeModalRunner runner;

private:
    QTemporaryDir m_root;
    std::unique_ptr<QuilloConfig> m_config;
    GuiTransferStatusAggregator m_aggregator;
    std::unique_ptr<CMainFrame> m_frame;
};

// Runs the event loop until `done` gives true; false when it has not after a generous guard time (a hang,
// not a measure of speed).
bool PumpUntil(const std::function<bool()>& done);

// Shares and selects: the rows `rows` of the share list become the selection.
void SelectShares(CMainFrame& frame, const std::vector<int>& rows);

} // namespace Vuxo::FrameTest
