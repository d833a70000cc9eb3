#include "shell/platform/PathPicker.h"

#include "shell/platform/ShellText.h"

#include <QFileDialog>
#include <QFileInfo>

namespace Vuxo {

namespace {

class FileOrFolderDialog final : public QFileDialog {
public:
    FileOrFolderDialog(QWidget* parent, const QString& title, const QString& startFolder)
        : QFileDialog(parent, title, startFolder) {
        setOption(QFileDialog::DontUseNativeDialog, true);
        setFileMode(QFileDialog::ExistingFile);
        setAcceptMode(QFileDialog::AcceptOpen);
        // Qt's own button texts are English whatever the window's language: the table names them.
        setLabelText(QFileDialog::Accept, ShellText("선택(&C)"));
        setLabelText(QFileDialog::Reject, ShellText("취소"));
    }

    const QString& Chosen() const { return m_chosen; }

    // Takes what is selected, file or folder; with nothing selected, the folder being shown.
    void accept() override {
        const QStringList selected = selectedFiles();
        const QString path = selected.isEmpty() ? directory().absolutePath() : selected.first();
        const QFileInfo info(path);
        if (!info.exists()) {
            return;
        }
        m_chosen = info.absoluteFilePath();
        QDialog::accept();
    }

private:
    QString m_chosen;
};

} // namespace

std::optional<QString> QtPathPicker::PickFileOrFolder(QWidget* parent, const QString& title,
                                                      const QString& startFolder) {
    FileOrFolderDialog dialog(parent, title, startFolder);
    if (dialog.exec() != QDialog::Accepted || dialog.Chosen().isEmpty()) {
        return std::nullopt;
    }
    return dialog.Chosen();
}

} // namespace Vuxo
