#include "core/file/PelkFileFind.h"

#include "core/platform/fs/DirectoryReader.h"

namespace {

// "*" matches any run of characters, "?" exactly one byte; everything else, brackets included, is literal.
bool MatchesWildcard(const std::string& pattern, const std::string& name) {
    size_t p = 0;
    size_t n = 0;
    size_t starPattern = std::string::npos;
    size_t starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starPattern = p++;
            starName = n;
        } else if (starPattern != std::string::npos) {
            p = starPattern + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

} // namespace

PelkFileFind::PelkFileFind() : m_reader(std::make_unique<Vuxo::DirectoryReader>()) {}

PelkFileFind::~PelkFileFind() = default;

bool PelkFileFind::FindFirst(const std::string& utf8Pattern) {
    Close();
    const size_t slash = utf8Pattern.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    // "name" searches the working folder, "/name" the root.
    m_folder =
        slash == std::string::npos ? std::string(1, '.') : utf8Pattern.substr(0, slash == 0 ? 1 : slash);
    m_pattern = utf8Pattern.substr(nameStart);
    if (m_pattern.empty() || !m_reader->Open(m_folder)) {
        Close();
        return false;
    }
    if (!Advance()) {
        Close();
        return false;
    }
    return true;
}

bool PelkFileFind::FindNext() {
    return m_reader->IsOpen() && Advance();
}

bool PelkFileFind::Advance() {
    Vuxo::DirectoryEntry entry;
    while (m_reader->Next(entry)) {
        // "*" also finds names that begin with "."; callers skip them with IsDots().
        if (MatchesWildcard(m_pattern, entry.name)) {
            m_name = entry.name;
            return true;
        }
    }
    m_name.clear();
    return false;
}

void PelkFileFind::Close() {
    m_reader->Close();
    m_name.clear();
}

bool PelkFileFind::IsDots() const {
    return !m_name.empty() && m_name.front() == '.';
}

bool PelkFileFind::IsDirectory() const {
    Vuxo::PathInfo info;
    return !m_name.empty() && m_reader->QueryEntry(m_name, info) && info.kind == Vuxo::PathKind::Directory;
}

int64_t PelkFileFind::GetFileSize() const {
    Vuxo::PathInfo info;
    if (m_name.empty() || !m_reader->QueryEntry(m_name, info) || info.kind == Vuxo::PathKind::Directory) {
        return 0;
    }
    return info.size;
}
