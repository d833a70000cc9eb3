// A page template of the skins and the sub-folder list: text with "$variables", "#if ( $x ) ... #else ...
// #end" and "#foreach ( $list ) ... #end", parsed once into a tree of blocks and rendered many times. The
// owner (the skin manager, the sub-folder list) keeps the template; it has no lock. After Parse it is
// read-only, so any number of threads may render it at once, each with its own TextContent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string_view>

#include "core/template/OutputStream.h"
#include "core/template/TextContent.h"

namespace Vuxo {

// The most work one render may do: blocks rendered (each loop pass counts) and bytes written. A skin is
// data that users download and install, and loops nested over the same rows multiply, so a page that
// would take this much is stopped instead of holding its thread.
struct RenderBudget {
    static constexpr std::uint64_t kDefaultSteps = 10'000'000;
    static constexpr std::uint64_t kDefaultBytes = std::uint64_t{64} << 20;

    std::uint64_t steps = kDefaultSteps;
    std::uint64_t bytes = kDefaultBytes;
};

// What rendering a content will cost at most (worst), and what it may cost (allowed): the fixed budget
// above plus what the template's loops take when each runs once per row of its own list. A template
// whose loops do not run inside one another never costs more than that, however long its lists are;
// loops that multiply over long lists cost more, and are refused before anything is written.
struct RenderEstimate {
    RenderBudget worst;
    RenderBudget allowed;

    bool Fits() const { return worst.steps <= allowed.steps && worst.bytes <= allowed.bytes; }
};

// Thrown by TextTemplate::Render when its budget is spent; what was written before stays written.
class RenderBudgetExceeded : public std::runtime_error {
public:
    RenderBudgetExceeded() : std::runtime_error("the page needs more work than one render may do") {}
};

class TextTemplate {
public:
    class Block;
    class TextBlock;
    class IdBlock;
    class IfBlock;
    class ForBlock;
    class CompoundBlock;
    class Scanner;
    struct Cost;
    class CostContext;
    class RenderState;

    // "#if" and "#foreach" nested deeper than this are a syntax error, so a hostile skin cannot exhaust
    // the stack while parsing or rendering.
    static constexpr int kMaxNesting = 256;

    TextTemplate();
    TextTemplate(const TextTemplate&) = delete;
    TextTemplate& operator=(const TextTemplate&) = delete;
    virtual ~TextTemplate();

    // Parses the bytes (a NUL ends the text). On a syntax error the old tree stays, "error: <message>" is
    // written to standard output, and the result is false.
    bool Parse(const char* data, std::size_t length);
    bool Parse(std::string_view text) { return Parse(text.data(), text.size()); }

    // Renders into the sink in document order. Only the content's current row changes, and it is put back
    // as it was when rendering ends. Throws RenderBudgetExceeded when the budget is spent.
    void Render(TextContent& content, OutputStream& out, RenderBudget budget = {}) const;

    // The cost of rendering the content, without rendering it: it takes time in the number of blocks
    // and of the content's values, never in the rows a loop would run.
    RenderEstimate Estimate(const TextContent& content) const;

private:
    std::unique_ptr<Block> root_;
};

} // namespace Vuxo
