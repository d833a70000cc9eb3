// The values and row lists that fill a TextTemplate when it renders. A list holds its rows, or points
// at a RowSource that makes them as a loop reaches them (a big folder's entries).
// The page being built owns its TextContent (not its row sources); names carry their leading "$".
// No lock: a content is filled and rendered by one thread (loops move its current row).
#pragma once

#include "core/template/RowSource.h"
#include "core/template/TemplateRow.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace Vuxo {

class TextContent {
public:
    // One row of a list: name (with "$") to value.
    using Row = TemplateRow;
    using RowList = std::vector<Row>;

    struct List {
        RowList rows;
        RowSource* source = nullptr; // not owned; when set, the rows come from it

        size_t Count() const { return source != nullptr ? source->RowCount() : rows.size(); }
    };

    TextContent() = default;
    TextContent(const TextContent& other);
    TextContent& operator=(const TextContent& other);
    TextContent(TextContent&& other) noexcept;
    TextContent& operator=(TextContent&& other) noexcept;
    virtual ~TextContent() = default;

    // Sets or replaces a variable.
    void SetValue(std::string_view name, std::string_view value);
    // Appends the row to the list, creating the list when it is new (a list that had a source holds
    // this row alone then).
    void AddRow(std::string_view listName, Row row);
    // The list's rows come from `source` (which must outlive the rendering); rows added before are
    // dropped.
    void SetRowSource(std::string_view listName, RowSource& source);
    // Number of rows of the list; 0 for an unknown list.
    int RowCount(std::string_view listName) const;
    // Makes that row current (a copy, for a row of a source). An unknown list or an index outside it
    // leaves no row current and gives false.
    bool SelectRow(std::string_view listName, int index);
    void ClearCurrentRow() { currentRow_ = nullptr; }
    // Looks in the current row first, then in the variables.
    bool GetValue(std::string_view name, std::string& value) const;

    // Same lookup without a copy; the pointer is valid until the content changes. Null when not found.
    const std::string* FindValue(std::string_view name) const;
    // The current row's value alone; null without a current row or without the name in it.
    const std::string* FindInCurrentRow(std::string_view name) const;
    // A variable, never a row's value; null when not set.
    const std::string* FindVariable(std::string_view name) const;
    // The list, or null when there is no such list.
    const List* FindList(std::string_view listName) const;
    // At least the length of the longest value the list's rows give the name; 0 when none gives it.
    size_t LongestValue(std::string_view listName, std::string_view name) const;

    // The current row (null when none), so a loop can put back the row of an enclosing loop.
    const Row* CurrentRow() const { return currentRow_; }
    void SetCurrentRow(const Row* row) { currentRow_ = row; }

private:
    // A page looks names up for nearly every block it renders, rows included, so they are hashed rather
    // than kept in order; nothing walks them in order.
    struct NameHash {
        using is_transparent = void;
        // FNV-1a: names are a few bytes long, for which it takes half the time of the library's hash.
        size_t operator()(std::string_view name) const {
            uint64_t hash = 14695981039346656037ull;
            for (const char c : name) {
                hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
            }
            return static_cast<size_t>(hash);
        }
    };
    template <typename Value>
    using NameMap = std::unordered_map<std::string, Value, NameHash, std::equal_to<>>;

    NameMap<std::string> variables_;
    NameMap<List> lists_;
    const Row* currentRow_ = nullptr;
    Row selected_; // the row SelectRow filled from a source
};

} // namespace Vuxo
