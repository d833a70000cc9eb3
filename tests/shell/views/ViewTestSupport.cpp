#include "ViewTestSupport.h"

#include "core/log/Trace.h"

#include <QtTest>

#include <filesystem>
#include <fstream>

namespace Vuxo::ViewTest {

BoxAnswer RecordingMessageBoxes::Show(QWidget*, const QString& text, const QString& caption, BoxIcon icon,
                                      BoxButtons buttons) {
    boxes.push_back(Box{text, caption, icon});
    return buttons == BoxButtons::Ok ? BoxAnswer::Ok : BoxAnswer::Yes;
}

BoxAnswer RecordingMessageBoxes::AskWithCheck(QWidget*, const QString& text, const QString&,
                                              const QString& caption, bool& checked) {
    boxes.push_back(Box{text, caption, BoxIcon::Question});
    checked = false;
    return BoxAnswer::Yes;
}

BoxAnswer RecordingMessageBoxes::ShowWithLink(QWidget*, const QString& text, const QString&, const QString&,
                                              const QString& caption) {
    boxes.push_back(Box{text, caption, BoxIcon::None});
    return BoxAnswer::No;
}

TraceCollector::TraceCollector() {
    SetTraceMask(0xFFFFFFFFu);
    SetTraceCallback(&TraceCollector::Collect, this);
}

TraceCollector::~TraceCollector() {
    SetTraceCallback(nullptr, nullptr);
}

void TraceCollector::Collect(void* context, int level, const char* text) {
    auto* self = static_cast<TraceCollector*>(context);
    std::lock_guard<std::mutex> lock(self->m_mutex);
    self->m_entries.emplace_back(level, text);
}

std::vector<std::string> TraceCollector::TextsAt(int level) {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<std::string> texts;
    for (const auto& [entryLevel, text] : m_entries) {
        if (entryLevel == level) {
            texts.push_back(text);
        }
    }
    return texts;
}

ShareFolder::ShareFolder() {
    if (!m_dir.isValid()) {
        qFatal("no temporary folder");
    }
    m_root = QFile::encodeName(m_dir.path()).toStdString();
    std::filesystem::create_directories(m_root + "/program");
    m_config = std::make_unique<QuilloConfig>(m_root + "/program");
    m_mounts = std::make_unique<MountManager>(*m_config);
}

std::string ShareFolder::Path(const std::string& name) const {
    return m_root + "/" + name;
}

std::string ShareFolder::MakeFolder(const std::string& name) {
    std::filesystem::create_directories(Path(name));
    return Path(name);
}

std::string ShareFolder::MakeFile(const std::string& name) {
    std::ofstream(Path(name)) << "content";
    return Path(name);
}

std::vector<std::string> ShareFolder::SavedShareNames() const {
    QuilloConfig config(m_root + "/program");
    MountManager mounts(config);
    std::vector<std::string> names;
    mounts.ListMountNames(names);
    return names;
}

} // namespace Vuxo::ViewTest
