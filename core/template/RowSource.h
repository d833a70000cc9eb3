// A list of a TextContent whose rows are made only as a loop reaches them: a folder page of a hundred
// thousand entries keeps them in its own compact form, and each row is filled into the loop's one row
// and written out before the next. The owner of the data implements it and keeps it alive while the
// content renders; the content only points at it. One thread at a time (the content's).
#pragma once

#include "core/template/TemplateRow.h"

#include <cstddef>
#include <string_view>

namespace Vuxo {

class RowSource {
public:
    RowSource() = default;
    RowSource(const RowSource&) = delete;
    RowSource& operator=(const RowSource&) = delete;
    virtual ~RowSource() = default;

    virtual size_t RowCount() const = 0;
    // Fills `row` with the row at `index` (below RowCount). The row holds what an earlier call left:
    // overwrite it in place (TemplateRow::Slot) and drop what this row does not have.
    virtual void FillRow(size_t index, TemplateRow& row) = 0;
    // At least the length of the longest value that any row gives the name (0 when none has it), so
    // that a render's cost can be known before it starts.
    virtual size_t LongestValue(std::string_view name) const = 0;
};

} // namespace Vuxo
