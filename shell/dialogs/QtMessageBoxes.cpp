#include "shell/dialogs/QtMessageBoxes.h"

#include "shell/dialogs/CheckMessageBox.h"
#include "shell/dialogs/DialogIds.h"
#include "shell/dialogs/UrlMessageBox.h"

namespace Vuxo {

BoxAnswer QtMessageBoxes::Show(QWidget* parent, const QString& text, const QString& caption, BoxIcon icon,
                               BoxButtons buttons) {
    return ShowQtMessageBox(parent, text, caption, icon, buttons);
}

BoxAnswer QtMessageBoxes::AskWithCheck(QWidget* parent, const QString& text, const QString& checkText,
                                       const QString& caption, bool& checked) {
    return ShowCheckMessageBox(m_runner, parent, text, checkText, caption, checked) == IDYES ? BoxAnswer::Yes
                                                                                             : BoxAnswer::No;
}

BoxAnswer QtMessageBoxes::ShowWithLink(QWidget* parent, const QString& text, const QString& linkText,
                                       const QString& linkAddress, const QString& caption) {
    return ShowUrlMessageBox(m_runner, m_opener, parent, text, linkText, linkAddress, caption) == IDYES
               ? BoxAnswer::Yes
               : BoxAnswer::No;
}

void QtMessageBoxes::ShowLinkNotice(QWidget* parent, const QString& text, const QString& linkText,
                                    const QString& linkAddress, const QString& caption) {
    auto* box = new CUrlMessageBox(m_opener, text, linkText, linkAddress, caption, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    // Its button ends it as well as the close button does.
    QObject::connect(box, &QDialog::finished, box, &QObject::deleteLater);
    box->show();
}

} // namespace Vuxo
