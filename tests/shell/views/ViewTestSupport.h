// Helpers of the view tests: a message-box fake that records what it was asked to show, a collector of
// trace entries, and a share folder with its own mount.ini and mount manager.
#pragma once

#include "service/config/QuilloConfig.h"
#include "service/mounts/MountManager.h"
#include "shell/platform/MessageBoxes.h"

#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace Vuxo::ViewTest {

class RecordingMessageBoxes final : public MessageBoxes {
public:
    struct Box {
        QString text;
        QString caption;
        BoxIcon icon;
    };

    BoxAnswer Show(QWidget* parent, const QString& text, const QString& caption, BoxIcon icon,
                   BoxButtons buttons) override;
    BoxAnswer AskWithCheck(QWidget* parent, const QString& text, const QString& checkText,
                           const QString& caption, bool& checked) override;
    BoxAnswer ShowWithLink(QWidget* parent, const QString& text, const QString& linkText,
                           const QString& linkAddress, const QString& caption) override;
    void ShowLinkNotice(QWidget*, const QString& text, const QString&, const QString&,
                        const QString& caption) override {
        boxes.push_back(Box{text, caption, BoxIcon::None});
    }

    std::vector<Box> boxes;
};

// Collects every trace entry while it lives (one at a time per process).
class TraceCollector {
public:
    TraceCollector();
    ~TraceCollector();
    TraceCollector(const TraceCollector&) = delete;
    TraceCollector& operator=(const TraceCollector&) = delete;

    // The texts traced at `level`.
    std::vector<std::string> TextsAt(int level);

private:
    static void Collect(void* context, int level, const char* text);

    std::mutex m_mutex;
    std::vector<std::pair<int, std::string>> m_entries;
};

// A temporary program folder with a mount.ini, the configuration over it and a mount manager.
class ShareFolder {
public:
    ShareFolder();

    // Makes a folder (or, with `file`, a file) below the temporary folder and gives its path.
    std::string MakeFolder(const std::string& name);
    std::string MakeFile(const std::string& name);
    std::string Path(const std::string& name) const;

    QuilloConfig& Config() { return *m_config; }
    MountManager& Mounts() { return *m_mounts; }

    // The share names as mount.ini now holds them, read back by a fresh configuration and manager.
    std::vector<std::string> SavedShareNames() const;

private:
    QTemporaryDir m_dir;
    std::string m_root;
    std::unique_ptr<QuilloConfig> m_config;
    std::unique_ptr<MountManager> m_mounts;
};

} // namespace Vuxo::ViewTest
