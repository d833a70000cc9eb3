#include "shell/views/MountView.h"

#include "core/i18n/LocalizationStringTable.h"
#include "core/log/Trace.h"
#include "service/mounts/Mount.h"
#include "service/mounts/MountManager.h"
#include "shell/platform/MessageBoxes.h"
#include "shell/views/MountInPlaceEdit.h"
#include "shell/views/MountItemDelegate.h"
#include "shell/views/MountListModel.h"
#include "shell/views/ViewCommands.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMouseEvent>
#include <QScopedValueRollback>

#include <algorithm>

namespace Vuxo {
namespace {

// Characters a share name may not hold; the mount manager refuses a few more (control characters).
constexpr char16_t kForbiddenNameCharacters[] = u"\"*/:<>?\\|";

bool HasForbiddenCharacter(const QString& name) {
    return std::any_of(name.begin(), name.end(), [](QChar c) {
        return std::u16string_view(kForbiddenNameCharacters).find(c.unicode()) != std::u16string_view::npos;
    });
}

QString TrQ(const char* text) {
    return QString::fromUtf8(Tr(text));
}

} // namespace

CMountView::CMountView(QWidget* parent) : QListView(parent), m_model(new MountListModel(this)) {
    setModel(m_model);
    setItemDelegate(new MountItemDelegate(this));
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setUniformItemSizes(true);
    setAcceptDrops(false);
    viewport()->setAcceptDrops(false);
    m_focusConnection = connect(qApp, &QApplication::focusChanged, this, &CMountView::OnFocusChanged);
}

CMountView::~CMountView() {
    // The base destructors move the focus away: neither the list nor an open editor (a child that goes
    // with it, without renaming) may hear of it any more.
    disconnect(m_focusConnection);
    if (m_editor) {
        m_editor->Abandon();
    }
}

bool CMountView::AddMount(const std::string& localPath, const std::string& alias) {
    m_model->Append(alias, localPath);
    return true;
}

void CMountView::DeleteItem(int index) {
    m_model->Remove(index);
}

int CMountView::GetItemCount() const {
    return m_model->rowCount();
}

std::string CMountView::GetItemAlias(int index) const {
    return m_model->GetAlias(index);
}

std::string CMountView::GetItemLocalPath(int index) const {
    return m_model->GetLocalPath(index);
}

int CMountView::GetItemImageIndex(int index) const {
    return m_model->GetImageIndex(index);
}

std::vector<int> CMountView::GetSelectedIndices() const {
    std::vector<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedIndexes()) {
        rows.push_back(index.row());
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

std::vector<std::string> CMountView::GetSelectedAliases() const {
    std::vector<std::string> aliases;
    for (int row : GetSelectedIndices()) {
        aliases.push_back(m_model->GetAlias(row));
    }
    return aliases;
}

void CMountView::SelectOnly(int index) {
    QModelIndex item = m_model->index(index);
    if (!item.isValid()) {
        return;
    }
    QScopedValueRollback<bool> quiet(m_quietSelection, true);
    selectionModel()->setCurrentIndex(item, QItemSelectionModel::ClearAndSelect);
}

void CMountView::selectAll() {
    QScopedValueRollback<bool> quiet(m_quietSelection, true);
    QListView::selectAll();
}

void CMountView::ClearSelectionQuietly() {
    QScopedValueRollback<bool> quiet(m_quietSelection, true);
    selectionModel()->clearSelection();
}

void CMountView::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
    QListView::selectionChanged(selected, deselected);
    if (m_quietSelection) {
        return;
    }
    QModelIndex current = currentIndex();
    if (current.isValid()) {
        emit shareSelected(QString::fromUtf8(m_model->GetAlias(current.row())));
    }
}

bool CMountView::OwnsWidget(const QWidget* widget) const {
    return widget != nullptr && (widget == this || isAncestorOf(widget));
}

void CMountView::OnFocusChanged(QWidget* old, QWidget* now) {
    // The rename editor is part of the list: moving into it or back is no loss of focus.
    if (!OwnsWidget(old) || OwnsWidget(now)) {
        return;
    }
    if (!m_keepSelection) {
        ClearSelectionQuietly();
    }
    if (now == nullptr || now != m_addressBox) {
        emit rootAddressRequested();
    }
}

void CMountView::SelectItemAtPoint(const QPoint& pos) {
    QModelIndex hit = indexAt(pos);
    if (!hit.isValid() || selectionModel()->isSelected(hit)) {
        return;
    }
    QScopedValueRollback<bool> quiet(m_quietSelection, true);
    selectionModel()->setCurrentIndex(hit, QItemSelectionModel::ClearAndSelect);
}

QMenu* CMountView::CreateContextMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    auto addCommand = [this, menu](const char* text, int id) {
        QAction* action = menu->addAction(TrQ(text));
        action->setData(id);
        connect(action, &QAction::triggered, this, [this, id] { emit commandRequested(id); });
        return action;
    };
    if (!selectionModel()->selectedIndexes().isEmpty()) {
        menu->setObjectName(QStringLiteral("Default"));
        addCommand("웹 주소를 클립보드로 복사(&C)", kViewCmdCopyWebAddress);
        addCommand("공유 항목 이름 변경(&R)", kViewCmdRenameShare);
        addCommand("공유 항목 삭제(&D)", kViewCmdDeleteShares);
        menu->addSeparator();
        addCommand("공유 항목 설정(&P)", kViewCmdShareSettings);
    } else {
        menu->setObjectName(QStringLiteral("Warning"));
        QAction* action = menu->addAction(TrQ("한 개 이상의 항목을 선택해주세요"));
        action->setData(static_cast<int>(kViewCmdNoSelection));
        action->setEnabled(false);
    }
    return menu;
}

void CMountView::contextMenuEvent(QContextMenuEvent* event) {
    if (event->reason() == QContextMenuEvent::Mouse) {
        SelectItemAtPoint(viewport()->mapFrom(this, event->pos()));
    }
    QMenu* menu = CreateContextMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
    event->accept();
}

void CMountView::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
    emit commandRequested(kViewCmdShareSettings);
}

void CMountView::BeginRename() {
    std::vector<int> selected = GetSelectedIndices();
    if (selected.size() != 1) {
        return; // the rename applies to exactly one share
    }
    QModelIndex item = m_model->index(selected.front());
    scrollTo(item);
    QRect itemRect = visualRect(item);
    if (!item.isValid() || !itemRect.isValid()) {
        return;
    }
    CancelRename();
    auto* editor = new CInPlaceEdit(*this, item, QString::fromUtf8(m_model->GetAlias(item.row())));
    editor->setFont(font());
    // Over the name line, 10 pixels short of the item's visible right edge.
    const int left = itemRect.left() + 56;
    const int right = std::min(itemRect.right(), viewport()->width() - 1) - 10;
    const int width = std::max(40, right - left);
    editor->setGeometry(left, itemRect.top() + 2, width, std::max(18, editor->sizeHint().height()));
    m_editor = editor;
    editor->show();
    editor->setFocus();
    editor->selectAll();
}

bool CMountView::IsRenaming() const {
    return m_editor && !m_editor->IsClosed();
}

void CMountView::CancelRename() {
    if (m_editor) {
        m_editor->Close(false);
    }
}

CMountView::CInPlaceEdit* CMountView::GetRenameEditor() const {
    return m_editor.data();
}

void CMountView::FinishRename(CInPlaceEdit* editor, bool commit) {
    if (m_editor == editor) {
        m_editor = nullptr;
    }
    QPersistentModelIndex item = editor->GetItem();
    QString newName = editor->text();
    if (editor->hasFocus()) {
        setFocus(Qt::OtherFocusReason); // the list keeps the focus the editor had
    }
    editor->hide();
    editor->deleteLater();
    if (commit && item.isValid()) {
        RenameItem(item.row(), newName);
    }
}

void CMountView::Refuse(const char* text) {
    if (m_boxes != nullptr) {
        m_boxes->Show(this, TrQ(text), TrQ("이름 변경 실패"), BoxIcon::Warning, BoxButtons::Ok);
    } else {
        ShowQtMessageBox(this, TrQ(text), TrQ("이름 변경 실패"), BoxIcon::Warning, BoxButtons::Ok);
    }
}

bool CMountView::RenameItem(int index, const QString& newName) {
    if (index < 0 || index >= m_model->rowCount()) {
        return false;
    }
    if (newName.isEmpty()) {
        Refuse("공유 항목의 이름을 입력해 주십시오.");
        return false;
    }
    if (HasForbiddenCharacter(newName)) {
        Refuse("사용할 수 없는 문자가 공유 항목의 이름에 들어있습니다.");
        return false;
    }
    const std::string oldAlias = m_model->GetAlias(index);
    const std::string newAlias = newName.toStdString();
    if (oldAlias == newAlias) {
        return false;
    }
    if (m_mountManager == nullptr || !m_mountManager->RenameMount(oldAlias, newAlias)) {
        Refuse("공유 항목의 이름을 변경하지 못하였습니다.");
        return false;
    }
    Mount mount;
    std::string localPath =
        m_mountManager->GetMount(newAlias, mount) ? mount.localPath : m_model->GetLocalPath(index);
    m_model->Replace(index, newAlias, localPath);
    return true;
}

void CMountView::UpdateMount(const QString& oldName, const QString& newName) {
    int row = m_model->FindAlias(oldName.toStdString());
    if (row < 0) {
        Trace(LOG_ALERT, "%s", Tr("자료 무결성 깨짐 - 공유 이름을 찾을 수 없습니다."));
        return;
    }
    RenameItem(row, newName);
}

} // namespace Vuxo
