// A fresh folder under the system's temporary directory, removed with everything in it at the end.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

class TempFolder {
public:
    TempFolder() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/corvanta-file-XXXXXX";
        if (::mkdtemp(pattern.data())) {
            m_path = pattern;
        }
        EXPECT_FALSE(m_path.empty());
    }
    ~TempFolder() {
        std::error_code error;
        std::filesystem::remove_all(m_path, error);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string Path(const std::string& name) const { return m_path + "/" + name; }
    const std::string& Root() const { return m_path; }

    void WriteFile(const std::string& name, const std::string& content) const {
        std::ofstream(Path(name), std::ios::binary) << content;
    }
    std::string ReadFile(const std::string& name) const {
        std::ifstream in(Path(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    std::string m_path;
};
