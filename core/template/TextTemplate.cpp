#include "core/template/TextTemplate.h"

#include <cstdio>
#include <vector>

#include "core/template/TemplateBlocks.h"
#include "core/template/TemplateScanner.h"

namespace Vuxo {

namespace {

using Scanner = TextTemplate::Scanner;
using TokenKind = Scanner::TokenKind;
using BlockPtr = std::unique_ptr<TextTemplate::Block>;

BlockPtr ParseBlockList(Scanner& scanner, int depth);

// Reads "( $name )" after "#if" or "#foreach" and gives the name.
std::string ParseCondition(Scanner& scanner, const char* openMessage, const char* variableMessage,
                           const char* closeMessage) {
    scanner.SkipSpace();
    CheckSyntax(scanner.Accept('('), openMessage);
    scanner.SkipSpace();
    const Scanner::Token name = scanner.Next();
    CheckSyntax(name.kind == TokenKind::Variable, variableMessage);
    scanner.SkipSpace();
    CheckSyntax(scanner.Accept(')'), closeMessage);
    return std::string(name.text);
}

void CheckDepth(int depth) {
    CheckSyntax(depth < TextTemplate::kMaxNesting, "#if and #foreach are nested too deeply");
}

BlockPtr ParseIf(Scanner& scanner, int depth) {
    CheckDepth(depth);
    scanner.Next(); // "#if"
    std::string name = ParseCondition(scanner, "'(' expected after #if", "'$variable' expected in #if",
                                      "')' expected after #if( $variable");
    BlockPtr thenPart = ParseBlockList(scanner, depth + 1);
    BlockPtr elsePart;
    Scanner::Token closing = scanner.Next();
    if (closing.kind == TokenKind::Else) {
        elsePart = ParseBlockList(scanner, depth + 1);
        closing = scanner.Next();
    }
    CheckSyntax(closing.kind == TokenKind::End, "'#end' expected");
    return std::make_unique<TextTemplate::IfBlock>(std::move(name), std::move(thenPart), std::move(elsePart));
}

BlockPtr ParseForeach(Scanner& scanner, int depth) {
    CheckDepth(depth);
    scanner.Next(); // "#foreach"
    std::string name =
        ParseCondition(scanner, "'(' expected after #foreach", "'$variable' expected in #foreach",
                       "')' expected after #foreach( $variable");
    BlockPtr body = ParseBlockList(scanner, depth + 1);
    CheckSyntax(scanner.Next().kind == TokenKind::End, "'#end' expected");
    return std::make_unique<TextTemplate::ForBlock>(std::move(name), std::move(body));
}

// Reads blocks up to an "#else", "#end" or the end of the text, which it leaves for the caller.
BlockPtr ParseBlockList(Scanner& scanner, int depth) {
    std::vector<BlockPtr> blocks;
    for (;;) {
        const Scanner::Token token = scanner.Next(true);
        switch (token.kind) {
        case TokenKind::Variable:
            blocks.push_back(std::make_unique<TextTemplate::IdBlock>(std::string(token.text)));
            scanner.Next();
            continue;
        case TokenKind::Text:
            blocks.push_back(std::make_unique<TextTemplate::TextBlock>(std::string(token.text)));
            scanner.Next();
            continue;
        case TokenKind::If:
            blocks.push_back(ParseIf(scanner, depth));
            continue;
        case TokenKind::Foreach:
            blocks.push_back(ParseForeach(scanner, depth));
            continue;
        case TokenKind::Else:
        case TokenKind::End:
        case TokenKind::EndOfText:
            break;
        }
        break;
    }
    if (blocks.empty()) {
        return std::make_unique<TextTemplate::TextBlock>(std::string());
    }
    if (blocks.size() == 1) {
        return std::move(blocks.front());
    }
    return std::make_unique<TextTemplate::CompoundBlock>(std::move(blocks));
}

} // namespace

TextTemplate::TextTemplate() : root_(std::make_unique<TextBlock>(std::string())) {}

TextTemplate::~TextTemplate() = default;

bool TextTemplate::Parse(const char* data, std::size_t length) {
    try {
        Scanner scanner(data, length);
        // A stray "#else" or "#end" at the top level ends the template; the rest is dropped.
        BlockPtr root = ParseBlockList(scanner, 0);
        root_ = std::move(root);
        return true;
    } catch (const TemplateSyntaxError& error) {
        std::printf("error: %s\n", error.what());
        std::fflush(stdout);
        return false;
    } catch (...) {
        return false;
    }
}

void TextTemplate::Render(TextContent& content, OutputStream& out, RenderBudget budget) const {
    RenderState state(budget);
    root_->Render(content, out, state);
}

} // namespace Vuxo
