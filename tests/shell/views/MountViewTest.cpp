// The share list over a real mount manager and mount.ini in a temporary folder: adding, renaming (with
// its refusals) and deleting, the rename editor's keys, selection, context menu and the address signals.
#include "ViewTestSupport.h"

#include "core/log/Trace.h"
#include "shell/views/MountInPlaceEdit.h"
#include "shell/views/MountListModel.h"
#include "shell/views/MountView.h"
#include "shell/views/ViewCommands.h"

#include <QtTest>

#include <QLineEdit>
#include <QMenu>
#include <QShortcut>
#include <QVBoxLayout>

#include <memory>

using namespace Vuxo;
using namespace Vuxo::ViewTest;

namespace {

QString Q(const char* utf8) {
    return QString::fromUtf8(utf8);
}

const char* const kForbidden = "사용할 수 없는 문자가 공유 항목의 이름에 들어있습니다.";
const char* const kRefused = "공유 항목의 이름을 변경하지 못하였습니다.";
const char* const kEmpty = "공유 항목의 이름을 입력해 주십시오.";
const char* const kCaption = "이름 변경 실패";

// A window with the share list between an address box and another field, as the main frame lays it out.
struct Window {
    QWidget window;
    QLineEdit* addressBox;
    CMountView* view;
    QLineEdit* other;
    QShortcut* escape; // a window-wide Escape, like the frame's hide-to-tray key
    int escapes = 0;

    Window() {
        auto* layout = new QVBoxLayout(&window);
        addressBox = new QLineEdit(&window);
        view = new CMountView(&window);
        other = new QLineEdit(&window);
        layout->addWidget(addressBox);
        layout->addWidget(view);
        layout->addWidget(other);
        view->SetAddressBox(addressBox);
        escape = new QShortcut(QKeySequence(Qt::Key_Escape), &window);
        QObject::connect(escape, &QShortcut::activated, [this] { ++escapes; });
        window.resize(600, 400);
    }

    // Shows and activates the window; false when the platform could not activate it.
    bool Show() {
        window.show();
        window.activateWindow();
        QCoreApplication::processEvents();
        return window.isActiveWindow();
    }
};

} // namespace

class MountViewTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void imagesTellFilesFoldersAndMissingPaths();
    void addRenameDeleteKeepMountIniInStep();
    void renameRefusals_data();
    void renameRefusals();
    void renameToTheSameNameSaysNothing();
    void renameAppliesToTheOneSelectedShare();
    void editorEnterCommits();
    void editorEscapeCancelsBeforeTheWindowsEscape();
    void editorFocusLossCommits();
    void editorRefusalKeepsTheList();
    void closingWhileRenamingRenamesNothing();
    void updateMountByName();
    void rightClickSelection();
    void contextMenus();
    void doubleClickAsksForSettings();
    void selectionAndFocusTellTheAddress();

private:
    std::unique_ptr<ShareFolder> m_folder;
    std::unique_ptr<RecordingMessageBoxes> m_boxes;

    // Shares `name` (a new folder) through the manager and the list, as the frame's add command does.
    std::string Share(CMountView& view, const std::string& name);
};

void MountViewTest::init() {
    m_folder = std::make_unique<ShareFolder>();
    m_boxes = std::make_unique<RecordingMessageBoxes>();
}

void MountViewTest::cleanup() {
    m_boxes.reset();
    m_folder.reset();
}

std::string MountViewTest::Share(CMountView& view, const std::string& name) {
    const std::string path = m_folder->MakeFolder(name);
    const std::string alias = m_folder->Mounts().AddMount(path);
    if (!alias.empty()) {
        view.AddMount(path, alias);
    }
    return alias;
}

void MountViewTest::imagesTellFilesFoldersAndMissingPaths() {
    CMountView view;
    QVERIFY(view.AddMount(m_folder->MakeFolder("Music"), "Music"));
    QVERIFY(view.AddMount(m_folder->MakeFile("notes.txt"), "notes.txt"));
    QVERIFY(view.AddMount(m_folder->Path("gone"), "gone"));
    QCOMPARE(view.GetItemImageIndex(0), 1);
    QCOMPARE(view.GetItemImageIndex(1), 0);
    QCOMPARE(view.GetItemImageIndex(2), 2);
    for (int row = 0; row < 3; ++row) {
        QVERIFY(!view.model()->index(row, 0).data(Qt::DecorationRole).value<QIcon>().isNull());
    }
    const QModelIndex first = view.model()->index(0, 0);
    QCOMPARE(first.data(Qt::DisplayRole).toString(),
             Q("Music\n") + QString::fromStdString(m_folder->Path("Music")));
    QCOMPARE(first.data(kShareAliasRole).toString(), Q("Music"));
}

void MountViewTest::addRenameDeleteKeepMountIniInStep() {
    CMountView view;
    view.SetMountManager(&m_folder->Mounts());
    view.SetMessageBoxes(m_boxes.get());

    QCOMPARE(Share(view, "Music"), std::string("Music"));
    QCOMPARE(Share(view, "Photos"), std::string("Photos"));
    QCOMPARE(m_folder->SavedShareNames(), (std::vector<std::string>{"Music", "Photos"}));

    QVERIFY(view.RenameItem(0, Q("노래")));
    QCOMPARE(view.GetItemAlias(0), std::string("노래"));
    QCOMPARE(view.GetItemLocalPath(0), m_folder->Path("Music"));
    QCOMPARE(view.GetItemImageIndex(0), 1);
    QCOMPARE(m_folder->SavedShareNames(), (std::vector<std::string>{"Photos", "노래"}));
    QVERIFY(m_boxes->boxes.empty());

    // The frame's delete command: the manager first, then the list.
    QVERIFY(m_folder->Mounts().RemoveMount(view.GetItemAlias(1)));
    view.DeleteItem(1);
    QCOMPARE(view.GetItemCount(), 1);
    QCOMPARE(m_folder->SavedShareNames(), (std::vector<std::string>{"노래"}));
}

void MountViewTest::renameRefusals_data() {
    QTest::addColumn<QString>("newName");
    QTest::addColumn<QString>("message");
    for (const char* name : {"a:b", "a\"b", "a*b", "a/b", "a<b", "a>b", "a?b", "a\\b", "a|b"}) {
        QTest::newRow(name) << Q(name) << Q(kForbidden);
    }
    QTest::newRow("another share's name") << Q("Photos") << Q(kRefused);
    QTest::newRow("empty") << QString() << Q(kEmpty);
    QTest::newRow("dot dot") << Q("..") << Q(kRefused);
    QTest::newRow("line feed") << Q("a\nb") << Q(kRefused);
}

void MountViewTest::renameRefusals() {
    QFETCH(QString, newName);
    QFETCH(QString, message);
    CMountView view;
    view.SetMountManager(&m_folder->Mounts());
    view.SetMessageBoxes(m_boxes.get());
    Share(view, "Music");
    Share(view, "Photos");

    QVERIFY(!view.RenameItem(0, newName));
    QCOMPARE(m_boxes->boxes.size(), size_t(1));
    QCOMPARE(m_boxes->boxes[0].text, message);
    QCOMPARE(m_boxes->boxes[0].caption, Q(kCaption));
    QCOMPARE(view.GetItemAlias(0), std::string("Music"));
    QCOMPARE(view.GetItemAlias(1), std::string("Photos"));
    QCOMPARE(m_folder->SavedShareNames(), (std::vector<std::string>{"Music", "Photos"}));
}

void MountViewTest::renameToTheSameNameSaysNothing() {
    CMountView view;
    view.SetMountManager(&m_folder->Mounts());
    view.SetMessageBoxes(m_boxes.get());
    Share(view, "Music");
    QVERIFY(!view.RenameItem(0, Q("Music")));
    QVERIFY(m_boxes->boxes.empty());
    QCOMPARE(view.GetItemAlias(0), std::string("Music"));
    // Outside the list: nothing at all.
    QVERIFY(!view.RenameItem(5, Q("x")));
    QVERIFY(m_boxes->boxes.empty());
}

void MountViewTest::renameAppliesToTheOneSelectedShare() {
    Window w;
    QVERIFY(w.Show());
    CMountView& view = *w.view;
    view.SetMountManager(&m_folder->Mounts());
    view.SetMessageBoxes(m_boxes.get());
    Share(view, "A");
    Share(view, "B");
    Share(view, "C");

    view.BeginRename(); // nothing selected
    QVERIFY(!view.IsRenaming());

    view.selectAll();
    view.BeginRename(); // several selected
    QVERIFY(!view.IsRenaming());

    // One selected, the current item elsewhere: the selected share is the one renamed.
    view.SelectOnly(1);
    view.selectionModel()->setCurrentIndex(view.model()->index(2, 0), QItemSelectionModel::NoUpdate);
    QCOMPARE(view.GetSelectedIndices(), std::vector<int>{1});
    view.BeginRename();
    QVERIFY(view.IsRenaming());
    CMountView::CInPlaceEdit* editor = view.GetRenameEditor();
    QCOMPARE(editor->GetItem().row(), 1);
    QCOMPARE(editor->text(), Q("B"));
    QCOMPARE(editor->selectedText(), Q("B"));
    QCOMPARE(editor->maxLength(), 260);
    editor->setText(Q("Bee"));
    QTest::keyClick(editor, Qt::Key_Return);
    QVERIFY(!view.IsRenaming());
    QCOMPARE(view.GetItemAlias(1), std::string("Bee"));
    QCOMPARE(view.GetItemAlias(2), std::string("C"));
}

void MountViewTest::editorEnterCommits() {
    Window w;
    QVERIFY(w.Show());
    CMountView& view = *w.view;
    view.SetMountManager(&m_folder->Mounts());
    view.SetMessageBoxes(m_boxes.get());
    Share(view, "Music");
    view.setFocus();
    view.SelectOnly(0);
    view.BeginRename();
    QPointer<QLineEdit> editor = view.GetRenameEditor();
    QVERIFY(editor);
    QVERIFY(editor->hasFocus());
    QTest::keyClicks(editor, "Songs");   // replaces the selected name
    QTest::keyClick(editor, Qt::Key_F2); // swallowed
    QTest::keyClick(editor, Qt::Key_Enter);
    QCOMPARE(view.GetItemAlias(0), std::string("Songs"));
    QCOMPARE(m_folder->SavedShareNames(), std::vector<std::string>{"Songs"});
    QVERIFY(view.hasFocus()); // the list gets the focus back
    QCOMPARE(w.escapes, 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(editor.isNull());
}

void MountViewTest::editorEscapeCancelsBeforeTheWindowsEscape() {
    Window w;
    QVERIFY(w.Show());
    CMountView& view = *w.view;
    view.SetMountManager(&m_folder->Mounts());
    view.SetMessageBoxes(m_boxes.get());
    Share(view, "Music");
    view.setFocus();

    // The window's Escape works while no editor is open ...
    QTest::keyClick(&view, Qt::Key_Escape);
    QCOMPARE(w.escapes, 1);

    // ... but an open editor takes the key first and cancels.
    view.SelectOnly(0);
    view.BeginRename();
    QLineEdit* editor = view.GetRenameEditor();
    QTest::keyClicks(editor, "Other");
    QTest::keyClick(editor, Qt::Key_Escape);
    QCOMPARE(w.escapes, 1);
    QVERIFY(!view.IsRenaming());
    QCOMPARE(view.GetItemAlias(0), std::string("Music"));
    QCOMPARE(m_folder->SavedShareNames(), std::vector<std::string>{"Music"});
    QVERIFY(m_boxes->boxes.empty());

    // CancelRename closes an editor the same way.
    view.BeginRename();
    view.GetRenameEditor()->setText(Q("Other"));
    view.CancelRename();
    QVERIFY(!view.IsRenaming());
    QCOMPARE(view.GetItemAlias(0), std::string("Music"));
}

void MountViewTest::editorFocusLossCommits() {
    Window w;
    QVERIFY(w.Show());
    CMountView& view = *w.view;
    view.SetMountManager(&m_folder->Mounts());
    view.SetMessageBoxes(m_boxes.get());
    Share(view, "Music");
    view.SelectOnly(0);
    view.BeginRename();
    view.GetRenameEditor()->setText(Q("Clicked away"));
    w.other->setFocus(Qt::MouseFocusReason);
    QVERIFY(!view.IsRenaming());
    QCOMPARE(view.GetItemAlias(0), std::string("Clicked away"));
    QVERIFY(w.other->hasFocus());
}

void MountViewTest::editorRefusalKeepsTheList() {
    Window w;
    QVERIFY(w.Show());
    CMountView& view = *w.view;
    view.SetMountManager(&m_folder->Mounts());
    view.SetMessageBoxes(m_boxes.get());
    Share(view, "Music");
    view.SelectOnly(0);
    view.BeginRename();
    QLineEdit* editor = view.GetRenameEditor();
    editor->clear();
    QTest::keyClick(editor, Qt::Key_Return);
    QCOMPARE(m_boxes->boxes.size(), size_t(1));
    QCOMPARE(m_boxes->boxes[0].text, Q(kEmpty));
    QCOMPARE(view.GetItemAlias(0), std::string("Music"));
    QCOMPARE(m_folder->SavedShareNames(), std::vector<std::string>{"Music"});
}

void MountViewTest::closingWhileRenamingRenamesNothing() {
    auto w = std::make_unique<Window>();
    QVERIFY(w->Show());
    CMountView& view = *w->view;
    view.SetMountManager(&m_folder->Mounts());
    view.SetMessageBoxes(m_boxes.get());
    Share(view, "Music");
    view.SelectOnly(0);
    view.BeginRename();
    view.GetRenameEditor()->setText(Q("Half typed"));
    QVERIFY(view.GetRenameEditor()->hasFocus());
    w.reset(); // the window goes with the editor open and focused
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(m_boxes->boxes.empty());
    QCOMPARE(m_folder->SavedShareNames(), std::vector<std::string>{"Music"});
}

void MountViewTest::updateMountByName() {
    TraceCollector traces;
    CMountView view;
    view.SetMountManager(&m_folder->Mounts());
    view.SetMessageBoxes(m_boxes.get());
    Share(view, "Music");
    Share(view, "Photos");
    view.UpdateMount(Q("Photos"), Q("Pictures"));
    QCOMPARE(view.GetItemAlias(1), std::string("Pictures"));
    QCOMPARE(m_folder->SavedShareNames(), (std::vector<std::string>{"Music", "Pictures"}));

    view.UpdateMount(Q("photos"), Q("Other")); // exact comparison only
    QCOMPARE(traces.TextsAt(LOG_ALERT),
             std::vector<std::string>{"자료 무결성 깨짐 - 공유 이름을 찾을 수 없습니다."});
    QCOMPARE(view.GetItemAlias(1), std::string("Pictures"));
    QCOMPARE(m_folder->SavedShareNames(), (std::vector<std::string>{"Music", "Pictures"}));

    view.UpdateMount(Q("Music"), Q("a:b")); // the same refusals as the editor
    QCOMPARE(m_boxes->boxes.size(), size_t(1));
    QCOMPARE(m_boxes->boxes[0].text, Q(kForbidden));
}

void MountViewTest::rightClickSelection() {
    Window w;
    QVERIFY(w.Show());
    CMountView& view = *w.view;
    for (const char* name : {"A", "B", "C"}) {
        view.AddMount(m_folder->MakeFolder(name), name);
    }
    auto centre = [&](int row) { return view.visualRect(view.model()->index(row, 0)).center(); };

    view.selectionModel()->select(view.model()->index(0, 0), QItemSelectionModel::Select);
    view.selectionModel()->select(view.model()->index(2, 0), QItemSelectionModel::Select);
    view.SelectItemAtPoint(centre(2)); // one of several selected: all stay
    QCOMPARE(view.GetSelectedIndices(), (std::vector<int>{0, 2}));

    view.SelectItemAtPoint(centre(1)); // not selected: it alone
    QCOMPARE(view.GetSelectedIndices(), std::vector<int>{1});

    const QRect last = view.visualRect(view.model()->index(2, 0));
    view.SelectItemAtPoint(QPoint(last.center().x(), last.bottom() + 20)); // below the items: no change
    QCOMPARE(view.GetSelectedIndices(), std::vector<int>{1});
    view.selectionModel()->clearSelection();
    view.SelectItemAtPoint(QPoint(last.center().x(), last.bottom() + 20));
    QVERIFY(view.GetSelectedIndices().empty());
}

void MountViewTest::contextMenus() {
    Window w;
    QVERIFY(w.Show());
    CMountView& view = *w.view;
    view.AddMount(m_folder->MakeFolder("A"), "A");
    view.AddMount(m_folder->MakeFolder("B"), "B");
    QSignalSpy commands(&view, &CMountView::commandRequested);

    // Nothing selected: only the greyed hint.
    std::unique_ptr<QMenu> warning(view.CreateContextMenu(nullptr));
    QCOMPARE(warning->objectName(), Q("Warning"));
    QCOMPARE(warning->actions().size(), 1);
    QCOMPARE(warning->actions()[0]->text(), Q("한 개 이상의 항목을 선택해주세요"));
    QVERIFY(!warning->actions()[0]->isEnabled());

    view.SelectOnly(1);
    std::unique_ptr<QMenu> menu(view.CreateContextMenu(nullptr));
    QCOMPARE(menu->objectName(), Q("Default"));
    const QList<QAction*> actions = menu->actions();
    QCOMPARE(actions.size(), 5);
    const int ids[] = {kViewCmdCopyWebAddress, kViewCmdRenameShare, kViewCmdDeleteShares, 0,
                       kViewCmdShareSettings};
    const char* texts[] = {"웹 주소를 클립보드로 복사(&C)", "공유 항목 이름 변경(&R)", "공유 항목 삭제(&D)",
                           "", "공유 항목 설정(&P)"};
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(actions[i]->isSeparator(), ids[i] == 0);
        if (ids[i] != 0) {
            QCOMPARE(actions[i]->text(), Q(texts[i]));
            actions[i]->trigger();
            QCOMPARE(commands.constLast().at(0).toInt(), ids[i]);
        }
    }
    QCOMPARE(commands.size(), 4);

    // A real right-click on the unselected first share selects it alone and opens the menu.
    const QPoint at = view.visualRect(view.model()->index(0, 0)).center();
    QContextMenuEvent click(QContextMenuEvent::Mouse, at, view.viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(view.viewport(), &click);
    QCOMPARE(view.GetSelectedIndices(), std::vector<int>{0});
    auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    QVERIFY(popup != nullptr);
    QCOMPARE(popup->objectName(), Q("Default"));
    popup->close();
}

void MountViewTest::doubleClickAsksForSettings() {
    Window w;
    QVERIFY(w.Show());
    CMountView& view = *w.view;
    view.AddMount(m_folder->MakeFolder("A"), "A");
    QSignalSpy commands(&view, &CMountView::commandRequested);
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, {},
                       view.visualRect(view.model()->index(0, 0)).center());
    QCOMPARE(commands.size(), 1);
    QCOMPARE(commands[0].at(0).toInt(), int(kViewCmdShareSettings));
    QVERIFY(!view.IsRenaming());
}

void MountViewTest::selectionAndFocusTellTheAddress() {
    Window w;
    QVERIFY(w.Show());
    CMountView& view = *w.view;
    view.AddMount(m_folder->MakeFolder("A"), "A");
    view.AddMount(m_folder->MakeFolder("B"), "B");
    QSignalSpy selected(&view, &CMountView::shareSelected);
    QSignalSpy root(&view, &CMountView::rootAddressRequested);

    // A click tells the frame which share to show.
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {},
                      view.visualRect(view.model()->index(1, 0)).center());
    QVERIFY(view.hasFocus());
    QCOMPARE(selected.size(), 1);
    QCOMPARE(selected[0].at(0).toString(), Q("B"));

    // Selecting from code (the frame's Ctrl+A, the right-click) tells nothing.
    view.selectAll();
    view.SelectOnly(0);
    QCOMPARE(selected.size(), 1);

    // Focus to the address box: the selection goes, the share's address stays.
    w.addressBox->setFocus(Qt::MouseFocusReason);
    QVERIFY(view.GetSelectedIndices().empty());
    QCOMPARE(root.size(), 0);

    // Focus anywhere else: the root address comes back.
    view.setFocus(Qt::MouseFocusReason);
    view.SelectOnly(1);
    w.other->setFocus(Qt::MouseFocusReason);
    QVERIFY(view.GetSelectedIndices().empty());
    QCOMPARE(root.size(), 1);

    // While the frame deletes shares, the selection is kept.
    view.setFocus(Qt::MouseFocusReason);
    view.SelectOnly(1);
    view.SetKeepSelection(true);
    w.other->setFocus(Qt::MouseFocusReason);
    QCOMPARE(view.GetSelectedIndices(), std::vector<int>{1});
    QCOMPARE(root.size(), 2);
    view.SetKeepSelection(false);

    // The rename editor is part of the list: opening it keeps the selection and the address.
    view.setFocus(Qt::MouseFocusReason);
    view.SelectOnly(1);
    view.BeginRename();
    QVERIFY(view.IsRenaming());
    QCOMPARE(view.GetSelectedIndices(), std::vector<int>{1});
    QCOMPARE(root.size(), 2);
    view.CancelRename();
    QCOMPARE(selected.size(), 1);
}

QTEST_MAIN(MountViewTest)
#include "MountViewTest.moc"
