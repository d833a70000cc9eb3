// The main frame's key table. Every key pressed in the main window passes here before the widget that has
// the focus sees it; a key the table takes goes no further. A share's rename editor keeps its keys, and
// keys of other windows (dialogs, boxes) are not looked at.
#include "core/text/Clipboard.h"
#include "service/plugins/PluginManager.h"
#include "service/server/QuilloServer.h"
#include "shell/frame/FrameText.h"
#include "shell/frame/MainFrame.h"
#include "shell/views/MountView.h"
#include "shell/views/MyTabViewCtrl.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMetaObject>
#include <QTimer>

namespace Vuxo {

namespace {

constexpr const char* kReloadedText = "모든 스킨과 플러그인을 다시 읽었습니다.\n\n주의: 이 키는 개발 "
                                      "용도로만 사용해야 합니다.\n사용자가 서버를 "
                                      "이용하고 있을 때 이 기능을 이용하는 것은 위험할 수 있습니다.";
constexpr const char* kUnloadedText =
    "모든 플러그인을 해제했습니다. 다시 로딩하려면 Ctrl+F5 키를 누르십시오.\n\n주의: 이 키는 개발 용도로만 "
    "사용해야 합니다.\n사용자가 서버를 이용하고 있을 때 이 기능을 이용하는 것은 위험할 수 있습니다.";

} // namespace

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_addressBox && event->type() == QEvent::FocusIn) {
        // Select the whole address once the click that gave the focus is done with the box.
        QTimer::singleShot(0, m_addressBox, &QLineEdit::selectAll);
        return false;
    }
    if (event->type() == QEvent::KeyPress) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget != nullptr && widget->window() == this && !m_tabView->GetMountView().IsRenaming()) {
            const auto* key = static_cast<QKeyEvent*>(event);
            return OnKey(key->key(), key->modifiers());
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

bool CMainFrame::OnKey(int key, Qt::KeyboardModifiers modifiers) {
    return modifiers.testFlag(Qt::ControlModifier) ? OnCtrlKey(key, modifiers) : OnPlainKey(key);
}

bool CMainFrame::OnPlainKey(int key) {
    const int tab = m_tabView->GetActiveTab();
    switch (key) {
    case Qt::Key_Escape:
        QMetaObject::invokeMethod(
            this, [this] { close(); }, Qt::QueuedConnection);
        return true;
    case Qt::Key_Insert:
        return true;
    case Qt::Key_Delete:
        if (tab == CMyTabViewCtrl::kSharesTab) {
            ExecuteCommand(ID_DELETE_SHARES);
        } else if (tab == CMyTabViewCtrl::kStatusTab) {
            ExecuteCommand(ID_DISCONNECT);
        }
        return true;
    case Qt::Key_F2:
        if (tab == CMyTabViewCtrl::kSharesTab && m_tabView->GetMountView().GetSelectedIndices().size() == 1) {
            m_tabView->GetMountView().BeginRename();
        }
        return true;
    default:
        return false;
    }
}

bool CMainFrame::OnCtrlKey(int key, Qt::KeyboardModifiers modifiers) {
    CMountView& shares = m_tabView->GetMountView();
    switch (key) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab: // Ctrl+Shift+Tab arrives as Backtab
        if (key == Qt::Key_Backtab || modifiers.testFlag(Qt::ShiftModifier)) {
            m_tabView->SelectPreviousTab();
        } else {
            m_tabView->SelectNextTab();
        }
        return true;
    case Qt::Key_1:
    case Qt::Key_2:
    case Qt::Key_3:
        m_tabView->SetActiveTab(key - Qt::Key_1);
        return true;
    case Qt::Key_A:
        if (m_tabView->GetActiveTab() != CMyTabViewCtrl::kSharesTab) {
            return false;
        }
        shares.selectAll();
        return true;
    case Qt::Key_C: {
        QWidget* focus = QApplication::focusWidget();
        if (focus == m_addressBox) {
            if (m_addressBox->hasSelectedText()) {
                SetClipboardText(m_addressBox->selectedText().toStdU16String());
            }
            return true;
        }
        if (focus == &shares || (focus != nullptr && shares.isAncestorOf(focus))) {
            ExecuteCommand(ID_COPY_WEB_ADDRESS);
            return true;
        }
        return false;
    }
    case Qt::Key_P:
        ExecuteCommand(ID_PREFERENCES);
        return true;
    case Qt::Key_F5:
        ReloadResourcesKey();
        return true;
    case Qt::Key_F6:
        UnloadPluginsKey();
        return true;
    default:
        return false;
    }
}

void CMainFrame::ReloadResourcesKey() {
    ReloadResources(*m_server);
    Box(FrameText(kReloadedText), QStringLiteral("Quillo Corvanta"), BoxIcon::Error);
}

void CMainFrame::UnloadPluginsKey() {
    UnloadPlugins();
    Box(FrameText(kUnloadedText), QStringLiteral("Quillo Corvanta"), BoxIcon::Error);
}

} // namespace Vuxo
