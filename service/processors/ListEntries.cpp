#include "service/processors/ListEntries.h"

#include "core/text/StringHelpers.h"
#include "core/text/UrlCoding.h"
#include "core/text/Utf8.h"
#include "service/processors/ListFormats.h"

#include <algorithm>
#include <clocale>
#include <cstdint>
#include <cwctype>
#include <locale.h>
#include <numeric>

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

std::string ListEntryList::DateOf(int64_t lastWriteTime) {
    DateMemo& slot = m_dates[static_cast<uint64_t>(lastWriteTime) % kDateMemoSize];
    if (!slot.set || slot.time != lastWriteTime) {
        slot.text = FormatFileTime(lastWriteTime);
        slot.time = lastWriteTime;
        slot.set = true;
    }
    return slot.text;
}

void ListEntryList::AddFolder(const std::string& name, int64_t lastWriteTime) {
    ListEntry entry;
    entry.name = name;
    entry.link = UrlEncode(name) + "/";
    entry.date = DateOf(lastWriteTime);
    entry.kind = ListEntry::kFolder;
    entry.sortKey = MakeSortKey(name);
    m_entries.push_back(std::move(entry));
}

void ListEntryList::AddFile(const std::string& name, int64_t size, int64_t lastWriteTime) {
    ListEntry entry;
    entry.name = name;
    entry.link = UrlEncode(name);
    entry.date = DateOf(lastWriteTime);
    entry.size = FormatNumberWithCommas(size);
    entry.kind = ListEntry::kFile;
    entry.sortKey = MakeSortKey(name);
    m_entries.push_back(std::move(entry));
    m_totalSize += size;
}

void ListEntryList::Sort() {
    // Sorting positions, then moving each entry once, is far cheaper than a merge sort moving whole
    // entries about.
    std::vector<uint32_t> order(m_entries.size());
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(), [this](uint32_t a, uint32_t b) {
        const ListEntry& x = m_entries[a];
        const ListEntry& y = m_entries[b];
        return x.kind != y.kind ? x.kind < y.kind : x.sortKey < y.sortKey;
    });
    std::vector<ListEntry> sorted;
    sorted.reserve(m_entries.size());
    for (uint32_t index : order) {
        sorted.push_back(std::move(m_entries[index]));
    }
    m_entries.swap(sorted);
}

} // namespace Vuxo
