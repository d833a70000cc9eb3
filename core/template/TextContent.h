// The values and row lists that fill a TextTemplate when it renders.
// The page being built owns its TextContent; names carry their leading "$".
// No lock: a content is filled and rendered by one thread (loops move its current row).
#pragma once

#include "core/template/TemplateRow.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace Vuxo {

class TextContent {
public:
    // One row of a list: name (with "$") to value.
    using Row = TemplateRow;
    using RowList = std::vector<Row>;

    TextContent() = default;
    TextContent(const TextContent& other);
    TextContent& operator=(const TextContent& other);
    TextContent(TextContent&& other) noexcept;
    TextContent& operator=(TextContent&& other) noexcept;
    virtual ~TextContent() = default;

    // Sets or replaces a variable.
    void SetValue(std::string_view name, std::string_view value);
    // Appends the row to the list, creating the list when it is new.
    void AddRow(std::string_view listName, Row row);
    // Number of rows of the list; 0 for an unknown list.
    int RowCount(std::string_view listName) const;
    // Makes that row current. An unknown list or an index outside it leaves no row current and gives false.
    bool SelectRow(std::string_view listName, int index);
    void ClearCurrentRow() { currentRow_ = nullptr; }
    // Looks in the current row first, then in the variables.
    bool GetValue(std::string_view name, std::string& value) const;

    // Same lookup without a copy; the pointer is valid until the content changes. Null when not found.
    const std::string* FindValue(std::string_view name) const;
    // The rows of a list, or null when there is no such list.
    const RowList* FindList(std::string_view listName) const;

    // The current row (null when none), so a loop can put back the row of an enclosing loop.
    const Row* CurrentRow() const { return currentRow_; }
    void SetCurrentRow(const Row* row) { currentRow_ = row; }

private:
    std::map<std::string, std::string, std::less<>> variables_;
    std::map<std::string, RowList, std::less<>> lists_;
    const Row* currentRow_ = nullptr;
};

} // namespace Vuxo
