#include "core/template/TextContent.h"

#include <algorithm>
#include <functional>
#include <utility>

namespace Vuxo {

// A copy never points into the rows of the content it was copied from.
TextContent::TextContent(const TextContent& other) : variables_(other.variables_), lists_(other.lists_) {}

TextContent& TextContent::operator=(const TextContent& other) {
    if (this != &other) {
        variables_ = other.variables_;
        lists_ = other.lists_;
        currentRow_ = nullptr;
    }
    return *this;
}

// Moving a map keeps its nodes, and a vector keeps its buffer, so the current row stays valid; only a row
// copied out of a source lives in the content itself and moves with it.
TextContent::TextContent(TextContent&& other) noexcept
    : variables_(std::move(other.variables_)), lists_(std::move(other.lists_)),
      currentRow_(std::exchange(other.currentRow_, nullptr)), selected_(std::move(other.selected_)) {
    if (currentRow_ == &other.selected_) {
        currentRow_ = &selected_;
    }
}

TextContent& TextContent::operator=(TextContent&& other) noexcept {
    if (this != &other) {
        variables_ = std::move(other.variables_);
        lists_ = std::move(other.lists_);
        selected_ = std::move(other.selected_);
        currentRow_ = std::exchange(other.currentRow_, nullptr);
        if (currentRow_ == &other.selected_) {
            currentRow_ = &selected_;
        }
    }
    return *this;
}

void TextContent::SetValue(std::string_view name, std::string_view value) {
    auto it = variables_.find(name);
    if (it != variables_.end()) {
        it->second.assign(value);
    } else {
        variables_.emplace(std::string(name), std::string(value));
    }
}

void TextContent::AddRow(std::string_view listName, Row row) {
    auto it = lists_.find(listName);
    if (it == lists_.end()) {
        it = lists_.emplace(std::string(listName), List()).first;
    }
    it->second.source = nullptr;
    // A push may move the rows; a row made current by a caller must not dangle.
    RowList& rows = it->second.rows;
    const std::less<const Row*> before;
    const bool currentInThisList = currentRow_ != nullptr && !rows.empty() &&
                                   !before(currentRow_, rows.data()) &&
                                   before(currentRow_, rows.data() + rows.size());
    const std::size_t currentIndex = currentInThisList ? std::size_t(currentRow_ - rows.data()) : 0;
    rows.push_back(std::move(row));
    if (currentInThisList) {
        currentRow_ = &rows[currentIndex];
    }
}

void TextContent::SetRowSource(std::string_view listName, RowSource& source) {
    auto it = lists_.find(listName);
    if (it == lists_.end()) {
        it = lists_.emplace(std::string(listName), List()).first;
    }
    const RowList& rows = it->second.rows;
    const std::less<const Row*> before;
    if (currentRow_ != nullptr && !rows.empty() && !before(currentRow_, rows.data()) &&
        before(currentRow_, rows.data() + rows.size())) {
        currentRow_ = nullptr; // its row goes now
    }
    it->second.rows = RowList();
    it->second.source = &source;
}

int TextContent::RowCount(std::string_view listName) const {
    const List* list = FindList(listName);
    return list ? static_cast<int>(list->Count()) : 0;
}

bool TextContent::SelectRow(std::string_view listName, int index) {
    const List* list = FindList(listName);
    if (list == nullptr || index < 0 || static_cast<std::size_t>(index) >= list->Count()) {
        currentRow_ = nullptr;
        return false;
    }
    if (list->source != nullptr) {
        list->source->FillRow(static_cast<std::size_t>(index), selected_);
        currentRow_ = &selected_;
    } else {
        currentRow_ = &list->rows[static_cast<std::size_t>(index)];
    }
    return true;
}

bool TextContent::GetValue(std::string_view name, std::string& value) const {
    const std::string* found = FindValue(name);
    if (found == nullptr) {
        return false;
    }
    value = *found;
    return true;
}

const std::string* TextContent::FindValue(std::string_view name) const {
    const std::string* value = FindInCurrentRow(name);
    return value != nullptr ? value : FindVariable(name);
}

const std::string* TextContent::FindInCurrentRow(std::string_view name) const {
    if (currentRow_ == nullptr) {
        return nullptr;
    }
    const auto it = currentRow_->find(name);
    return it != currentRow_->end() ? &it->second : nullptr;
}

const std::string* TextContent::FindVariable(std::string_view name) const {
    auto it = variables_.find(name);
    return it != variables_.end() ? &it->second : nullptr;
}

const TextContent::List* TextContent::FindList(std::string_view listName) const {
    auto it = lists_.find(listName);
    return it != lists_.end() ? &it->second : nullptr;
}

size_t TextContent::LongestValue(std::string_view listName, std::string_view name) const {
    const List* list = FindList(listName);
    if (list == nullptr) {
        return 0;
    }
    if (list->source != nullptr) {
        return list->source->LongestValue(name);
    }
    size_t longest = 0;
    for (const Row& row : list->rows) {
        const auto found = row.find(name);
        if (found != row.end()) {
            longest = std::max(longest, found->second.size());
        }
    }
    return longest;
}

} // namespace Vuxo
