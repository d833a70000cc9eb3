// The entries that one folder page shows: a share root's shares or a folder's files and folders, with
// their sizes and times, and their order on the page (folders first, then by name ignoring letter
// case, names that compare equal in the order they were found). A folder may hold hundreds of thousands
// of entries, so they are kept compact: names back to back in large blocks, a fixed record per entry,
// and the texts a page shows of them made only as it renders (ListRows). What they take is drawn from
// the page memory given, so that many big folders listed at once cannot take the server's memory.
// Built and sorted by one list processor on one thread; no lock.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace Vuxo {

class PageMemory;

// One entry as the page sees it; the name points into its list.
struct ListEntry {
    static constexpr int kFolder = 1;
    static constexpr int kFile = 2;

    std::string_view name; // the file-system name (UTF-8 as stored)
    int kind = kFile;
    int64_t size = 0;          // bytes of a file, 0 for a folder
    int64_t lastWriteTime = 0; // seconds since 1970 UTC
};

class ListEntryList {
public:
    // Without a page memory the list is bounded by nothing (a share root's few shares, tests).
    explicit ListEntryList(PageMemory* memory = nullptr);
    ~ListEntryList();
    ListEntryList(const ListEntryList&) = delete;
    ListEntryList& operator=(const ListEntryList&) = delete;

    // False, the entry left out, when the page memory has no room for it: the list is not whole.
    bool AddFolder(std::string_view name, int64_t lastWriteTime);
    bool AddFile(std::string_view name, int64_t size, int64_t lastWriteTime);
    // Drops every entry (what they took stays taken from the page memory).
    void Clear();

    // At least what an entry of the name takes, sorting included, so that a list of entries takes no
    // more than kSlack plus their footprints.
    static size_t Footprint(std::string_view name);
    static const size_t kSlack;

    // Folders before files; by the folded name; names that compare equal keep their order. False, the
    // order left as it was, when the page memory has no room for the sort's working list.
    bool Sort();

    size_t GetCount() const { return m_order.size(); }
    // The entry at `index` of the page's order (the order found, until Sort).
    ListEntry GetEntry(size_t index) const;
    // Total bytes of the file entries.
    int64_t GetTotalSize() const { return m_totalSize; }
    // Bytes of the longest name.
    size_t GetLongestName() const { return m_longestName; }

private:
    // 32 bytes an entry: its name and, when the name does not sort as it stands, its sort key after it.
    struct Stored {
        const char* text;
        int64_t size;
        int64_t lastWriteTime;
        uint16_t nameLength;
        uint16_t keyLength; // 0: the name is its own key
        uint8_t kind;
    };
    static constexpr size_t kBlockEntries = 2048;
    static constexpr size_t kTextBlock = 64 * 1024;

    bool Add(std::string_view name, int kind, int64_t size, int64_t lastWriteTime);
    bool Take(size_t bytes); // from the page memory
    char* StoreText(size_t length);
    const Stored& At(uint32_t position) const {
        return m_blocks[position / kBlockEntries][position % kBlockEntries];
    }
    std::string_view KeyOf(const Stored& entry) const;

    PageMemory* m_memory;
    std::vector<std::unique_ptr<Stored[]>> m_blocks;
    std::vector<std::unique_ptr<char[]>> m_texts;
    char* m_textNext = nullptr; // the free end of the last text block
    size_t m_textLeft = 0;
    std::vector<uint32_t> m_order; // positions of the entries in page order
    int64_t m_totalSize = 0;
    size_t m_longestName = 0;
};

// The key a name sorts by: its characters folded to lower case (every script that has case, not only
// ASCII), as UTF-8, whose byte order is the order of the code points. Invalid UTF-8 bytes become U+FFFD.
std::string MakeSortKey(const std::string& name);

} // namespace Vuxo
