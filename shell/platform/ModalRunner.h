// Runs a dialog modally and gives its result: every dialog of the shell is run through this, so that the
// program shows it with exec() while a test scripts its controls (set fields, press buttons) without a modal
// loop. The shell's platform bundle holds the one runner; not owned by the dialogs. GUI thread only.
#pragma once

class QDialog;

namespace Vuxo {

class ModalRunner {
public:
    virtual ~ModalRunner() = default;

    // Shows `dialog` until it is closed and gives its result (QDialog::Accepted, QDialog::Rejected or what
    // the dialog passed to done()).
    virtual int Run(QDialog& dialog) = 0;
    // Whether a person can answer a dialog at all (false under Qt's offscreen platform, where nothing
    // shows): a question that nobody could answer is then not asked.
    virtual bool IsInteractive() const = 0;
};

// QDialog::exec().
class QtModalRunner final : public ModalRunner {
public:
    int Run(QDialog& dialog) override;
    bool IsInteractive() const override;
};

} // namespace Vuxo
