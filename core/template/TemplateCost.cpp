#include "core/template/TemplateCost.h"

#include "core/template/TemplateBlocks.h"

#include <algorithm>
#include <limits>

namespace Vuxo {

namespace {

constexpr std::uint64_t kMost = std::numeric_limits<std::uint64_t>::max();

RenderBudget Max(const RenderBudget& a, const RenderBudget& b) {
    return {std::max(a.steps, b.steps), std::max(a.bytes, b.bytes)};
}

RenderBudget Times(std::uint64_t count, const RenderBudget& each) {
    return {SaturatingMultiply(count, each.steps), SaturatingMultiply(count, each.bytes)};
}

constexpr RenderBudget kOneStep{1, 0};

} // namespace

std::uint64_t SaturatingAdd(std::uint64_t a, std::uint64_t b) {
    return a > kMost - b ? kMost : a + b;
}

std::uint64_t SaturatingMultiply(std::uint64_t a, std::uint64_t b) {
    return b != 0 && a > kMost / b ? kMost : a * b;
}

RenderBudget SaturatingAdd(const RenderBudget& a, const RenderBudget& b) {
    return {SaturatingAdd(a.steps, b.steps), SaturatingAdd(a.bytes, b.bytes)};
}

TextTemplate::Cost TextTemplate::Cost::Leaf(std::uint64_t bytes) {
    const RenderBudget one{1, bytes};
    return {one, one, {0, 0}};
}

std::size_t TextTemplate::CostContext::LongestValue(std::string_view name) {
    const std::string* variable = content_.FindVariable(name);
    std::size_t longest = variable != nullptr ? variable->size() : name.size();
    if (!list_.empty()) {
        auto [slot, added] = longest_.try_emplace({list_, name}, 0);
        if (added) {
            slot->second = content_.LongestValue(list_, name);
        }
        longest = std::max(longest, slot->second);
    } else if (const TextContent::Row* row = content_.CurrentRow()) {
        const auto found = row->find(name);
        longest = found != row->end() ? std::max(longest, found->second.size()) : longest;
    }
    return longest;
}

TextTemplate::Cost TextTemplate::TextBlock::Estimate(CostContext&) const {
    return Cost::Leaf(text_.size());
}

TextTemplate::Cost TextTemplate::IdBlock::Estimate(CostContext& context) const {
    return Cost::Leaf(context.LongestValue(name_));
}

TextTemplate::Cost TextTemplate::IfBlock::Estimate(CostContext& context) const {
    const Cost none;
    const Cost thenCost = then_ ? then_->Estimate(context) : none;
    const Cost elseCost = else_ ? else_->Estimate(context) : none;
    return {SaturatingAdd(kOneStep, Max(thenCost.worst, elseCost.worst)),
            SaturatingAdd(kOneStep, Max(thenCost.own, elseCost.own)), Max(thenCost.loops, elseCost.loops)};
}

TextTemplate::Cost TextTemplate::ForBlock::Estimate(CostContext& context) const {
    const TextContent::List* list = context.Content().FindList(listName_);
    const std::uint64_t rows = list != nullptr ? list->Count() : 0;
    if (rows == 0) {
        return {kOneStep, kOneStep, {0, 0}};
    }
    const std::string_view outer = context.List();
    context.SetList(listName_);
    const Cost body = body_->Estimate(context);
    context.SetList(outer);
    return {SaturatingAdd(kOneStep, Times(rows, body.worst)), kOneStep,
            SaturatingAdd(Times(rows, body.own), body.loops)};
}

TextTemplate::Cost TextTemplate::CompoundBlock::Estimate(CostContext& context) const {
    Cost total{kOneStep, kOneStep, {0, 0}};
    for (const auto& child : children_) {
        const Cost cost = child->Estimate(context);
        total.worst = SaturatingAdd(total.worst, cost.worst);
        total.own = SaturatingAdd(total.own, cost.own);
        total.loops = SaturatingAdd(total.loops, cost.loops);
    }
    return total;
}

RenderEstimate TextTemplate::Estimate(const TextContent& content) const {
    CostContext context(content);
    const Cost cost = root_->Estimate(context);
    const RenderBudget floor;
    return {cost.worst, SaturatingAdd(floor, SaturatingAdd(cost.own, cost.loops))};
}

} // namespace Vuxo
