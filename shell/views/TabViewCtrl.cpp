#include "shell/views/TabViewCtrl.h"

#include <QScopedValueRollback>

namespace Vuxo {

CTabViewCtrl::CTabViewCtrl(QWidget* parent) : QTabWidget(parent) {
    setTabPosition(QTabWidget::South);
    setDocumentMode(true);
    connect(this, &QTabWidget::currentChanged, this, &CTabViewCtrl::OnCurrentChanged);
}

int CTabViewCtrl::AddTab(const QString& text, QWidget* view, bool activate, const QIcon& icon) {
    bool wasEmpty = count() == 0;
    int index;
    {
        // Adding the first tab makes it current; that is no switch the frame needs to hear of.
        QScopedValueRollback<bool> silent(m_silent, true);
        index = addTab(view, icon, text);
    }
    if (activate || wasEmpty) {
        SetActiveView(index);
    }
    return index;
}

void CTabViewCtrl::SetActiveView(int index) {
    if (index < 0 || index >= count() || index == currentIndex()) {
        return;
    }
    QScopedValueRollback<bool> silent(m_silent, true);
    setCurrentIndex(index);
    if (QWidget* view = widget(index)) {
        view->setFocus();
    }
}

void CTabViewCtrl::SetActiveTab(int index) {
    SetActiveView(index);
    emit tabChanged(currentIndex());
}

void CTabViewCtrl::SelectNextTab() {
    if (count() == 0) {
        return;
    }
    SetActiveView((currentIndex() + 1) % count());
    emit tabChanged(currentIndex());
}

void CTabViewCtrl::SelectPreviousTab() {
    if (count() == 0) {
        return;
    }
    SetActiveView((currentIndex() + count() - 1) % count());
    emit tabChanged(currentIndex());
}

void CTabViewCtrl::OnCurrentChanged(int index) {
    // A click on a tab or the tab bar's own keys.
    if (m_silent || index < 0) {
        return;
    }
    if (QWidget* view = widget(index)) {
        view->setFocus();
    }
    emit tabChanged(index);
}

} // namespace Vuxo
