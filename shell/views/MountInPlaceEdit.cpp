#include "shell/views/MountInPlaceEdit.h"

#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>

namespace Vuxo {
namespace {

bool IsEditorKey(int key) {
    return key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_F2 ||
           key == Qt::Key_Delete;
}

} // namespace

CMountView::CInPlaceEdit::CInPlaceEdit(CMountView& list, const QModelIndex& item, const QString& alias)
    : QLineEdit(list.viewport()), m_list(list), m_item(item), m_originalAlias(alias) {
    setMaxLength(kMaxLength);
    setText(alias);
}

void CMountView::CInPlaceEdit::Close(bool commit) {
    if (m_closed) {
        return;
    }
    m_closed = true;
    m_cancelled = !commit;
    m_list.FinishRename(this, commit);
}

bool CMountView::CInPlaceEdit::event(QEvent* event) {
    // Keys the editor uses are its own while it has the focus: window shortcuts on them (Escape hides the
    // main window, Delete removes shares, F2 renames) must not fire first.
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (IsEditorKey(key->key())) {
            event->accept();
            return true;
        }
    }
    return QLineEdit::event(event);
}

void CMountView::CInPlaceEdit::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        Close(true);
        return;
    case Qt::Key_Escape:
        event->accept();
        Close(false);
        return;
    case Qt::Key_F2:
        event->accept();
        return;
    default:
        QLineEdit::keyPressEvent(event);
    }
}

void CMountView::CInPlaceEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // A focus change to a popup (the editor's own context menu) or a passing window switch is no end.
    if (event->reason() == Qt::PopupFocusReason || event->reason() == Qt::ActiveWindowFocusReason) {
        return;
    }
    Close(true);
}

} // namespace Vuxo
