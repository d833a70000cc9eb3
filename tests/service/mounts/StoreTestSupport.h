// Shared by the tests of the shares, accounts and access modules: a temporary folder, a program folder with
// its own mount.ini and QuilloConfig, and a collector of trace lines.
#pragma once

#include "core/log/Trace.h"
#include "service/config/QuilloConfig.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

namespace Vuxo::StoreTest {

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "corvanta-store-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        m_path = pattern;
    }
    ~TempFolder() {
        std::error_code error;
        std::filesystem::remove_all(m_path, error);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return m_path; }
    std::string Sub(const std::string& relative) const { return m_path + "/" + relative; }
    std::string MakeFolder(const std::string& relative) const {
        std::filesystem::create_directories(Sub(relative));
        return Sub(relative);
    }
    std::string MakeFile(const std::string& relative, const std::string& bytes = "data") const {
        std::filesystem::create_directories(std::filesystem::path(Sub(relative)).parent_path());
        std::ofstream(Sub(relative), std::ios::binary) << bytes;
        return Sub(relative);
    }

private:
    std::string m_path;
};

inline std::string ReadFile(const std::string& path) {
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

// A program folder whose mount.ini holds `lines` before its configuration loads.
class ConfigFolder {
public:
    explicit ConfigFolder(const std::vector<std::string>& lines = {}) {
        std::ofstream out(IniPath(), std::ios::binary);
        for (const std::string& line : lines) {
            out << line << "\n";
        }
        out.close();
        m_config = std::make_unique<QuilloConfig>(m_folder.Path());
    }

    QuilloConfig& Config() { return *m_config; }
    std::string IniPath() const { return m_folder.Sub(QuilloConfig::kFileName); }
    // The elements of one list as mount.ini holds them now.
    std::vector<std::string> Saved(const std::string& key) const {
        std::vector<std::string> values;
        std::istringstream lines(ReadFile(IniPath()));
        for (std::string line; std::getline(lines, line);) {
            const std::size_t at = line.find(key + "+=");
            if (at <= 3) { // after the byte-order mark on the first line
                values.push_back(line.substr(at + key.size() + 2));
            }
        }
        return values;
    }
    // A second configuration over the same folder, as at the next start of the program.
    std::unique_ptr<QuilloConfig> Reopen() const { return std::make_unique<QuilloConfig>(m_folder.Path()); }

private:
    TempFolder m_folder;
    std::unique_ptr<QuilloConfig> m_config;
};

// Collects the trace lines of one level while it lives.
class TraceCollector {
public:
    TraceCollector() {
        SetTraceMask(0xffffffffu);
        SetTraceCallback(&TraceCollector::Receive, this);
    }
    ~TraceCollector() { SetTraceCallback(nullptr, nullptr); }
    TraceCollector(const TraceCollector&) = delete;
    TraceCollector& operator=(const TraceCollector&) = delete;

    std::vector<std::string> TextsAt(int level) {
        std::lock_guard<std::mutex> guard(m_mutex);
        std::vector<std::string> texts;
        for (const auto& [lineLevel, text] : m_lines) {
            if (lineLevel == level) {
                texts.push_back(text);
            }
        }
        return texts;
    }

private:
    static void Receive(void* context, int level, const char* text) {
        auto* self = static_cast<TraceCollector*>(context);
        std::lock_guard<std::mutex> guard(self->m_mutex);
        self->m_lines.emplace_back(level, text);
    }

    std::mutex m_mutex;
    std::vector<std::pair<int, std::string>> m_lines;
};

} // namespace Vuxo::StoreTest
