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
            if (SameName(it->first, name)) {
                return it;
            }
        }
        return m_values.cend();
    }

    void reserve(size_t count) { m_values.reserve(count); }

    // For a row made again and again in place (a RowSource's): the value of the pair at `index`, named
    // `name`, keeping the storage of what was there, so that filling the row allocates nothing once its
    // strings have grown. Pairs up to `index` are made as needed; the caller keeps names distinct.
    std::string& Slot(size_t index, std::string_view name) {
        if (index >= m_values.size()) {
            m_values.resize(index + 1);
        }
        value_type& pair = m_values[index];
        if (!SameName(pair.first, name)) {
            pair.first.assign(name);
        }
        return pair.second;
    }
    // Drops the pairs from `count` on.
    void Truncate(size_t count) {
        if (count < m_values.size()) {
            m_values.resize(count);
        }
    }

    const_iterator begin() const { return m_values.cbegin(); }
    const_iterator end() const { return m_values.cend(); }
    size_t size() const { return m_values.size(); }
    bool empty() const { return m_values.empty(); }

private:
    // Names are a few bytes that mostly differ in length or just after the "$": compared here byte by
    // byte rather than through the library's memcmp, as a page compares them for every value it writes.
    static bool SameName(std::string_view a, std::string_view b) {
        if (a.size() != b.size()) {
            return false;
        }
        for (size_t i = a.size(); i-- > 0;) {
            if (a[i] != b[i]) {
                return false;
            }
        }
        return true;
    }

    std::vector<value_type> m_values;
};

} // namespace Vuxo
