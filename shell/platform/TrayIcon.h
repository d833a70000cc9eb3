// The icon in the desktop's notification area. The main frame adds it when it hides itself, removes it when
// it shows itself again, and hears the user's clicks through the event handler. The program passes the
// QSystemTrayIcon implementation; tests a fake that records what the frame did. GUI thread only.
#pragma once

#include <QIcon>
#include <QString>

#include <functional>
#include <memory>

class QMenu;

namespace Vuxo {

// A left-button click (many trays send nothing else), and a double-click where the tray reports one.
enum class TrayEvent { Click, DoubleClick };

class TrayIcon {
public:
    virtual ~TrayIcon() = default;

    // A notification area is present on this desktop; without one the frame minimises instead of hiding.
    virtual bool IsAvailable() const = 0;
    virtual void SetIcon(const QIcon& icon) = 0;
    virtual void SetToolTip(const QString& text) = 0;
    // The menu shown for a right-click (not owned; must outlive the icon's use of it).
    virtual void SetContextMenu(QMenu* menu) = 0;
    virtual void SetEventHandler(std::function<void(TrayEvent)> handler) = 0;

    virtual void Show() = 0;
    virtual void Hide() = 0;
    virtual bool IsVisible() const = 0;
    // An information balloon from the visible icon.
    virtual void ShowBalloon(const QString& title, const QString& text, int milliseconds) = 0;
};

class QtTrayIcon final : public TrayIcon {
public:
    QtTrayIcon();
    ~QtTrayIcon() override;

    bool IsAvailable() const override;
    void SetIcon(const QIcon& icon) override;
    void SetToolTip(const QString& text) override;
    void SetContextMenu(QMenu* menu) override;
    void SetEventHandler(std::function<void(TrayEvent)> handler) override;
    void Show() override;
    void Hide() override;
    bool IsVisible() const override;
    void ShowBalloon(const QString& title, const QString& text, int milliseconds) override;

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace Vuxo
