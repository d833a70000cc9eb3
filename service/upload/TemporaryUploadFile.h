// The file an upload writes while it arrives: created under a free temporary name beside its
// destination ("uploading_a.txt.CORVANTA", or numbered), filled, closed, and then given the first free
// final name ("a.txt", "a(1).txt", ...); a name too long for its temporary or numbered form is cut to
// fit (UploadNames.h). Both names are reserved atomically: the temporary file is created only when its
// name is free, and the rename never replaces a file, so two uploads of one name, or a file that appears
// meanwhile, always end as separate intact files.
// Until Commit succeeds the object owns the temporary file: the destructor removes it on every path that
// does not reach Commit, an exception included. One upload, one thread.
#pragma once

#include "core/platform/fs/FileDescriptor.h"

#include <cstddef>
#include <string>

namespace Vuxo {

class TemporaryUploadFile {
public:
    TemporaryUploadFile() = default;
    ~TemporaryUploadFile();
    TemporaryUploadFile(const TemporaryUploadFile&) = delete;
    TemporaryUploadFile& operator=(const TemporaryUploadFile&) = delete;

    // Creates the temporary file for `name` in `folder`, taking the next number while a name is taken.
    // False when it cannot be created (no such folder, no permission, a name longer than the folder
    // takes, ...).
    bool Create(const std::string& folder, const std::string& name);
    // The same in the open folder `folder` (whose path is `folderPath`): every name is created, renamed
    // and removed in that very folder, whatever becomes of its path meanwhile.
    bool Create(FileDescriptor folder, const std::string& folderPath, const std::string& name);
    // Appends the bytes; false when fewer were written (the disk is full, the file is too large, ...).
    bool Write(const char* data, size_t length);
    // Closes the file; false when the close reports an error (data that never reached the disk).
    bool Close();
    // Renames the closed file to the first free numbered form of the name; its final name on success.
    // On failure the temporary file stays owned (and is removed with the object).
    bool Commit(std::string& finalName);
    // Removes the temporary file now; false when it could not be removed.
    bool Discard();

    // The temporary file's path ("" before Create and after Commit or Discard).
    const std::string& GetPath() const { return m_path; }

private:
    FileDescriptor m_folder;
    std::string m_name;
    size_t m_nameLimit = 0; // the longest name the folder takes, in bytes
    std::string m_tempName; // in m_folder; "" when there is no temporary file
    std::string m_path;
    FileDescriptor m_file;
};

} // namespace Vuxo
