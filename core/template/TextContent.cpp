#include "core/template/TextContent.h"

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

// Moving a map keeps its nodes, and a vector keeps its buffer, so the current row stays valid.
TextContent::TextContent(TextContent&& other) noexcept
    : variables_(std::move(other.variables_)), lists_(std::move(other.lists_)),
      currentRow_(std::exchange(other.currentRow_, nullptr)) {}

TextContent& TextContent::operator=(TextContent&& other) noexcept {
    if (this != &other) {
        variables_ = std::move(other.variables_);
        lists_ = std::move(other.lists_);
        currentRow_ = std::exchange(other.currentRow_, nullptr);
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
        it = lists_.emplace(std::string(listName), RowList()).first;
    }
    // A push may move the rows; a row made current by a caller must not dangle.
    RowList& rows = it->second;
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

int TextContent::RowCount(std::string_view listName) const {
    const RowList* rows = FindList(listName);
    return rows ? static_cast<int>(rows->size()) : 0;
}

bool TextContent::SelectRow(std::string_view listName, int index) {
    const RowList* rows = FindList(listName);
    if (rows == nullptr || index < 0 || static_cast<std::size_t>(index) >= rows->size()) {
        currentRow_ = nullptr;
        return false;
    }
    currentRow_ = &(*rows)[static_cast<std::size_t>(index)];
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
    if (currentRow_ != nullptr) {
        auto it = currentRow_->find(name);
        if (it != currentRow_->end()) {
            return &it->second;
        }
    }
    auto it = variables_.find(name);
    return it != variables_.end() ? &it->second : nullptr;
}

const TextContent::RowList* TextContent::FindList(std::string_view listName) const {
    auto it = lists_.find(listName);
    return it != lists_.end() ? &it->second : nullptr;
}

} // namespace Vuxo
