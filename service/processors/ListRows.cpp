#include "service/processors/ListRows.h"

#include "core/text/TextEscaping.h"
#include "core/text/UrlCoding.h"
#include "service/processors/ListFormats.h"

namespace Vuxo {

namespace {

// The longest texts a row can hold, for the page's cost: an escaped byte takes up to six ("&quot;"), an
// encoded one three; a date, a size and a flag have fixed bounds.
constexpr size_t kEscapedByte = 6;
constexpr size_t kEncodedByte = 3;
constexpr size_t kLongestDate = 32;
constexpr size_t kLongestSize = 27; // "-9,223,372,036,854,775,808"

} // namespace

const std::string& ListRows::DateOf(int64_t lastWriteTime) {
    DateMemo& slot = m_dates[static_cast<uint64_t>(lastWriteTime) % kDateMemoSize];
    if (!slot.set || slot.time != lastWriteTime) {
        slot.text = FormatFileTime(lastWriteTime);
        slot.time = lastWriteTime;
        slot.set = true;
    }
    return slot.text;
}

void ListRows::FillRow(size_t index, TemplateRow& row) {
    const ListEntry entry = m_entries.GetEntry(index);
    const bool folder = entry.kind == ListEntry::kFolder;
    std::string& name = row.Slot(0, "$name");
    name.clear();
    AppendEscapedMarkup(name, entry.name);
    std::string& link = row.Slot(1, "$link");
    link.clear();
    AppendUrlEncoded(link, entry.name);
    if (folder) {
        link.push_back('/');
    }
    row.Slot(2, "$date") = DateOf(entry.lastWriteTime);
    std::string& size = row.Slot(3, "$size");
    size.clear();
    if (folder) {
        row.Slot(4, "$is_folder") = "1"; // a file's row has none
        row.Truncate(5);
    } else {
        AppendNumberWithCommas(size, entry.size);
        row.Truncate(4);
    }
}

size_t ListRows::LongestValue(std::string_view name) const {
    const size_t longestName = m_entries.GetLongestName();
    if (name == "$name") {
        return longestName * kEscapedByte;
    }
    if (name == "$link") {
        return longestName * kEncodedByte + 1;
    }
    if (name == "$date") {
        return kLongestDate;
    }
    if (name == "$size") {
        return kLongestSize;
    }
    return name == "$is_folder" ? 1 : 0;
}

} // namespace Vuxo
