// An input iterator over the entries of one folder: the folder lists, the skin, plug-in and language
// loaders walk folders with it. "." and ".." are never yielded; everything else comes in the order the
// file system gives it, with its kind, size and modification time (links followed, one stat per entry).
// Copies share one open search (reference-counted); the last copy to go closes the directory stream.
// An iterator and its copies belong to one thread at a time; no lock.
#pragma once

#include "core/platform/fs/FileCalls.h"

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <string>
#include <utility>

namespace Vuxo {

// One entry of a folder.
struct FindFileData {
    std::string name;                  // the file-system name, as stored (normally UTF-8)
    PathKind kind = PathKind::Missing; // Missing for a link whose target is gone
    int64_t size = 0;                  // bytes of a regular file, 0 for anything else
    int64_t lastWriteTime = 0;         // seconds since 1970-01-01 UTC, 0 when unknown
    bool isLink = false;               // a symbolic link (kind, size and time are its target's)

    bool IsDirectory() const { return kind == PathKind::Directory; }
    bool IsRegularFile() const { return kind == PathKind::Regular; }
    // Hidden entries are the names that begin with ".".
    bool IsHidden() const { return !name.empty() && name.front() == '.'; }
};

class FindFileIterator {
public:
    using iterator_category = std::input_iterator_tag;
    using value_type = FindFileData;
    using difference_type = std::ptrdiff_t;
    using pointer = const FindFileData*;
    using reference = const FindFileData&;

    // The end iterator.
    FindFileIterator() = default;
    // Opens the folder and moves to its first entry; at the end at once when the folder cannot be read
    // or holds nothing but "." and "..".
    explicit FindFileIterator(const std::string& utf8Folder);
    // The same over a folder already open (OpenFolderBeneath); takes the descriptor over.
    explicit FindFileIterator(FileDescriptor folder);

    reference operator*() const;
    pointer operator->() const;
    // Moves every copy of this search to the next entry (an input iterator).
    FindFileIterator& operator++();
    // Equal when both are at the end, or both are copies of one search.
    bool operator==(const FindFileIterator& other) const;

    bool AtEnd() const;

private:
    struct Search;
    std::shared_ptr<Search> m_search;
};

// So a folder can be walked with a range-based for: for (const FindFileData& e : FindFileRange(path)).
class FindFileRange {
public:
    explicit FindFileRange(std::string utf8Folder) : m_folder(std::move(utf8Folder)) {}
    FindFileIterator begin() const { return FindFileIterator(m_folder); }
    FindFileIterator end() const { return FindFileIterator(); }

private:
    std::string m_folder;
};

} // namespace Vuxo
