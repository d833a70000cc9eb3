#include "core/text/PathHelpers.h"

#include <vector>

namespace Vuxo {
namespace {

template <typename Char> constexpr Char kBothSeparators[] = {Char('/'), Char('\\'), Char(0)};

template <typename Char> bool IsEitherSeparator(Char c) {
    return c == Char('/') || c == Char('\\');
}

template <typename Char> std::basic_string<Char> FileNameOf(std::basic_string_view<Char> path) {
    using View = std::basic_string_view<Char>;
    const size_t last = path.find_last_not_of(kBothSeparators<Char>);
    if (last == View::npos)
        return {};
    const size_t separator = last == 0 ? View::npos : path.find_last_of(kBothSeparators<Char>, last - 1);
    const size_t start = separator == View::npos ? 0 : separator + 1;
    return std::basic_string<Char>(path.substr(start, last + 1 - start));
}

template <typename Char> std::basic_string<Char> ExtensionOf(std::basic_string_view<Char> path) {
    using View = std::basic_string_view<Char>;
    const size_t dot = path.rfind(Char('.'));
    if (dot == View::npos || path.find_first_of(kBothSeparators<Char>, dot + 1) != View::npos)
        return {};
    return std::basic_string<Char>(path.substr(dot + 1));
}

template <typename Char>
std::basic_string<Char> Combine(std::basic_string_view<Char> base, std::basic_string_view<Char> more) {
    using String = std::basic_string<Char>;
    constexpr Char slash = Char('/');
    String joined;
    if (!more.empty() && more.front() == slash)
        joined = String(more);
    else if (base.empty() || more.empty())
        joined = String(base.empty() ? more : base);
    else
        joined = String(base) + slash + String(more);

    std::vector<std::basic_string_view<Char>> parts;
    const std::basic_string_view<Char> whole(joined);
    size_t start = 0;
    while (start <= whole.size()) {
        size_t end = whole.find(slash, start);
        if (end == whole.npos)
            end = whole.size();
        const auto part = whole.substr(start, end - start);
        const bool dot = part.size() == 1 && part[0] == Char('.');
        const bool dotDot = part.size() == 2 && part[0] == Char('.') && part[1] == Char('.');
        if (dotDot) {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && !dot) {
            parts.push_back(part);
        }
        start = end + 1;
    }

    String result;
    if (!whole.empty() && whole.front() == slash)
        result.push_back(slash);
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0)
            result.push_back(slash);
        result.append(parts[i]);
    }
    if (!parts.empty() && whole.back() == slash)
        result.push_back(slash);
    return result;
}

template <typename Char> std::basic_string<Char> ParentOf(std::basic_string_view<Char> path) {
    constexpr Char slash = Char('/');
    size_t end = path.rfind(slash);
    if (end == path.npos)
        return {};
    while (end > 0 && path[end - 1] == slash)
        --end;
    if (end == 0)
        return std::basic_string<Char>(1, slash);
    return std::basic_string<Char>(path.substr(0, end));
}

} // namespace

std::string GetFileName(std::string_view path) {
    return FileNameOf(path);
}
std::u16string GetFileName(std::u16string_view path) {
    return FileNameOf(path);
}

std::string GetFileExtension(std::string_view path) {
    return ExtensionOf(path);
}
std::u16string GetFileExtension(std::u16string_view path) {
    return ExtensionOf(path);
}

std::string CombinePath(std::string_view base, std::string_view more) {
    return Combine(base, more);
}
std::u16string CombinePath(std::u16string_view base, std::u16string_view more) {
    return Combine(base, more);
}

std::string GetParentDirectory(std::string_view path) {
    return ParentOf(path);
}
std::u16string GetParentDirectory(std::u16string_view path) {
    return ParentOf(path);
}

bool IsContainedPath(std::string_view path) {
    for (size_t p = path.find(".."); p != std::string_view::npos; p = path.find("..", p + 2)) {
        const bool startsComponent = p == 0 || IsEitherSeparator(path[p - 1]);
        const bool endsComponent = p + 2 == path.size() || IsEitherSeparator(path[p + 2]);
        if (startsComponent && endsComponent)
            return false;
    }
    return true;
}

} // namespace Vuxo
