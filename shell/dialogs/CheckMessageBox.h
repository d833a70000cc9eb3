// CCheckMessageBox: a yes/no question with a check box under its text (the disconnect command asks
// whether to ban the addresses too). It records which button closed it and the check box's state at that
// moment; Escape and the close button answer No and record the state as well. Made on the caller's stack
// for one modal run (ShowCheckMessageBox); GUI thread only.
#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;

namespace Vuxo {

class ModalRunner;

class CCheckMessageBox final : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTextId = 1039;
    static constexpr int kCheckId = 1040;

    CCheckMessageBox(const QString& text, const QString& checkText, const QString& caption,
                     QWidget* parent = nullptr);

    // IDYES after "예", IDNO after "아니오", Escape or the close button, and until the box closes.
    int GetResult() const { return m_result; }
    // The check box's state when the box closed (false until then).
    bool IsChecked() const { return m_checked; }

    void accept() override;
    void reject() override;

private:
    void Close(int result);

    QCheckBox* m_check;
    int m_result;
    bool m_checked = false;
};

// Runs the box through `runner`; gives IDYES or IDNO and hands out the check box's state.
int ShowCheckMessageBox(ModalRunner& runner, QWidget* parent, const QString& text, const QString& checkText,
                        const QString& caption, bool& checked);

} // namespace Vuxo
