// The blocks a parsed TextTemplate is made of. Every block owns its children; the template owns the root.
// Blocks are immutable once built, so threads may render one tree at once (each with its own content).
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "core/template/TemplateCost.h"
#include "core/template/TextTemplate.h"

namespace Vuxo {

// One render's budget, and the variables and lists its blocks looked up, remembered by the address of
// the block's name: blocks and content do not change while it renders, and a page looks the same few
// names up for every row. On the stack of one Render.
class TextTemplate::RenderState : public RenderBudget {
public:
    explicit RenderState(const RenderBudget& budget) : RenderBudget(budget) {}

    const std::string* Variable(const TextContent& content, const std::string& name);
    const TextContent::List* List(const TextContent& content, const std::string& name);

private:
    struct Slot {
        const std::string* name = nullptr;
        const std::string* variable = nullptr;
        const TextContent::List* list = nullptr;
        bool variableKnown = false;
        bool listKnown = false;
    };
    Slot& SlotOf(const std::string& name);

    std::array<Slot, 64> slots_{};
};

class TextTemplate::Block {
public:
    Block() = default;
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;
    virtual ~Block() = default;
    // Spends one step of the budget, and the bytes it writes, before doing its work.
    virtual void Render(TextContent& content, OutputStream& out, RenderState& state) const = 0;
    // What Render spends, at most, in the context (TemplateCost.cpp).
    virtual Cost Estimate(CostContext& context) const = 0;
};

// Literal text, written as it is.
class TextTemplate::TextBlock : public TextTemplate::Block {
public:
    explicit TextBlock(std::string text) : text_(std::move(text)) {}
    void Render(TextContent& content, OutputStream& out, RenderState& state) const override;
    Cost Estimate(CostContext& context) const override;

private:
    std::string text_;
};

// "$name": the value, or the name itself (with its "$") when the content does not know it.
class TextTemplate::IdBlock : public TextTemplate::Block {
public:
    explicit IdBlock(std::string name) : name_(std::move(name)) {}
    void Render(TextContent& content, OutputStream& out, RenderState& state) const override;
    Cost Estimate(CostContext& context) const override;

private:
    std::string name_;
};

// "#if ( $name ) then #else otherwise #end": true for a list with rows, or a value other than "" and "0".
class TextTemplate::IfBlock : public TextTemplate::Block {
public:
    IfBlock(std::string name, std::unique_ptr<Block> thenPart, std::unique_ptr<Block> elsePart)
        : name_(std::move(name)), then_(std::move(thenPart)), else_(std::move(elsePart)) {}
    void Render(TextContent& content, OutputStream& out, RenderState& state) const override;
    Cost Estimate(CostContext& context) const override;

private:
    bool IsTrue(const TextContent& content, RenderState& state) const;

    std::string name_;
    std::unique_ptr<Block> then_;
    std::unique_ptr<Block> else_;
};

// "#foreach ( $list ) body #end": the body once per row, with that row current.
class TextTemplate::ForBlock : public TextTemplate::Block {
public:
    ForBlock(std::string listName, std::unique_ptr<Block> body)
        : listName_(std::move(listName)), body_(std::move(body)) {}
    void Render(TextContent& content, OutputStream& out, RenderState& state) const override;
    Cost Estimate(CostContext& context) const override;

private:
    std::string listName_;
    std::unique_ptr<Block> body_;
};

class TextTemplate::CompoundBlock : public TextTemplate::Block {
public:
    explicit CompoundBlock(std::vector<std::unique_ptr<Block>> children) : children_(std::move(children)) {}
    void Render(TextContent& content, OutputStream& out, RenderState& state) const override;
    Cost Estimate(CostContext& context) const override;

private:
    std::vector<std::unique_ptr<Block>> children_;
};

} // namespace Vuxo
