// CMountView: the share list, the first tab of the main window. It shows the shares the main frame and the
// tab view add (AddMount), tells the frame which share is selected (shareSelected / rootAddressRequested,
// for the address box), turns its context menu and double-click into the frame's commands
// (commandRequested) and owns the in-place rename of a share. The mount manager is the only store of
// shares; the list mirrors it and asks it to rename.
//
// Keys: Escape and Enter belong to an open rename editor (it accepts their ShortcutOverride, so window
// shortcuts on those keys do not fire while it has the focus); a frame that filters keys itself asks
// IsRenaming() first. The frame sets the keep-selection flag while its delete-shares command runs.
// Made and owned by CMyTabViewCtrl; GUI thread only. The mount manager (not owned) must outlive its use:
// the frame sets null before the server goes.
#pragma once

#include <QListView>
#include <QPointer>
#include <QString>

#include <string>
#include <vector>

class QMenu;

namespace Vuxo {

class MessageBoxes;
class MountListModel;
class MountManager;

class CMountView final : public QListView {
    Q_OBJECT
public:
    class CInPlaceEdit;

    explicit CMountView(QWidget* parent = nullptr);
    ~CMountView() override;

    void SetMountManager(MountManager* manager) { m_mountManager = manager; }
    MountManager* GetMountManager() const { return m_mountManager; }
    // The message boxes of the refusals (not owned; the frame's); null: the Qt boxes.
    void SetMessageBoxes(MessageBoxes* boxes) { m_boxes = boxes; }
    // While set, losing the focus keeps the selection.
    void SetKeepSelection(bool keep) { m_keepSelection = keep; }
    bool GetKeepSelection() const { return m_keepSelection; }
    // The frame's address box: when the focus moves there, the share's address stays.
    void SetAddressBox(const QWidget* addressBox) { m_addressBox = addressBox; }

    // Appends the share (local path and name in UTF-8); always true.
    bool AddMount(const std::string& localPath, const std::string& alias);
    // Removes item `index` (called after the mount manager removed the share).
    void DeleteItem(int index);

    int GetItemCount() const;
    std::string GetItemAlias(int index) const;
    std::string GetItemLocalPath(int index) const;
    int GetItemImageIndex(int index) const;
    // The selected items, in list order.
    std::vector<int> GetSelectedIndices() const;
    std::vector<std::string> GetSelectedAliases() const;
    // Makes `index` the only selected item and the current one.
    void SelectOnly(int index);
    // Selects every item (the frame's Ctrl+A); like SelectOnly it tells the frame nothing.
    void selectAll() override;

    // Opens the rename editor over the one selected share; nothing when none or several are selected.
    void BeginRename();
    bool IsRenaming() const;
    // Closes an open rename editor without renaming.
    void CancelRename();
    CInPlaceEdit* GetRenameEditor() const;

    // Renames item `index` through the mount manager. Refused, with a message and nothing changed: an
    // empty name, a name holding one of  " * / : < > ? \ |, and a name the manager refuses (another share
    // has it). The same name changes nothing and says nothing. True when the share was renamed.
    bool RenameItem(int index, const QString& newName);
    // Renames the first item named `oldName` (the share-settings dialog after OK); when none has it, a
    // level-32 log entry tells that the list and the shares disagree.
    void UpdateMount(const QString& oldName, const QString& newName);

    // Selects as a right-click at `pos` (viewport coordinates) does: a click on a selected item keeps the
    // selection, on another item selects it alone, below the items changes nothing.
    void SelectItemAtPoint(const QPoint& pos);
    // The context menu for the current selection ("Default" popup, or the greyed "Warning" item); its
    // actions emit commandRequested. The caller owns the menu.
    QMenu* CreateContextMenu(QWidget* parent);

    MountListModel& GetModel() { return *m_model; }

signals:
    // The user made `alias` the current share; the frame shows its web address.
    void shareSelected(const QString& alias);
    // The list lost the focus to something other than the address box; the frame shows the root address.
    void rootAddressRequested();
    // A command for the frame (ViewCommandId).
    void commandRequested(int commandId);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;

private:
    void OnFocusChanged(QWidget* old, QWidget* now);
    bool OwnsWidget(const QWidget* widget) const;
    // Called once by the editor as it closes; renames unless cancelled.
    void FinishRename(CInPlaceEdit* editor, bool commit);
    void Refuse(const char* text);
    void ClearSelectionQuietly();

    MountListModel* m_model;
    MountManager* m_mountManager = nullptr;
    MessageBoxes* m_boxes = nullptr;
    const QWidget* m_addressBox = nullptr;
    bool m_keepSelection = false;
    bool m_quietSelection = false; // set while the view changes the selection itself
    QPointer<CInPlaceEdit> m_editor;
    QMetaObject::Connection m_focusConnection;
};

} // namespace Vuxo
