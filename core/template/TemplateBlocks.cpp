#include "core/template/TemplateBlocks.h"

namespace Vuxo {

void TextTemplate::TextBlock::Render(TextContent&, OutputStream& out) const {
    out.Write(text_.data(), text_.size());
}

// A value is written as it is and never scanned again, so "$x" or "#if" inside a value stays text.
void TextTemplate::IdBlock::Render(TextContent& content, OutputStream& out) const {
    const std::string* value = content.FindValue(name_);
    const std::string& text = value ? *value : name_;
    out.Write(text.data(), text.size());
}

bool TextTemplate::IfBlock::IsTrue(const TextContent& content) const {
    const TextContent::RowList* rows = content.FindList(name_);
    if (rows != nullptr && !rows->empty()) {
        return true;
    }
    const std::string* value = content.FindValue(name_);
    return value != nullptr && !value->empty() && *value != "0";
}

void TextTemplate::IfBlock::Render(TextContent& content, OutputStream& out) const {
    const Block* part = IsTrue(content) ? then_.get() : else_.get();
    if (part != nullptr) {
        part->Render(content, out);
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

void TextTemplate::ForBlock::Render(TextContent& content, OutputStream& out) const {
    const TextContent::RowList* rows = content.FindList(listName_);
    if (rows == nullptr) {
        return;
    }
    // Rendering only reads the content, so the rows neither move nor change while the loop runs.
    CurrentRowRestorer restorer(content);
    for (const TextContent::Row& row : *rows) {
        content.SetCurrentRow(&row);
        body_->Render(content, out);
    }
}

void TextTemplate::CompoundBlock::Render(TextContent& content, OutputStream& out) const {
    for (const auto& child : children_) {
        child->Render(content, out);
    }
}

} // namespace Vuxo
