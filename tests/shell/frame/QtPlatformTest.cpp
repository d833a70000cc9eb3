// The Qt implementations behind the frame's platform interfaces, driven offscreen: the picker takes a file
// or a folder, the question with a check box reports the box whichever way it was closed, Escape on a
// yes/no box means No, and the clipboard provider fills the desktop clipboard.
#include "core/text/Clipboard.h"
#include "shell/dialogs/CheckMessageBox.h"
#include "shell/dialogs/QtMessageBoxes.h"
#include "shell/dialogs/UrlMessageBox.h"
#include "shell/platform/ModalRunner.h"
#include "shell/platform/PathPicker.h"
#include "shell/platform/QtClipboard.h"
#include "shell/platform/UrlOpener.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <thread>

using namespace Vuxo;

namespace {

// Runs `act` on the modal dialog of type T as soon as it is open (and `ready` says so).
template <typename T>
void WhenModalOpens(
    std::function<void(T&)> act, std::function<bool(T&)> ready = [](T&) { return true; }) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, act, ready] {
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        if (dialog != nullptr && ready(*dialog)) {
            poll->stop();
            poll->deleteLater();
            act(*dialog);
        }
    });
    poll->start(10);
}

} // namespace

class QtPlatformTest : public QObject {
    Q_OBJECT

private slots:
    void thePickerTakesAFolderOrAFile() {
        QTemporaryDir root;
        QDir(root.path()).mkpath(QStringLiteral("music"));
        QFile file(root.filePath(QStringLiteral("notes.txt")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QtPathPicker picker;
        // The dialog reads the folder in the background; a user sees its entries before choosing one.
        const auto listed = [](QFileDialog& dialog) {
            const auto* model = dialog.findChild<QFileSystemModel*>();
            return model != nullptr && model->rowCount(model->index(dialog.directory().absolutePath())) == 2;
        };

        for (const QString& name : {QStringLiteral("music"), QStringLiteral("notes.txt")}) {
            const QString path = root.filePath(name);
            // Names the entry (again, until the dialog takes it as the selection), then chooses it.
            const auto selected = [&listed, path](QFileDialog& dialog) {
                if (!listed(dialog)) {
                    return false;
                }
                // What the user types into the name box.
                auto* nameBox = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                if (nameBox == nullptr) {
                    return false;
                }
                nameBox->setText(QFileInfo(path).fileName());
                return dialog.selectedFiles().value(0) == path;
            };
            WhenModalOpens<QFileDialog>([](QFileDialog& dialog) { static_cast<QDialog&>(dialog).accept(); },
                                        selected);
            const std::optional<QString> picked =
                picker.PickFileOrFolder(nullptr, QStringLiteral("pick"), root.path());
            QVERIFY(picked.has_value());
            QCOMPARE(*picked, path);
        }

        // Nothing selected: the folder being shown.
        WhenModalOpens<QFileDialog>([](QFileDialog& dialog) { static_cast<QDialog&>(dialog).accept(); });
        QCOMPARE(picker.PickFileOrFolder(nullptr, QStringLiteral("pick"), root.path()).value_or(QString()),
                 root.path());

        QStringList buttons;
        WhenModalOpens<QFileDialog>([&buttons](QFileDialog& dialog) {
            buttons << dialog.labelText(QFileDialog::Accept) << dialog.labelText(QFileDialog::Reject);
            dialog.reject();
        });
        QVERIFY(!picker.PickFileOrFolder(nullptr, QStringLiteral("pick"), root.path()).has_value());
        QCOMPARE(buttons, (QStringList{QString::fromUtf8("선택(&C)"), QString::fromUtf8("취소")}));
    }

    void theCheckBoxIsReportedWhicheverWayTheQuestionCloses_data() {
        QTest::addColumn<bool>("pressYes");
        QTest::addColumn<bool>("check");
        QTest::newRow("yes, checked") << true << true;
        QTest::newRow("escape, checked") << false << true;
        QTest::newRow("escape, not checked") << false << false;
    }

    void theCheckBoxIsReportedWhicheverWayTheQuestionCloses() {
        QFETCH(bool, pressYes);
        QFETCH(bool, check);
        QtModalRunner runner;
        QtUrlOpener opener;
        QtMessageBoxes boxes(runner, opener);
        QString shownText;
        WhenModalOpens<CCheckMessageBox>([&](CCheckMessageBox& box) {
            shownText = box.findChild<QLabel*>(QStringLiteral("id1039"))->text();
            box.findChild<QCheckBox*>(QStringLiteral("id1040"))->setChecked(check);
            if (pressYes) {
                box.findChild<QPushButton*>(QStringLiteral("id1"))->click();
            } else {
                QTest::keyClick(&box, Qt::Key_Escape);
            }
        });
        bool checked = !check;
        const BoxAnswer answer =
            boxes.AskWithCheck(nullptr, QStringLiteral("End them?"), QStringLiteral("Ban"),
                               QStringLiteral("Disconnect"), checked);
        QCOMPARE(answer, pressYes ? BoxAnswer::Yes : BoxAnswer::No);
        QCOMPARE(checked, check);
        QCOMPARE(shownText, QStringLiteral("End them?"));
    }

    void escapeOnAYesNoBoxIsNoAndTheButtonsSpeakTheWindowsLanguage() {
        QtModalRunner runner;
        QtUrlOpener opener;
        QtMessageBoxes boxes(runner, opener);
        QStringList buttons;
        WhenModalOpens<QMessageBox>([&buttons](QMessageBox& box) {
            buttons << box.button(QMessageBox::Yes)->text() << box.button(QMessageBox::No)->text();
            QTest::keyClick(&box, Qt::Key_Escape);
        });
        QCOMPARE(boxes.Show(nullptr, QStringLiteral("Exit?"), QStringLiteral("Exit"), BoxIcon::Question,
                            BoxButtons::YesNo),
                 BoxAnswer::No);
        WhenModalOpens<QMessageBox>([&buttons](QMessageBox& box) {
            buttons << box.button(QMessageBox::Ok)->text();
            box.button(QMessageBox::Ok)->click();
        });
        QCOMPARE(boxes.Show(nullptr, QStringLiteral("Done"), QString(), BoxIcon::None, BoxButtons::Ok),
                 BoxAnswer::Ok);
        // The built-in texts, as the table gives them without a language.
        QCOMPARE(buttons, (QStringList{QString::fromUtf8("예"), QString::fromUtf8("아니오"),
                                       QString::fromUtf8("확인")}));
    }

    void theLinkNoticeDoesNotWaitAndGoesWhenClosed() {
        QtModalRunner runner;
        QtUrlOpener opener;
        QtMessageBoxes boxes(runner, opener);
        QWidget owner;
        boxes.ShowLinkNotice(&owner, QStringLiteral("Newer"), QStringLiteral("the page"),
                             QStringLiteral("https://corvanta.example/"), QStringLiteral("Quillo Corvanta"));
        // Returned at once: the box shows, and nothing waits in a loop of its own.
        QPointer<CUrlMessageBox> box = owner.findChild<CUrlMessageBox*>();
        QVERIFY(box != nullptr && box->isVisible() && box->windowModality() == Qt::NonModal);
        box->findChild<QPushButton*>(QStringLiteral("id2"))->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(box.isNull());
    }

    void theClipboardProviderFillsTheDesktopClipboard() {
        SetClipboardProvider(MakeQtClipboardProvider());
        QVERIFY(SetClipboardText(u"http://127.0.0.1:8080/\r\nhttp://127.0.0.1:8080/a"));
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QStringLiteral("http://127.0.0.1:8080/\r\nhttp://127.0.0.1:8080/a"));
        // From another thread the text arrives through the event loop.
        std::thread worker([] { SetClipboardText(u"from a worker"); });
        worker.join();
        QCoreApplication::processEvents();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("from a worker"));
        SetClipboardProvider({});
        QVERIFY(!SetClipboardText(u"nobody takes this"));
    }
};

QTEST_MAIN(QtPlatformTest)
#include "QtPlatformTest.moc"
