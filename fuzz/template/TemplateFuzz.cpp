// Parses arbitrary bytes as a template and renders whatever parsed against a content with values,
// lists and rows whose values look like template syntax themselves.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "core/template/OutputStream.h"
#include "core/template/TextContent.h"
#include "core/template/TextTemplate.h"

namespace {

Vuxo::TextContent MakeContent() {
    Vuxo::TextContent content;
    content.SetValue("$x", "1");
    content.SetValue("$zero", "0");
    content.SetValue("$empty", "");
    content.SetValue("$name", "#if($x)$x#end");
    for (int i = 0; i < 3; ++i) {
        content.AddRow("$files", {{"$name", "$files"}, {"$is_folder", i % 2 ? "1" : "0"}});
        content.AddRow("$x", {{"$v", std::to_string(i)}});
    }
    content.AddRow("$skins", {{"$name", ".default"}});
    return content;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Parse reports syntax errors on standard output; keep the fuzzer's log readable.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) {
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Vuxo::TextTemplate tmpl;
    const bool parsed = tmpl.Parse(reinterpret_cast<const char*>(data), size);
    Vuxo::TextContent content = MakeContent();
    Vuxo::CountingOutputStream out;
    // A budget of the fuzzer's own: the seeds that render whole take at most 55 steps and 2 KiB, so this
    // leaves room for far larger pages, while loops nested over the same rows spend it at about the cost
    // of the parse; the program's budget, five thousand times as many steps, took tens of milliseconds.
    const Vuxo::RenderBudget small{2'000, 64 * 1024};
    const Vuxo::RenderEstimate estimate = tmpl.Estimate(content);
    if (estimate.worst.steps <= small.steps && estimate.worst.bytes <= small.bytes) {
        try {
            tmpl.Render(content, out, estimate.worst);
        } catch (const Vuxo::RenderBudgetExceeded&) {
            std::abort(); // the estimate must bound every render
        }
    } else {
        try {
            tmpl.Render(content, out, small);
        } catch (const Vuxo::RenderBudgetExceeded&) {
            // Loops nested over the same rows: the budget ended the render, as it must.
        }
    }
    if (!parsed && out.Total() != 0) {
        std::abort(); // a template that failed to parse must stay empty
    }
    if (content.CurrentRow() != nullptr) {
        std::abort(); // loops always put the row back
    }
    return 0;
}
