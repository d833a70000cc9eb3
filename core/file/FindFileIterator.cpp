#include "core/file/FindFileIterator.h"

#include "core/platform/fs/DirectoryReader.h"

namespace Vuxo {

struct FindFileIterator::Search {
    DirectoryReader reader;
    DirectoryEntry entry; // kept, with the current name, so a walk does not allocate per entry
    FindFileData current;
    bool atEnd = false;

    // Reads up to the next entry that is not "." or ".."; at the end the stream is closed at once.
    void Advance() {
        while (reader.Next(entry)) {
            if (entry.name == "." || entry.name == "..") {
                continue;
            }
            current.name.assign(entry.name);
            current.size = 0;
            current.lastWriteTime = 0;
            current.kind = entry.kind;
            current.isLink = entry.isLink;
            PathInfo info;
            if (reader.QueryEntry(current.name, info)) {
                current.kind = info.kind;
                current.size = info.kind == PathKind::Regular ? info.size : 0;
                current.lastWriteTime = info.lastWriteTime;
            } else {
                // A dangling link, or an entry removed since it was read.
                current.kind = PathKind::Missing;
            }
            return;
        }
        reader.Close();
        current = FindFileData{};
        atEnd = true;
    }
};

FindFileIterator::FindFileIterator(const std::string& utf8Folder) : m_search(std::make_shared<Search>()) {
    if (utf8Folder.empty() || !m_search->reader.Open(utf8Folder)) {
        m_search->atEnd = true;
        return;
    }
    m_search->Advance();
}

FindFileIterator::FindFileIterator(FileDescriptor folder) : m_search(std::make_shared<Search>()) {
    if (!m_search->reader.Open(std::move(folder))) {
        m_search->atEnd = true;
        return;
    }
    m_search->Advance();
}

bool FindFileIterator::AtEnd() const {
    return !m_search || m_search->atEnd;
}

FindFileIterator::reference FindFileIterator::operator*() const {
    static const FindFileData kNone;
    return AtEnd() ? kNone : m_search->current;
}

FindFileIterator::pointer FindFileIterator::operator->() const {
    return &**this;
}

FindFileIterator& FindFileIterator::operator++() {
    if (!AtEnd()) {
        m_search->Advance();
    }
    return *this;
}

bool FindFileIterator::operator==(const FindFileIterator& other) const {
    if (AtEnd() || other.AtEnd()) {
        return AtEnd() == other.AtEnd();
    }
    return m_search == other.m_search;
}

} // namespace Vuxo
