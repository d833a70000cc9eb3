// One row of a list in a TextContent: a handful of name/value pairs (names with "$"). A page may hold
// thousands of rows of four or five values each, so they sit in one small vector looked through in
// order, rather than in a tree of separately allocated nodes. The first value given for a name stays,
// as in a map. Owned by its TextContent; no lock.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace Vuxo {

class TemplateRow {
public:
    using value_type = std::pair<std::string, std::string>;
    using const_iterator = std::vector<value_type>::const_iterator;

    TemplateRow() = default;
    TemplateRow(std::initializer_list<std::pair<const std::string, std::string>> values) {
        m_values.reserve(values.size());
        for (const auto& [name, value] : values) {
            emplace(name, value);
        }
    }

    // Adds the pair unless the name is already there; the pair found or added, and whether it was added.
    std::pair<const_iterator, bool> emplace(std::string_view name, std::string value) {
        const const_iterator found = find(name);
        if (found != end()) {
            return {found, false};
        }
        m_values.emplace_back(std::string(name), std::move(value));
        return {std::prev(m_values.cend()), true};
    }

    const_iterator find(std::string_view name) const {
        for (auto it = m_values.cbegin(); it != m_values.cend(); ++it) {
            if (it->first == name) {
                return it;
            }
        }
        return m_values.cend();
    }

    void reserve(size_t count) { m_values.reserve(count); }

    const_iterator begin() const { return m_values.cbegin(); }
    const_iterator end() const { return m_values.cend(); }
    size_t size() const { return m_values.size(); }
    bool empty() const { return m_values.empty(); }

private:
    std::vector<value_type> m_values;
};

} // namespace Vuxo
