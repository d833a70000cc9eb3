#include "service/processors/ListEntries.h"

#include "core/text/StringHelpers.h"
#include "core/text/Utf8.h"
#include "service/pages/PageMemoryBudget.h"

#include <algorithm>
#include <clocale>
#include <cstdint>
#include <cwctype>
#include <locale.h>

namespace Vuxo {

namespace {

// A UTF-8 character type for towlower_l, made once; the "C" locale folds ASCII only.
locale_t FoldingLocale() {
    static const locale_t locale = [] {
        locale_t made = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
        return made != static_cast<locale_t>(0) ? made
                                                : newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(0));
    }();
    return locale;
}

} // namespace

std::string MakeSortKey(const std::string& name) {
    std::string key;
    key.reserve(name.size());
    if (std::all_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        for (char c : name) {
            key.push_back(ToLowerAscii(c));
        }
        return key;
    }
    std::u16string wide = Utf8ToWide(name);
    const locale_t locale = FoldingLocale();
    for (size_t i = 0; i < wide.size(); ++i) {
        const char16_t unit = wide[i];
        const bool pair = unit >= 0xD800 && unit <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
                          wide[i + 1] <= 0xDFFF;
        if (pair) {
            ++i; // characters outside the BMP keep their case (few scripts there have one)
        } else if (locale != static_cast<locale_t>(0) && (unit < 0xD800 || unit > 0xDFFF)) {
            const wint_t folded = towlower_l(static_cast<wint_t>(unit), locale);
            // A folded character that leaves the BMP or lands on a surrogate is kept as it was.
            if (folded < 0xD800 || (folded > 0xDFFF && folded <= 0xFFFF)) {
                wide[i] = static_cast<char16_t>(folded);
            }
        }
    }
    return WideToUtf8(wide);
}

ListEntryList::ListEntryList(PageMemory* memory) : m_memory(memory) {}

ListEntryList::~ListEntryList() = default;

bool ListEntryList::AddFolder(std::string_view name, int64_t lastWriteTime) {
    return Add(name, ListEntry::kFolder, 0, lastWriteTime);
}

bool ListEntryList::AddFile(std::string_view name, int64_t size, int64_t lastWriteTime) {
    return Add(name, ListEntry::kFile, size, lastWriteTime);
}

void ListEntryList::Clear() {
    m_blocks.clear();
    m_texts.clear();
    m_textNext = nullptr;
    m_textLeft = 0;
    std::vector<uint32_t>().swap(m_order);
    m_totalSize = 0;
    m_longestName = 0;
}

// The record, its position (twice, for the order's growth), the sort's working item, the name and a key
// of up to three bytes for each of its bytes (an invalid byte becomes U+FFFD).
size_t ListEntryList::Footprint(std::string_view name) {
    return sizeof(Stored) + 2 * sizeof(uint32_t) + 16 + 4 * name.size();
}

// The blocks begun but not filled: records, texts (two: a long name may start a block of its own) and
// the order's first piece.
const size_t ListEntryList::kSlack =
    sizeof(Stored) * kBlockEntries + 2 * kTextBlock + 1024 * sizeof(uint32_t);

bool ListEntryList::Take(size_t bytes) {
    return m_memory == nullptr || m_memory->Grow(static_cast<int64_t>(bytes));
}

char* ListEntryList::StoreText(size_t length) {
    if (length > m_textLeft) {
        const size_t block = std::max(kTextBlock, length);
        if (!Take(block)) {
            return nullptr;
        }
        m_texts.push_back(std::make_unique_for_overwrite<char[]>(block));
        m_textNext = m_texts.back().get();
        m_textLeft = block;
    }
    char* text = m_textNext;
    m_textNext += length;
    m_textLeft -= length;
    return text;
}

bool ListEntryList::Add(std::string_view name, int kind, int64_t size, int64_t lastWriteTime) {
    unsigned high = 0;
    bool upper = false;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        high |= byte & 0x80u;
        upper |= static_cast<unsigned char>(byte - 'A') < 26;
    }
    const bool ascii = high == 0;
    // Most names sort as they stand and need no key of their own; ASCII ones are folded here, the others
    // by their characters.
    std::string folded;
    if (!ascii) {
        folded = MakeSortKey(std::string(name));
        if (folded == name) {
            folded.clear();
        }
    } else if (upper) {
        folded.reserve(name.size());
        for (const char c : name) {
            folded.push_back(ToLowerAscii(c));
        }
    }
    if (name.size() > UINT16_MAX || folded.size() > UINT16_MAX) {
        return true; // longer than any file system allows: no folder holds such a name
    }
    const size_t position = m_order.size();
    if (position == m_blocks.size() * kBlockEntries) {
        if (!Take(sizeof(Stored) * kBlockEntries)) {
            return false;
        }
        m_blocks.push_back(std::make_unique_for_overwrite<Stored[]>(kBlockEntries));
    }
    if (m_order.size() == m_order.capacity()) {
        const size_t more = std::max<size_t>(1024, m_order.capacity());
        if (!Take(more * sizeof(uint32_t))) {
            return false;
        }
        m_order.reserve(m_order.capacity() + more);
    }
    char* text = StoreText(name.size() + folded.size());
    if (text == nullptr) {
        return false;
    }
    std::copy(name.begin(), name.end(), text);
    std::copy(folded.begin(), folded.end(), text + name.size());
    Stored& entry = m_blocks[position / kBlockEntries][position % kBlockEntries];
    entry = {text,
             size,
             lastWriteTime,
             static_cast<uint16_t>(name.size()),
             static_cast<uint16_t>(folded.size()),
             static_cast<uint8_t>(kind)};
    m_order.push_back(static_cast<uint32_t>(position));
    if (kind == ListEntry::kFile) {
        m_totalSize += size;
    }
    m_longestName = std::max(m_longestName, name.size());
    return true;
}

std::string_view ListEntryList::KeyOf(const Stored& entry) const {
    return entry.keyLength != 0 ? std::string_view(entry.text + entry.nameLength, entry.keyLength)
                                : std::string_view(entry.text, entry.nameLength);
}

namespace {

// Eight bytes of a key from `offset` as one number that orders as the bytes do (missing bytes count as
// 0, which no name holds).
uint64_t KeyWord(std::string_view key, size_t offset) {
    uint64_t word = 0;
    for (size_t i = 0; i < 8; ++i) {
        word <<= 8;
        if (offset + i < key.size()) {
            word |= static_cast<unsigned char>(key[offset + i]);
        }
    }
    return word;
}

} // namespace

bool ListEntryList::Sort() {
    if (m_order.size() < 2) {
        return true;
    }
    // Names in a folder often begin alike ("IMG_0001.jpg", ...): past the beginning all keys share, eight
    // bytes of each key as a number settle nearly every comparison without looking at the texts.
    std::string_view first = KeyOf(At(m_order[0]));
    size_t common = first.size();
    for (const uint32_t position : m_order) {
        const std::string_view key = KeyOf(At(position));
        const size_t length = std::min(common, key.size());
        size_t same = 0;
        while (same < length && key[same] == first[same]) {
            ++same;
        }
        common = same;
    }
    struct Item {
        uint64_t word;
        uint32_t position;
        uint32_t kind;
    };
    if (!Take(m_order.size() * sizeof(Item))) {
        return false;
    }
    std::vector<Item> items;
    items.reserve(m_order.size());
    for (const uint32_t position : m_order) {
        const Stored& entry = At(position);
        items.push_back({KeyWord(KeyOf(entry), common), position, entry.kind});
    }
    // The position breaks ties, so equal names keep the order in which they were found without the
    // buffer a stable sort takes.
    std::sort(items.begin(), items.end(), [this, common](const Item& a, const Item& b) {
        if (a.kind != b.kind) {
            return a.kind < b.kind;
        }
        if (a.word != b.word) {
            return a.word < b.word;
        }
        const std::string_view x = KeyOf(At(a.position));
        const std::string_view y = KeyOf(At(b.position));
        const size_t skip = std::min({common + 8, x.size(), y.size()});
        const int order = x.substr(skip).compare(y.substr(skip));
        return order != 0 ? order < 0 : a.position < b.position;
    });
    for (size_t i = 0; i < items.size(); ++i) {
        m_order[i] = items[i].position;
    }
    return true;
}

ListEntry ListEntryList::GetEntry(size_t index) const {
    const Stored& entry = At(m_order[index]);
    return {std::string_view(entry.text, entry.nameLength), entry.kind, entry.size, entry.lastWriteTime};
}

} // namespace Vuxo
