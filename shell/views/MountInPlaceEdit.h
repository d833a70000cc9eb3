// CMountView::CInPlaceEdit: the editor over a share's name while it is renamed. Enter and a focus loss
// commit, Escape cancels; F2 does nothing; the text is at most 260 characters. It closes itself once, tells
// its list (which then renames) and deletes itself later. A child of the list's viewport; GUI thread only.
#pragma once

#include "shell/views/MountView.h"

#include <QLineEdit>
#include <QPersistentModelIndex>

namespace Vuxo {

class CMountView::CInPlaceEdit final : public QLineEdit {
public:
    static constexpr int kMaxLength = 260;

    CInPlaceEdit(CMountView& list, const QModelIndex& item, const QString& alias);

    // The item being renamed; invalid once the item left the list.
    QPersistentModelIndex GetItem() const { return m_item; }
    QString GetOriginalAlias() const { return m_originalAlias; }
    bool IsCancelled() const { return m_cancelled; }
    bool IsClosed() const { return m_closed; }

    // Closes the editor, renaming unless `commit` is false. Later calls do nothing.
    void Close(bool commit);
    // Closes it without telling the list (the list is going away).
    void Abandon() { m_closed = m_cancelled = true; }

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    CMountView& m_list;
    QPersistentModelIndex m_item;
    QString m_originalAlias;
    bool m_cancelled = false;
    bool m_closed = false;
};

} // namespace Vuxo
