#include "service/upload/TemporaryUploadFile.h"

#include "core/platform/fs/FileCalls.h"
#include "core/platform/fs/NoReplaceCalls.h"
#include "core/platform/fs/PathCalls.h"
#include "service/upload/UploadNames.h"

#include <cerrno>
#include <utility>

namespace Vuxo {

TemporaryUploadFile::~TemporaryUploadFile() {
    Discard();
}

bool TemporaryUploadFile::Create(const std::string& folder, const std::string& name) {
    return Create(OpenFolderBeneath(folder, {}), folder, name);
}

bool TemporaryUploadFile::Create(FileDescriptor folder, const std::string& folderPath,
                                 const std::string& name) {
    Discard();
    if (!folder.IsValid()) {
        return false;
    }
    // Every name the folder can hold has a temporary name that fits beside it; a longer one has no place.
    const size_t limit = NameLengthLimitIn(folder);
    if (name.size() > limit) {
        return false;
    }
    for (uint32_t n = 0; n <= kMaxUploadNumber; ++n) {
        std::string candidate = MakeTempUploadName(name, n, limit);
        if (candidate.empty()) {
            return false;
        }
        if (QueryLinkStatusIn(folder, candidate) != LinkStatus::Missing) {
            continue;
        }
        int error = 0;
        FileDescriptor file = CreateNewFileIn(folder, candidate, &error);
        if (file.IsValid()) {
            m_folder = std::move(folder);
            m_name = name;
            m_nameLimit = limit;
            m_path = JoinFolderName(folderPath, candidate);
            m_tempName = std::move(candidate);
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
    if (m_tempName.empty() || m_file.IsValid()) {
        return false;
    }
    for (uint32_t n = 0; n <= kMaxUploadNumber; ++n) {
        std::string candidate = AddNumberSuffixWithin(m_name, n, m_nameLimit);
        if (candidate.empty()) {
            return false;
        }
        if (QueryLinkStatusIn(m_folder, candidate) != LinkStatus::Missing) {
            continue;
        }
        const int error = RenameNoReplaceIn(m_folder, m_tempName, candidate);
        if (error == 0) {
            finalName = std::move(candidate);
            m_tempName.clear();
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
    if (m_tempName.empty()) {
        return true;
    }
    if (!RemoveFileIn(m_folder, m_tempName) &&
        QueryLinkStatusIn(m_folder, m_tempName) != LinkStatus::Missing) {
        return false;
    }
    m_tempName.clear();
    m_path.clear();
    return true;
}

} // namespace Vuxo
