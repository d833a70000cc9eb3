// A directory search: FindFirst("folder/*.txt") then FindNext until false. The last path component is a
// wildcard pattern ("*" any run, "?" one byte, all else literal) matched against the names of its folder, "."
// and
// ".." included; a pattern without wildcards finds that one entry. Owns its directory stream.
// One thread uses an object at a time; it has no lock.
#pragma once

#include "core/thread/Noncopyable.h"

#include <cstdint>
#include <memory>
#include <string>

namespace Vuxo {
class DirectoryReader;
} // namespace Vuxo

class PelkFileFind : private Vuxo::Noncopyable {
public:
    PelkFileFind();
    virtual ~PelkFileFind();

    // Closes a running search and finds the first match; false when the folder cannot be read or nothing
    // matches.
    bool FindFirst(const std::string& utf8Pattern);
    // Advances to the next match; false at the end.
    bool FindNext();
    void Close();

    // The current entry.
    bool IsDots() const;
    const std::string& GetFileName() const { return m_name; }
    bool IsDirectory() const;
    // The current entry's size; 0 when no search is open or the entry cannot be queried.
    int64_t GetFileSize() const;

private:
    bool Advance();

    std::unique_ptr<Vuxo::DirectoryReader> m_reader;
    std::string m_folder;
    std::string m_pattern;
    std::string m_name;
};

namespace Vuxo {
using ::PelkFileFind;
} // namespace Vuxo
