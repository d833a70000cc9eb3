#include "core/template/TemplateBlocks.h"

#include <cstdint>

namespace Vuxo {

namespace {

void SpendStep(RenderBudget& budget) {
    if (budget.steps == 0) {
        throw RenderBudgetExceeded();
    }
    --budget.steps;
}

void WriteWithin(RenderBudget& budget, OutputStream& out, const std::string& text) {
    if (text.size() > budget.bytes) {
        throw RenderBudgetExceeded();
    }
    budget.bytes -= text.size();
    out.Write(text.data(), text.size());
}

} // namespace

TextTemplate::RenderState::Slot& TextTemplate::RenderState::SlotOf(const std::string& name) {
    Slot& slot = slots_[(reinterpret_cast<std::uintptr_t>(&name) / sizeof(std::string)) % slots_.size()];
    if (slot.name != &name) {
        slot = Slot{&name};
    }
    return slot;
}

const std::string* TextTemplate::RenderState::Variable(const TextContent& content, const std::string& name) {
    Slot& slot = SlotOf(name);
    if (!slot.variableKnown) {
        slot.variable = content.FindVariable(name);
        slot.variableKnown = true;
    }
    return slot.variable;
}

const TextContent::List* TextTemplate::RenderState::List(const TextContent& content,
                                                         const std::string& name) {
    Slot& slot = SlotOf(name);
    if (!slot.listKnown) {
        slot.list = content.FindList(name);
        slot.listKnown = true;
    }
    return slot.list;
}

void TextTemplate::TextBlock::Render(TextContent&, OutputStream& out, RenderState& state) const {
    SpendStep(state);
    WriteWithin(state, out, text_);
}

// A value is written as it is and never scanned again, so "$x" or "#if" inside a value stays text.
void TextTemplate::IdBlock::Render(TextContent& content, OutputStream& out, RenderState& state) const {
    SpendStep(state);
    const std::string* value = content.FindInCurrentRow(name_);
    if (value == nullptr) {
        value = state.Variable(content, name_);
    }
    WriteWithin(state, out, value ? *value : name_);
}

bool TextTemplate::IfBlock::IsTrue(const TextContent& content, RenderState& state) const {
    const TextContent::List* list = state.List(content, name_);
    if (list != nullptr && list->Count() > 0) {
        return true;
    }
    const std::string* value = content.FindInCurrentRow(name_);
    if (value == nullptr) {
        value = state.Variable(content, name_);
    }
    return value != nullptr && !value->empty() && *value != "0";
}

void TextTemplate::IfBlock::Render(TextContent& content, OutputStream& out, RenderState& state) const {
    SpendStep(state);
    const Block* part = IsTrue(content, state) ? then_.get() : else_.get();
    if (part != nullptr) {
        part->Render(content, out, state);
    }
}

namespace {

// Puts back the row that was current before a loop, also when the sink throws (a closed connection).
class CurrentRowRestorer {
public:
    explicit CurrentRowRestorer(TextContent& content) : content_(content), saved_(content.CurrentRow()) {}
    CurrentRowRestorer(const CurrentRowRestorer&) = delete;
    CurrentRowRestorer& operator=(const CurrentRowRestorer&) = delete;
    ~CurrentRowRestorer() { content_.SetCurrentRow(saved_); }

private:
    TextContent& content_;
    const TextContent::Row* saved_;
};

} // namespace

void TextTemplate::ForBlock::Render(TextContent& content, OutputStream& out, RenderState& state) const {
    SpendStep(state);
    const TextContent::List* list = state.List(content, listName_);
    if (list == nullptr) {
        return;
    }
    CurrentRowRestorer restorer(content);
    if (list->source != nullptr) {
        // The loop's own row, filled for each index, so an inner loop over the same source has its own.
        TextContent::Row row;
        const std::size_t count = list->source->RowCount();
        for (std::size_t i = 0; i < count; ++i) {
            list->source->FillRow(i, row);
            content.SetCurrentRow(&row);
            body_->Render(content, out, state);
        }
        return;
    }
    // Rendering only reads the content, so the rows neither move nor change while the loop runs.
    for (const TextContent::Row& row : list->rows) {
        content.SetCurrentRow(&row);
        body_->Render(content, out, state);
    }
}

void TextTemplate::CompoundBlock::Render(TextContent& content, OutputStream& out, RenderState& state) const {
    SpendStep(state);
    for (const auto& child : children_) {
        child->Render(content, out, state);
    }
}

} // namespace Vuxo
