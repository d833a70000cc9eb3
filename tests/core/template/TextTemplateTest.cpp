#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/template/OutputStream.h"
#include "core/template/RowSource.h"
#include "core/template/TextContent.h"
#include "core/template/TextTemplate.h"

namespace {

using Vuxo::StringOutputStream;
using Vuxo::TextContent;
using Vuxo::TextTemplate;

struct ParseResult {
    bool ok;
    std::string printed; // what Parse wrote to standard output
};

ParseResult ParseCapturing(TextTemplate& tmpl, const std::string& text) {
    testing::internal::CaptureStdout();
    const bool ok = tmpl.Parse(text);
    return {ok, testing::internal::GetCapturedStdout()};
}

std::string Render(const TextTemplate& tmpl, TextContent& content) {
    StringOutputStream out;
    tmpl.Render(content, out);
    return out.TakeText();
}

std::string Render(const std::string& text, TextContent& content) {
    TextTemplate tmpl;
    const ParseResult parsed = ParseCapturing(tmpl, text);
    EXPECT_TRUE(parsed.ok) << text << " -> " << parsed.printed;
    return Render(tmpl, content);
}

TextContent::Row MakeRow(std::initializer_list<std::pair<const std::string, std::string>> values) {
    return TextContent::Row(values);
}

// Records each Write call separately.
class RecordingStream : public Vuxo::OutputStream {
public:
    void Write(const char* data, std::size_t length) override { calls.emplace_back(data, length); }
    std::vector<std::string> calls;
};

struct RenderCase {
    const char* text;
    const char* expected;
};

TEST(TextTemplate, VariablesAndTextScanAsWritten) {
    TextContent content;
    content.SetValue("$b", "X");
    content.SetValue("$link", "L");
    content.SetValue("$empty", "");
    const RenderCase cases[] = {
        {"a$b c", "aX c"},
        {"a$unknown c", "a$unknown c"},
        {"$", "$"},
        {"$-x", "$-x"},
        {"100$", "100$"},
        {"$$b", "$X"},
        {"tr#$link", "tr#L"},
        {"#", "#"},
        {"a#b#", "a#b#"},
        {"[$empty]", "[]"},
        {"$b_", "$b_"},                          // the name runs on through "_"
        {"$b.", "X."},                           // ...and stops at anything else
        {"x $b\xEC\x95\x88", "x X\xEC\x95\x88"}, // Hangul bytes are text
        {"\xED\x95\x9C$b\xFF", "\xED\x95\x9CX\xFF"},
        {"", ""},
    };
    for (const RenderCase& c : cases) {
        EXPECT_EQ(Render(c.text, content), c.expected) << c.text;
    }
}

TEST(TextTemplate, ANulByteEndsTheText) {
    TextTemplate tmpl;
    const std::string text("ab\0#if(", 7);
    ASSERT_TRUE(tmpl.Parse(text.data(), text.size()));
    TextContent content;
    EXPECT_EQ(Render(tmpl, content), "ab");
}

TEST(TextTemplate, ConditionsFollowValuesAndLists) {
    const std::string text = "#if($x)yes#else no#end";
    struct Case {
        const char* value; // nullptr: unknown
        const char* expected;
    };
    const Case cases[] = {{"1", "yes"},     {"0", " no"},  {"", " no"},
                          {nullptr, " no"}, {"00", "yes"}, {"a", "yes"}};
    for (const Case& c : cases) {
        TextContent content;
        if (c.value) {
            content.SetValue("$x", c.value);
        }
        EXPECT_EQ(Render(text, content), c.expected) << (c.value ? c.value : "(unknown)");
    }

    TextContent withList;
    withList.AddRow("$x", MakeRow({{"$v", "a"}}));
    EXPECT_EQ(Render(text, withList), "yes");

    TextContent emptyListAndValue; // a list with no rows falls back to the value
    emptyListAndValue.SetValue("$x", "0");
    EXPECT_EQ(Render("#if($x)yes#end", emptyListAndValue), "");
    EXPECT_EQ(Render("#if($x)yes#end|", emptyListAndValue), "|");
}

TEST(TextTemplate, DirectivesAcceptFreeSpaceAndKeepTheLineEnd) {
    TextContent content;
    content.SetValue("$is_folder", "1");
    EXPECT_EQ(Render("#if ( $is_folder )\nF\n#else\nf\n#end\n", content), "\nF\n\n");
    EXPECT_EQ(Render("#if\t\r\n(\v$is_folder\f)ok#end", content), "ok");
    EXPECT_EQ(Render("#if($is_folder)#end", content), "");
    EXPECT_EQ(Render("#if($nothing)#else#end.", content), ".");
}

TEST(TextTemplate, LoopsRenderEachRowAndLetRowsHideVariables) {
    TextContent content;
    content.SetValue("$v", "global");
    content.SetValue("$g", "G");
    content.AddRow("$l", MakeRow({{"$v", "a"}}));
    content.AddRow("$l", MakeRow({{"$v", "b"}, {"$w", "1"}}));
    EXPECT_EQ(Render("#foreach($l)[$v]#end", content), "[a][b]");
    EXPECT_EQ(Render("#foreach($nope)[$v]#end", content), "");
    EXPECT_EQ(Render("#foreach( $l )[$v$g#if($w)!#end]#end $v", content), "[aG][bG!] global");
    EXPECT_EQ(content.CurrentRow(), nullptr);
}

TEST(TextTemplate, AnInnerLoopPutsBackTheOuterRow) {
    TextContent content;
    content.AddRow("$outer", MakeRow({{"$o", "1"}, {"$name", "first"}}));
    content.AddRow("$outer", MakeRow({{"$o", "2"}, {"$name", "second"}}));
    content.AddRow("$inner", MakeRow({{"$i", "x"}, {"$name", "inner"}}));
    content.AddRow("$inner", MakeRow({{"$i", "y"}}));
    const std::string text = "#foreach($outer)<$name:#foreach($inner)$i$name#end:$o $name>#end";
    // Row "y" has no $name: it falls back to the variables, not to the outer row.
    EXPECT_EQ(Render(text, content), "<first:xinnery$name:1 first><second:xinnery$name:2 second>");
    EXPECT_EQ(content.CurrentRow(), nullptr);
}

// Rows made on demand: row i has $n = i, as a big folder's are made from its entries.
class CountingRows : public Vuxo::RowSource {
public:
    explicit CountingRows(size_t count) : count_(count) {}
    size_t RowCount() const override { return count_; }
    void FillRow(size_t index, Vuxo::TemplateRow& row) override {
        row.Slot(0, "$n") = std::to_string(index);
        row.Truncate(1);
    }
    size_t LongestValue(std::string_view name) const override {
        return name == "$n" ? std::to_string(count_).size() : 0;
    }

private:
    size_t count_;
};

TEST(TextTemplate, LoopsOverARowSourceEachHaveTheirOwnRow) {
    CountingRows rows(3);
    TextContent content;
    content.AddRow("$s", MakeRow({{"$n", "stored, then replaced"}}));
    content.SetRowSource("$s", rows);
    EXPECT_EQ(Render("#foreach($s)<$n#foreach($s)$n#end$n>#end#if($s) some#end", content),
              "<00120><10121><20122> some");
    ASSERT_TRUE(content.SelectRow("$s", 2));
    EXPECT_EQ(Render("$n", content), "2");
    EXPECT_EQ(content.RowCount("$s"), 3);
}

TEST(TextTemplate, AnEstimateBoundsTheRenderAndRefusesOnlyLoopsThatMultiply) {
    TextContent content;
    content.SetValue("$x", "1");
    content.AddRow("$l", MakeRow({{"$v", "abc"}, {"$x", "0"}}));
    content.AddRow("$l", MakeRow({{"$v", "d"}}));
    CountingRows many(1'000'000'000);
    content.SetRowSource("$many", many);
    TextTemplate tmpl;
    // A loop over a billion rows fits: its cost grows with its rows alone.
    ASSERT_TRUE(ParseCapturing(tmpl, "#foreach($many)#if($x)<$n>#else-#end#end").ok);
    Vuxo::RenderEstimate estimate = tmpl.Estimate(content);
    EXPECT_TRUE(estimate.Fits());
    EXPECT_GE(estimate.worst.bytes, 1'000'000'000ull * 11);
    // Loops over it inside one another do not, nor do short lists nested deep.
    ASSERT_TRUE(ParseCapturing(tmpl, "#foreach($many)#foreach($many)$n#end#end").ok);
    EXPECT_FALSE(tmpl.Estimate(content).Fits());
    ASSERT_TRUE(ParseCapturing(tmpl, "#foreach($l)#foreach($l)#foreach($l)$v#end#end#end").ok);
    EXPECT_TRUE(tmpl.Estimate(content).Fits());
    const std::string deep = [] {
        std::string text = "$v";
        for (int i = 0; i < 30; ++i) {
            text = "#foreach($l)" + text + "#end";
        }
        return text;
    }();
    ASSERT_TRUE(ParseCapturing(tmpl, deep).ok);
    EXPECT_FALSE(tmpl.Estimate(content).Fits()); // 2^30 passes
    // What the estimate gives as the most is enough to render with.
    ASSERT_TRUE(ParseCapturing(tmpl, "[$x#foreach($l)$x$v#if($x)y#else$nope#end#foreach($l)$v#end#end]").ok);
    estimate = tmpl.Estimate(content);
    StringOutputStream out;
    EXPECT_NO_THROW(tmpl.Render(content, out, estimate.worst));
    EXPECT_EQ(out.Text(), "[10abc$nopeabcd1dyabcd]");
}

TEST(TextTemplate, ValuesAreNeverExpandedAgain) {
    TextContent content;
    content.SetValue("$a", "$b #if($c)yes#end #foreach($l)x#end #end $");
    content.SetValue("$b", "B");
    content.SetValue("$c", "1");
    content.AddRow("$l", MakeRow({{"$n", "$b"}}));
    EXPECT_EQ(Render("[$a]", content), "[$b #if($c)yes#end #foreach($l)x#end #end $]");
    EXPECT_EQ(Render("#foreach($l)$n#end", content), "$b");
}

TEST(TextTemplate, StrayElseOrEndStopsTheTemplate) {
    TextContent content;
    content.SetValue("$x", "1");
    EXPECT_EQ(Render("a#end b", content), "a");
    EXPECT_EQ(Render("a#else b #if(", content), "a");
    EXPECT_EQ(Render("a#endif", content), "a");
    EXPECT_EQ(Render("#if($x)1#end#end never", content), "1");
}

TEST(TextTemplate, SyntaxErrorsReportTheirMessage) {
    struct Case {
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {"#if($x)", "'#end' expected"},
        {"#if($x)a#else b", "'#end' expected"},
        {"#if($x)a#else b#else c#end", "'#end' expected"},
        {"#if x", "'(' expected after #if"},
        {"#ifdef", "'(' expected after #if"},
        {"#iffy", "'(' expected after #if"},
        {"#if", "'(' expected after #if"},
        {"#if\xA0($x)#end", "'(' expected after #if"}, // no locale makes 0xA0 a space
        {"#if()", "'$variable' expected in #if"},
        {"#if($)", "'$variable' expected in #if"},
        {"#if(x)", "'$variable' expected in #if"},
        {"#if($x", "')' expected after #if( $variable"},
        {"#if($x y)", "')' expected after #if( $variable"},
        {"#foreach x", "'(' expected after #foreach"},
        {"#foreach( x )", "'$variable' expected in #foreach"},
        {"#foreach($l", "')' expected after #foreach( $variable"},
        {"#foreach($l)body", "'#end' expected"},
        {"#foreach($l)a#else b#end", "'#end' expected"},
        {"#foreach($l)#if($x)#end", "'#end' expected"},
    };
    for (const Case& c : cases) {
        TextTemplate tmpl;
        const ParseResult result = ParseCapturing(tmpl, c.text);
        EXPECT_FALSE(result.ok) << c.text;
        EXPECT_EQ(result.printed, std::string("error: ") + c.message + "\n") << c.text;
    }
}

TEST(TextTemplate, AFailedParseKeepsTheOldTree) {
    TextContent content;
    content.SetValue("$x", "1");
    TextTemplate never;
    EXPECT_EQ(Render(never, content), "");

    TextTemplate fresh;
    EXPECT_FALSE(ParseCapturing(fresh, "#if(").ok);
    EXPECT_EQ(Render(fresh, content), "");

    TextTemplate tmpl;
    ASSERT_TRUE(ParseCapturing(tmpl, "old $x").ok);
    EXPECT_FALSE(ParseCapturing(tmpl, "new #if($x)").ok);
    EXPECT_EQ(Render(tmpl, content), "old 1");
    ASSERT_TRUE(ParseCapturing(tmpl, "new $x").ok);
    EXPECT_EQ(Render(tmpl, content), "new 1");
}

std::string Nested(int depth, const char* open, const char* close) {
    std::string text;
    for (int i = 0; i < depth; ++i) {
        text += open;
    }
    text += "core";
    for (int i = 0; i < depth; ++i) {
        text += close;
    }
    return text;
}

TEST(TextTemplate, NestingIsLimitedInsteadOfExhaustingTheStack) {
    TextContent content;
    content.SetValue("$x", "1");
    content.AddRow("$l", MakeRow({{"$v", "1"}}));

    TextTemplate deepest;
    ASSERT_TRUE(ParseCapturing(deepest, Nested(TextTemplate::kMaxNesting, "#if($x)", "#end")).ok);
    EXPECT_EQ(Render(deepest, content), "core");
    ASSERT_TRUE(ParseCapturing(deepest, Nested(TextTemplate::kMaxNesting, "#foreach($l)", "#end")).ok);
    EXPECT_EQ(Render(deepest, content), "core");

    const char* message = "error: #if and #foreach are nested too deeply\n";
    for (int depth : {TextTemplate::kMaxNesting + 1, 200000}) {
        TextTemplate tmpl;
        ParseResult result = ParseCapturing(tmpl, Nested(depth, "#if($x)", "#end"));
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.printed, message);
        result = ParseCapturing(tmpl, Nested(depth, "#foreach($l)#if($x)", "#end#end"));
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.printed, message);
    }
    // Unclosed openers fail at the depth limit too, not at the end of a very deep descent.
    TextTemplate unclosed;
    EXPECT_FALSE(ParseCapturing(unclosed, Nested(100000, "#if($x)", "")).ok);
}

TEST(TextTemplate, ARenderStopsExactlyWhenItsStepsOrBytesAreSpent) {
    TextContent content;
    for (int i = 0; i < 3; ++i) {
        content.AddRow("$x", MakeRow({{"$v", "v"}}));
    }
    TextTemplate tmpl;
    ASSERT_TRUE(ParseCapturing(tmpl, "#foreach($x)a$v#end").ok);
    // The loop, and per row the pass, the text and the value: 1 + 3 * 3 steps, 6 bytes.
    StringOutputStream out;
    tmpl.Render(content, out, {10, 6});
    EXPECT_EQ(out.Text(), "avavav");
    for (const Vuxo::RenderBudget budget : {Vuxo::RenderBudget{9, 6}, Vuxo::RenderBudget{10, 5}}) {
        StringOutputStream cut;
        EXPECT_THROW(tmpl.Render(content, cut, budget), Vuxo::RenderBudgetExceeded);
        EXPECT_EQ(content.CurrentRow(), nullptr);
    }
}

// Loops nested over the same rows multiply: this input, found by the fuzzer against its content of three
// rows, kept a thread busy for many seconds before renders had a budget.
TEST(TextTemplate, TheFuzzersNestedLoopsStopAtTheDefaultBudget) {
    std::ifstream in(std::string(CORVANTA_SOURCE_DIR) + "/fuzz/seeds/fuzz_template/nested-loops-timeout.bin",
                     std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(text.empty());
    TextTemplate tmpl;
    ParseCapturing(tmpl, text);
    TextContent content;
    for (int i = 0; i < 3; ++i) {
        content.AddRow("$files", MakeRow({{"$name", "$files"}}));
        content.AddRow("$x", MakeRow({{"$v", std::to_string(i)}}));
    }
    EXPECT_FALSE(tmpl.Estimate(content).Fits());
    Vuxo::CountingOutputStream out;
    EXPECT_THROW(tmpl.Render(content, out), Vuxo::RenderBudgetExceeded);
    EXPECT_LE(out.Total(), Vuxo::RenderBudget::kDefaultBytes);
    EXPECT_EQ(content.CurrentRow(), nullptr);
}

TEST(TextTemplate, WritesOncePerBlockInDocumentOrder) {
    TextTemplate tmpl;
    ASSERT_TRUE(ParseCapturing(tmpl, "a$v#if($e)x#else$e#end$u#foreach($l)<$n>#end").ok);
    TextContent content;
    content.SetValue("$v", "V");
    content.SetValue("$e", "");
    content.AddRow("$l", MakeRow({{"$n", "1"}}));
    content.AddRow("$l", MakeRow({{"$n", "2"}}));
    RecordingStream out;
    tmpl.Render(content, out);
    const std::vector<std::string> expected = {"a", "V", "", "$u", "<", "1", ">", "<", "2", ">"};
    EXPECT_EQ(out.calls, expected);
}

// Throws on the n-th write, as a closed connection does.
class FailingStream : public Vuxo::OutputStream {
public:
    explicit FailingStream(int failAt) : left_(failAt) {}
    void Write(const char*, std::size_t) override {
        if (--left_ == 0) {
            throw std::runtime_error("Connection closed");
        }
    }

private:
    int left_;
};

TEST(TextTemplate, AThrowingSinkLeavesTheCurrentRowAsItWas) {
    TextTemplate tmpl;
    ASSERT_TRUE(ParseCapturing(tmpl, "#foreach($l)[$n]#end").ok);
    TextContent content;
    content.AddRow("$l", MakeRow({{"$n", "1"}}));
    content.AddRow("$l", MakeRow({{"$n", "2"}}));
    content.AddRow("$other", MakeRow({{"$n", "other"}}));
    ASSERT_TRUE(content.SelectRow("$other", 0));
    const TextContent::Row* before = content.CurrentRow();
    FailingStream out(5);
    EXPECT_THROW(tmpl.Render(content, out), std::runtime_error);
    EXPECT_EQ(content.CurrentRow(), before);
}

TEST(TextTemplate, ManyThreadsRenderOneTemplate) {
    TextTemplate tmpl;
    ASSERT_TRUE(ParseCapturing(tmpl, "$t:#foreach($rows)#if($odd)($v)#else[$v]#end#end").ok);
    constexpr int kThreads = 8;
    std::vector<std::string> results(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 50; ++round) {
                TextContent content;
                content.SetValue("$t", std::to_string(t));
                for (int i = 0; i < 20; ++i) {
                    content.AddRow("$rows",
                                   MakeRow({{"$v", std::to_string(i)}, {"$odd", i % 2 ? "1" : "0"}}));
                }
                results[t] = Render(tmpl, content);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (int t = 0; t < kThreads; ++t) {
        std::string expected = std::to_string(t) + ":";
        for (int i = 0; i < 20; ++i) {
            expected += i % 2 ? "(" + std::to_string(i) + ")" : "[" + std::to_string(i) + "]";
        }
        EXPECT_EQ(results[t], expected);
    }
}

} // namespace
