#include "shell/platform/MessageBoxes.h"

#include <QCheckBox>
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

BoxAnswer ToAnswer(int button) {
    switch (button) {
    case QMessageBox::Yes:
        return BoxAnswer::Yes;
    case QMessageBox::No:
        return BoxAnswer::No;
    default:
        return BoxAnswer::Ok;
    }
}

} // namespace

BoxAnswer QtMessageBoxes::Show(QWidget* parent, const QString& text, const QString& caption, BoxIcon icon,
                               BoxButtons buttons) {
    const auto qtButtons =
        buttons == BoxButtons::YesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok;
    QMessageBox box(ToQtIcon(icon), caption, text, qtButtons, parent);
    const int result = box.exec();
    if (buttons == BoxButtons::YesNo && result != QMessageBox::Yes) {
        return BoxAnswer::No;
    }
    return ToAnswer(result);
}

BoxAnswer QtMessageBoxes::AskWithCheck(QWidget* parent, const QString& text, const QString& checkText,
                                       const QString& caption, bool& checked) {
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, parent);
    auto* check = new QCheckBox(checkText, &box);
    box.setCheckBox(check);
    const int result = box.exec();
    checked = check->isChecked();
    return result == QMessageBox::Yes ? BoxAnswer::Yes : BoxAnswer::No;
}

} // namespace Vuxo
