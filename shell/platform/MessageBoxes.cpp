#include "shell/platform/MessageBoxes.h"

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
    if (buttons == BoxButtons::Ok) {
        QMessageBox box(ToQtIcon(icon), caption, text, QMessageBox::Ok, parent);
        box.exec();
        return BoxAnswer::Ok;
    }
    QMessageBox box(ToQtIcon(icon), caption, text, QMessageBox::Yes | QMessageBox::No, parent);
    return box.exec() == QMessageBox::Yes ? BoxAnswer::Yes : BoxAnswer::No;
}

} // namespace Vuxo
