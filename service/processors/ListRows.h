// The rows of a folder page's $files list, made from its ListEntryList as the page renders: $name (the
// name HTML-escaped), $link (URL-encoded, "/" after a folder's), $date, $size (with thousands
// separators; "" for a folder) and, for a folder only, $is_folder = "1". One row at a time exists, so
// a page of any number of entries takes no more than its entries do.
// Made by the list processor for one page, beside the entries it reads; one thread.
#pragma once

#include "core/template/RowSource.h"
#include "service/processors/ListEntries.h"

#include <cstdint>
#include <string>

namespace Vuxo {

class ListRows : public RowSource {
public:
    // The entries must outlive the rows and not change while the page renders.
    explicit ListRows(const ListEntryList& entries) : m_entries(entries) {}

    size_t RowCount() const override { return m_entries.GetCount(); }
    void FillRow(size_t index, TemplateRow& row) override;
    size_t LongestValue(std::string_view name) const override;

private:
    // FormatFileTime, remembered for the page: files of a folder often share their times, and each
    // conversion takes the C library's time-zone lock, which every connection thread wants.
    const std::string& DateOf(int64_t lastWriteTime);

    struct DateMemo {
        int64_t time = 0;
        bool set = false;
        std::string text;
    };
    static constexpr size_t kDateMemoSize = 64;

    const ListEntryList& m_entries;
    DateMemo m_dates[kDateMemoSize];
};

} // namespace Vuxo
