#include "core/template/TemplateBlocks.h"

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

void TextTemplate::TextBlock::Render(TextContent&, OutputStream& out, RenderBudget& budget) const {
    SpendStep(budget);
    WriteWithin(budget, out, text_);
}

// A value is written as it is and never scanned again, so "$x" or "#if" inside a value stays text.
void TextTemplate::IdBlock::Render(TextContent& content, OutputStream& out, RenderBudget& budget) const {
    SpendStep(budget);
    const std::string* value = content.FindValue(name_);
    WriteWithin(budget, out, value ? *value : name_);
}

bool TextTemplate::IfBlock::IsTrue(const TextContent& content) const {
    const TextContent::List* list = content.FindList(name_);
    if (list != nullptr && list->Count() > 0) {
        return true;
    }
    const std::string* value = content.FindValue(name_);
    return value != nullptr && !value->empty() && *value != "0";
}

void TextTemplate::IfBlock::Render(TextContent& content, OutputStream& out, RenderBudget& budget) const {
    SpendStep(budget);
    const Block* part = IsTrue(content) ? then_.get() : else_.get();
    if (part != nullptr) {
        part->Render(content, out, budget);
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

void TextTemplate::ForBlock::Render(TextContent& content, OutputStream& out, RenderBudget& budget) const {
    SpendStep(budget);
    const TextContent::List* list = content.FindList(listName_);
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
            body_->Render(content, out, budget);
        }
        return;
    }
    // Rendering only reads the content, so the rows neither move nor change while the loop runs.
    for (const TextContent::Row& row : list->rows) {
        content.SetCurrentRow(&row);
        body_->Render(content, out, budget);
    }
}

void TextTemplate::CompoundBlock::Render(TextContent& content, OutputStream& out,
                                         RenderBudget& budget) const {
    SpendStep(budget);
    for (const auto& child : children_) {
        child->Render(content, out, budget);
    }
}

} // namespace Vuxo
