// The entries that one folder page shows: a share root's shares or a folder's files and folders, with
// their links, dates and sizes, and their order on the page (folders first, then by name ignoring letter
// case, names that compare equal in the order they were found).
// Built and sorted by one ListRequestProcessor on one thread; no lock.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Vuxo {

struct ListEntry {
    static constexpr int kFolder = 1;
    static constexpr int kFile = 2;

    std::string name; // the file-system name (UTF-8 as stored)
    std::string link; // the name URL-encoded, "/" appended for a folder
    std::string date; // FormatFileTime of the modification time
    std::string size; // FormatNumberWithCommas of a file's size, "" for a folder
    int kind = kFile;
    std::string sortKey; // MakeSortKey(name)
};

class ListEntryList {
public:
    void AddFolder(const std::string& name, int64_t lastWriteTime);
    void AddFile(const std::string& name, int64_t size, int64_t lastWriteTime);

    // Folders before files; by the folded name; a stable sort, so equal names keep their order.
    void Sort();

    const std::vector<ListEntry>& GetEntries() const { return m_entries; }
    // Hands the entries over (the list is left empty; the total stays).
    std::vector<ListEntry> TakeEntries() { return std::move(m_entries); }
    // Total bytes of the file entries.
    int64_t GetTotalSize() const { return m_totalSize; }

private:
    // FormatFileTime, remembered for the page: files of a folder often share their times, and each
    // conversion takes the C library's time-zone lock, which every connection thread wants.
    std::string DateOf(int64_t lastWriteTime);

    struct DateMemo {
        int64_t time = 0;
        bool set = false;
        std::string text;
    };
    static constexpr size_t kDateMemoSize = 64;

    std::vector<ListEntry> m_entries;
    int64_t m_totalSize = 0;
    DateMemo m_dates[kDateMemoSize];
};

// The key a name sorts by: its characters folded to lower case (every script that has case, not only
// ASCII), as UTF-8, whose byte order is the order of the code points. Invalid UTF-8 bytes become U+FFFD.
std::string MakeSortKey(const std::string& name);

} // namespace Vuxo
