#include "shell/platform/MessageBoxes.h"

#include "shell/platform/ShellText.h"

#include <QAbstractButton>
#include <QMessageBox>

namespace Vuxo {

namespace {

QMessageBox::Icon ToQtIcon(BoxIcon icon) {
    switch (icon) {
    case BoxIcon::Information:
        return QMessageBox::Information;
    case BoxIcon::Warning:
        return QMessageBox::Warning;
    case BoxIcon::Error:
        return QMessageBox::Critical;
    case BoxIcon::Question:
        return QMessageBox::Question;
    case BoxIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

BoxAnswer ShowQtMessageBox(QWidget* parent, const QString& text, const QString& caption, BoxIcon icon,
                           BoxButtons buttons) {
    // Qt's own button texts are English whatever the window's language: the table names them.
    if (buttons == BoxButtons::Ok) {
        QMessageBox box(ToQtIcon(icon), caption, text, QMessageBox::Ok, parent);
        box.button(QMessageBox::Ok)->setText(ShellText("확인"));
        box.exec();
        return BoxAnswer::Ok;
    }
    QMessageBox box(ToQtIcon(icon), caption, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.button(QMessageBox::Yes)->setText(ShellText("예"));
    box.button(QMessageBox::No)->setText(ShellText("아니오"));
    return box.exec() == QMessageBox::Yes ? BoxAnswer::Yes : BoxAnswer::No;
}

} // namespace Vuxo
