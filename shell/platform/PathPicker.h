// The chooser of the add-share command: one dialog in which the user picks either a file or a folder.
// The frame asks the interface; the program passes the Qt dialog, tests a fake that answers a path.
// GUI thread only.
#pragma once

#include <QString>

#include <optional>

class QWidget;

namespace Vuxo {

class PathPicker {
public:
    virtual ~PathPicker() = default;

    // Runs modally over `parent`, starting in `startFolder`; the chosen file or folder as an absolute path,
    // or nothing when the user cancelled.
    virtual std::optional<QString> PickFileOrFolder(QWidget* parent, const QString& title,
                                                    const QString& startFolder) = 0;
};

// A QFileDialog (Qt's own, since the desktop's choosers pick either files or folders, never both) whose
// accept button takes the selected file or folder; double-clicking a folder still opens it.
class QtPathPicker final : public PathPicker {
public:
    std::optional<QString> PickFileOrFolder(QWidget* parent, const QString& title,
                                            const QString& startFolder) override;
};

} // namespace Vuxo
