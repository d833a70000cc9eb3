// CTabViewCtrl: a tab control whose every tab shows one view; the tabs sit at the bottom. Switching tabs
// through SetActiveTab, SelectNextTab, SelectPreviousTab, a click or the tab bar's own keys emits
// tabChanged with the tab now selected; the internal SetActiveView (used while tabs are added) emits
// nothing. GUI thread only; the views belong to the control (Qt parent).
#pragma once

#include <QIcon>
#include <QString>
#include <QTabWidget>

namespace Vuxo {

class CTabViewCtrl : public QTabWidget {
    Q_OBJECT
public:
    explicit CTabViewCtrl(QWidget* parent = nullptr);

    // Appends a tab showing `view` (which becomes a child of the control). The first tab, or one added
    // with `activate`, becomes the active one, silently.
    int AddTab(const QString& text, QWidget* view, bool activate, const QIcon& icon = QIcon());

    // Activates tab `index` (ignored outside the tabs) and emits tabChanged with the selected tab, also
    // when `index` was active already.
    void SetActiveTab(int index);
    // The following / preceding tab, wrapping around; then tabChanged.
    void SelectNextTab();
    void SelectPreviousTab();

    int GetActiveTab() const { return currentIndex(); }
    int GetTabCount() const { return count(); }

signals:
    // After every tab switch except SetActiveView's (the frame shows the toolbar of tab `index`).
    void tabChanged(int index);

protected:
    // Shows view `index`, hides the old one and gives the new one the focus; nothing is emitted. An
    // index outside the tabs or equal to the active one is ignored.
    void SetActiveView(int index);

private:
    void OnCurrentChanged(int index);

    bool m_silent = false; // set while SetActiveView switches
};

} // namespace Vuxo
