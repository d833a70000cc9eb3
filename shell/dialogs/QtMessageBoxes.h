// The program's message boxes: plain boxes are QMessageBox, the question with a check box and the box with
// a link are the shell's own dialogs (CCheckMessageBox, CUrlMessageBox), run through the dialog runner; the
// link notice is a CUrlMessageBox that is only shown and deletes itself when closed. The runner and the URL
// opener are not owned; they outlive the boxes. GUI thread only.
#pragma once

#include "shell/platform/MessageBoxes.h"

namespace Vuxo {

class ModalRunner;
class UrlOpener;

class QtMessageBoxes final : public MessageBoxes {
public:
    QtMessageBoxes(ModalRunner& runner, UrlOpener& opener) : m_runner(runner), m_opener(opener) {}

    BoxAnswer Show(QWidget* parent, const QString& text, const QString& caption, BoxIcon icon,
                   BoxButtons buttons) override;
    BoxAnswer AskWithCheck(QWidget* parent, const QString& text, const QString& checkText,
                           const QString& caption, bool& checked) override;
    BoxAnswer ShowWithLink(QWidget* parent, const QString& text, const QString& linkText,
                           const QString& linkAddress, const QString& caption) override;
    void ShowLinkNotice(QWidget* parent, const QString& text, const QString& linkText,
                        const QString& linkAddress, const QString& caption) override;

private:
    ModalRunner& m_runner;
    UrlOpener& m_opener;
};

} // namespace Vuxo
