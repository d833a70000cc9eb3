#include "service/upload/TemporaryUploadFile.h"

#include "core/file/FileHelpers.h"
#include "core/platform/fs/FileCalls.h"
#include "core/platform/fs/NoReplaceCalls.h"
#include "service/upload/UploadNames.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace Vuxo {

TemporaryUploadFile::~TemporaryUploadFile() {
    Discard();
}

bool TemporaryUploadFile::Create(const std::string& folder, const std::string& name) {
    Discard();
    const std::string tempName = std::string(kTempUploadPrefix) + name + std::string(kTempUploadSuffix);
    for (uint32_t n = 0; n <= kMaxUploadNumber; ++n) {
        const std::string path = JoinFolderName(folder, AddNumberSuffix(tempName, n));
        if (FileExists(path)) {
            continue;
        }
        int error = 0;
        FileDescriptor file = CreateNewFile(path, &error);
        if (file.IsValid()) {
            m_folder = folder;
            m_name = name;
            m_path = path;
            m_file = std::move(file);
            return true;
        }
        if (error != EEXIST) {
            return false;
        }
        // Taken between the look and the create: the next number.
    }
    return false;
}

bool TemporaryUploadFile::Write(const char* data, size_t length) {
    return m_file.IsValid() && WriteFully(m_file.Get(), data, length) == length;
}

bool TemporaryUploadFile::Close() {
    return m_file.IsValid() && m_file.Close();
}

bool TemporaryUploadFile::Commit(std::string& finalName) {
    if (m_path.empty() || m_file.IsValid()) {
        return false;
    }
    for (uint32_t n = 0; n <= kMaxUploadNumber; ++n) {
        std::string candidate = AddNumberSuffix(m_name, n);
        const std::string path = JoinFolderName(m_folder, candidate);
        if (FileExists(path)) {
            continue;
        }
        const int error = RenameNoReplace(m_path, path);
        if (error == 0) {
            finalName = std::move(candidate);
            m_path.clear();
            return true;
        }
        if (error != EEXIST) {
            return false;
        }
    }
    return false;
}

bool TemporaryUploadFile::Discard() {
    m_file.Close();
    if (m_path.empty()) {
        return true;
    }
    std::error_code error;
    std::filesystem::remove(m_path, error);
    if (error) {
        return false;
    }
    m_path.clear();
    return true;
}

} // namespace Vuxo
