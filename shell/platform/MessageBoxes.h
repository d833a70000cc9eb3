// Modal message boxes as the main frame asks them: a text, a caption, an icon, and either an OK button or
// Yes and No, plus the yes/no question with a check box of the disconnect command. The frame owns no
// implementation; the program passes the Qt one and tests a recording fake. GUI thread only.
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
};

// QMessageBox, run modally over `parent` (or without owner when it is null).
class QtMessageBoxes final : public MessageBoxes {
public:
    BoxAnswer Show(QWidget* parent, const QString& text, const QString& caption, BoxIcon icon,
                   BoxButtons buttons) override;
    BoxAnswer AskWithCheck(QWidget* parent, const QString& text, const QString& checkText,
                           const QString& caption, bool& checked) override;
};

} // namespace Vuxo
