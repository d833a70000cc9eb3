// The cost of rendering a template's blocks against one content, worked out from the tree, the lists'
// lengths and their longest values, without rendering: TextTemplate::Estimate. Made on the stack of one
// Estimate call; no lock.
#pragma once

#include "core/template/TextContent.h"
#include "core/template/TextTemplate.h"

#include <cstddef>
#include <map>
#include <string_view>
#include <utility>

namespace Vuxo {

// The steps and bytes of one block, three ways: the most it can spend (worst); what it spends outside
// the loops it holds (own); and what those loops spend when each runs once per row of its own list,
// never once per row of an enclosing loop too (loops). For a block whose loops are not nested, worst
// never exceeds own + loops; nested loops make worst the product of their lists' lengths.
struct TextTemplate::Cost {
    RenderBudget worst{0, 0};
    RenderBudget own{0, 0};
    RenderBudget loops{0, 0};

    // A block that spends one step and writes `bytes`.
    static Cost Leaf(std::uint64_t bytes);
};

// Where a block stands while its cost is worked out: the list of the innermost loop around it, whose
// row a name is looked up in first.
class TextTemplate::CostContext {
public:
    explicit CostContext(const TextContent& content) : content_(content) {}

    const TextContent& Content() const { return content_; }
    std::string_view List() const { return list_; }
    void SetList(std::string_view list) { list_ = list; }
    // The longest value the name can have here: a row's value, a variable, or the name itself.
    std::size_t LongestValue(std::string_view name);

private:
    const TextContent& content_;
    std::string_view list_; // "" outside every loop
    // LongestValue of a list's rows, per list and name: a list of stored rows is looked through once.
    std::map<std::pair<std::string_view, std::string_view>, std::size_t> longest_;
};

// Saturating arithmetic: loops nested deep enough overflow any counter, and must still count as too
// much.
std::uint64_t SaturatingAdd(std::uint64_t a, std::uint64_t b);
std::uint64_t SaturatingMultiply(std::uint64_t a, std::uint64_t b);
RenderBudget SaturatingAdd(const RenderBudget& a, const RenderBudget& b);

} // namespace Vuxo
