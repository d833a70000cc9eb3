// Modal message boxes as the shell asks them: a text, a caption, an icon, and either an OK button or Yes
// and No; the yes/no question with a check box of the disconnect command; and the box with a link (the
// connection test waits for it, the newer-version notice does not). The callers own no implementation: the
// program passes the one of shell/dialogs, tests a recording fake. GUI thread only.
#pragma once

#include <QString>

class QWidget;

namespace Vuxo {

enum class BoxIcon { None, Information, Warning, Error, Question };
enum class BoxButtons { Ok, YesNo };
// What closed the box. Escape and the close button count as No on a Yes/No box.
enum class BoxAnswer { Ok, Yes, No };

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;

    // An empty caption leaves the window title empty.
    virtual BoxAnswer Show(QWidget* parent, const QString& text, const QString& caption, BoxIcon icon,
                           BoxButtons buttons) = 0;
    // A Yes/No question with a check box below the text; `checked` receives the check box's state whichever
    // way the box was closed.
    virtual BoxAnswer AskWithCheck(QWidget* parent, const QString& text, const QString& checkText,
                                   const QString& caption, bool& checked) = 0;
    // A message with a link below it (`linkText`, opening `linkAddress` when clicked) and one visible
    // button; that button, Escape and the close button answer No. A null parent shows the box without an
    // owner window.
    virtual BoxAnswer ShowWithLink(QWidget* parent, const QString& text, const QString& linkText,
                                   const QString& linkAddress, const QString& caption) = 0;
    // The same box without waiting for it (no loop of its own): it returns at once and the box stays
    // until the user closes it. It goes with `parent` at the latest.
    virtual void ShowLinkNotice(QWidget* parent, const QString& text, const QString& linkText,
                                const QString& linkAddress, const QString& caption) = 0;
};

// A plain QMessageBox, run modally over `parent` (or without owner when it is null): what Show does in the
// program, and the fallback of views that were given no boxes.
BoxAnswer ShowQtMessageBox(QWidget* parent, const QString& text, const QString& caption, BoxIcon icon,
                           BoxButtons buttons);

} // namespace Vuxo
