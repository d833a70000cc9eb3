// FormatWideString: printf for UTF-16 formats. Numbers go through the C library's snprintf one
// conversion at a time; strings and characters are placed here, since they are UTF-16.
#include "core/text/StringHelpers.h"
#include "core/text/Utf8.h"

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <sys/types.h>

namespace Vuxo {
namespace {

constexpr int kMaxField = 1 << 20;

enum class Length { None, Char, Short, Long, LongLong, IntMax, Size, PtrDiff, LongDouble };

// One conversion directive as read from the format ("%-5.2lld").
struct Directive {
    std::string flags;
    int width = -1;     // -1: none
    int precision = -1; // -1: none
    Length length = Length::None;
    char16_t conversion = 0;

    bool LeftAligned() const { return flags.find('-') != std::string::npos; }
};

bool IsFlag(char16_t c) {
    return c == u'-' || c == u'+' || c == u' ' || c == u'#' || c == u'0';
}
bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

const char* LengthText(Length length) {
    switch (length) {
    case Length::Char:
        return "hh";
    case Length::Short:
        return "h";
    case Length::Long:
        return "l";
    case Length::LongLong:
        return "ll";
    case Length::IntMax:
        return "j";
    case Length::Size:
        return "z";
    case Length::PtrDiff:
        return "t";
    case Length::LongDouble:
        return "L";
    case Length::None:
        break;
    }
    return "";
}

class WideFormatter {
public:
    WideFormatter(const char16_t* fmt, va_list args) : fmt_(fmt) { va_copy(args_, args); }
    ~WideFormatter() { va_end(args_); }
    WideFormatter(const WideFormatter&) = delete;
    WideFormatter& operator=(const WideFormatter&) = delete;

    // Formats the whole text, stopping once `limit` units are there.
    std::u16string Run(size_t limit) {
        while (*fmt_ != u'\0' && out_.size() <= limit) {
            if (*fmt_ != u'%') {
                out_.push_back(*fmt_++);
                continue;
            }
            const char16_t* directiveStart = fmt_++;
            if (*fmt_ == u'%') {
                out_.push_back(*fmt_++);
                continue;
            }
            Directive directive;
            if (!ReadDirective(directive)) {
                out_.append(directiveStart, fmt_); // unknown conversion: copied as it stands
                continue;
            }
            Convert(directive);
        }
        return std::move(out_);
    }

private:
    // A width or precision, kept within kMaxField (sign included) so that no single
    // conversion can claim unbounded memory.
    int ReadNumberOrStar() {
        if (*fmt_ == u'*') {
            ++fmt_;
            const int value = va_arg(args_, int);
            return value < -kMaxField ? -kMaxField : (value > kMaxField ? kMaxField : value);
        }
        int value = 0;
        while (IsDigit(*fmt_)) {
            value = value * 10 + (*fmt_ - u'0');
            if (value > kMaxField)
                value = kMaxField;
            ++fmt_;
        }
        return value;
    }

    Length ReadLength() {
        switch (*fmt_) {
        case u'h':
            return Doubled(u'h') ? Length::Char : Length::Short;
        case u'l':
            return Doubled(u'l') ? Length::LongLong : Length::Long;
        case u'j':
            ++fmt_;
            return Length::IntMax;
        case u'z':
            ++fmt_;
            return Length::Size;
        case u't':
            ++fmt_;
            return Length::PtrDiff;
        case u'L':
            ++fmt_;
            return Length::LongDouble;
        default:
            return Length::None;
        }
    }

    // Steps over a length letter and tells whether it was written twice ("hh", "ll").
    bool Doubled(char16_t letter) {
        ++fmt_;
        if (*fmt_ != letter)
            return false;
        ++fmt_;
        return true;
    }

    bool ReadDirective(Directive& directive) {
        while (IsFlag(*fmt_))
            directive.flags.push_back(static_cast<char>(*fmt_++));
        if (*fmt_ == u'*' || IsDigit(*fmt_)) {
            directive.width = ReadNumberOrStar();
            if (directive.width < 0) { // a negative width argument means left alignment
                directive.flags.push_back('-');
                directive.width = -directive.width;
            }
        }
        if (*fmt_ == u'.') {
            ++fmt_;
            directive.precision = ReadNumberOrStar();
            if (directive.precision < 0)
                directive.precision = -1; // a negative precision argument counts as none
        }
        directive.length = ReadLength();
        directive.conversion = *fmt_;
        if (directive.conversion == u'\0')
            return false;
        ++fmt_;
        return Fits(directive);
    }

    // Whether the length modifier suits the conversion, so the argument is read with its real type.
    static bool Fits(const Directive& directive) {
        const auto in = [&directive](std::u16string_view set) {
            return set.find(directive.conversion) != set.npos;
        };
        if (in(u"diuoxX"))
            return directive.length != Length::LongDouble;
        if (in(u"eEfFgGaA"))
            return directive.length == Length::None || directive.length == Length::Long ||
                   directive.length == Length::LongDouble;
        if (in(u"sc"))
            return directive.length == Length::None || directive.length == Length::Short ||
                   directive.length == Length::Long;
        if (directive.conversion == u'p')
            return directive.length == Length::None;
        return directive.conversion == u'n';
    }

    void Convert(const Directive& directive) {
        switch (directive.conversion) {
        case u's':
            return directive.length == Length::Short ? PutNarrowString(directive) : PutWideString(directive);
        case u'c':
            return PutCharacter(directive);
        case u'n':
            (void)va_arg(args_, void*);
            return;
        case u'p':
            return PutNumber(directive, va_arg(args_, void*));
        case u'd':
        case u'i':
            return PutSigned(directive);
        case u'u':
        case u'o':
        case u'x':
        case u'X':
            return PutUnsigned(directive);
        default: // floating point
            if (directive.length == Length::LongDouble)
                return PutNumber(directive, va_arg(args_, long double));
            return PutNumber(directive, va_arg(args_, double));
        }
    }

    void PutSigned(const Directive& directive) {
        switch (directive.length) {
        case Length::Long:
            return PutNumber(directive, va_arg(args_, long));
        case Length::LongLong:
            return PutNumber(directive, va_arg(args_, long long));
        case Length::IntMax:
            return PutNumber(directive, va_arg(args_, intmax_t));
        case Length::Size:
            return PutNumber(directive, va_arg(args_, ssize_t));
        case Length::PtrDiff:
            return PutNumber(directive, va_arg(args_, ptrdiff_t));
        default: // char and short arrive promoted to int; the length modifier narrows them
            return PutNumber(directive, va_arg(args_, int));
        }
    }

    void PutUnsigned(const Directive& directive) {
        switch (directive.length) {
        case Length::Long:
            return PutNumber(directive, va_arg(args_, unsigned long));
        case Length::LongLong:
            return PutNumber(directive, va_arg(args_, unsigned long long));
        case Length::IntMax:
            return PutNumber(directive, va_arg(args_, uintmax_t));
        case Length::Size:
            return PutNumber(directive, va_arg(args_, size_t));
        case Length::PtrDiff:
            return PutNumber(directive, static_cast<size_t>(va_arg(args_, ptrdiff_t)));
        default:
            return PutNumber(directive, va_arg(args_, unsigned int));
        }
    }

    // One numeric conversion through snprintf; its output is ASCII.
    template <typename T> void PutNumber(const Directive& directive, T value) {
        std::string format = "%" + directive.flags;
        if (directive.width >= 0)
            format += std::to_string(directive.width);
        if (directive.precision >= 0)
            format += "." + std::to_string(directive.precision);
        format += LengthText(directive.length);
        format.push_back(static_cast<char>(directive.conversion));
        const int needed = std::snprintf(nullptr, 0, format.c_str(), value);
        if (needed <= 0)
            return;
        std::string text(static_cast<size_t>(needed) + 1, '\0');
        std::snprintf(text.data(), text.size(), format.c_str(), value);
        text.pop_back();
        out_.append(text.begin(), text.end());
    }

    void PutPadded(const Directive& directive, std::u16string_view text) {
        const size_t width = directive.width > 0 ? static_cast<size_t>(directive.width) : 0;
        const size_t padding = width > text.size() ? width - text.size() : 0;
        if (!directive.LeftAligned())
            out_.append(padding, u' ');
        out_.append(text);
        if (directive.LeftAligned())
            out_.append(padding, u' ');
    }

    void PutString(const Directive& directive, std::u16string_view text) {
        if (directive.precision >= 0 && text.size() > static_cast<size_t>(directive.precision)) {
            size_t keep = static_cast<size_t>(directive.precision);
            if (keep > 0 && text[keep - 1] >= 0xD800 && text[keep - 1] <= 0xDBFF)
                --keep; // do not leave half a surrogate pair
            text = text.substr(0, keep);
        }
        PutPadded(directive, text);
    }

    void PutWideString(const Directive& directive) {
        const char16_t* text = va_arg(args_, const char16_t*);
        PutString(directive, text ? std::u16string_view(text) : std::u16string_view(u"(null)"));
    }

    void PutNarrowString(const Directive& directive) {
        const char* text = va_arg(args_, const char*);
        PutString(directive, text ? Utf8ToWide(text) : std::u16string(u"(null)"));
    }

    void PutCharacter(const Directive& directive) {
        const int value = va_arg(args_, int);
        if (directive.length == Length::Short) {
            const char narrow = static_cast<char>(value);
            PutPadded(directive, Utf8ToWide(std::string_view(&narrow, 1)));
        } else {
            const char16_t unit = static_cast<char16_t>(value);
            PutPadded(directive, std::u16string_view(&unit, 1));
        }
    }

    const char16_t* fmt_;
    va_list args_;
    std::u16string out_;
};

} // namespace

std::u16string FormatWideString(size_t bufferSize, const char16_t* fmt, ...) {
    if (bufferSize == 0 || fmt == nullptr)
        return {};
    const size_t limit = bufferSize - 1;
    va_list args;
    va_start(args, fmt);
    std::u16string text = WideFormatter(fmt, args).Run(limit);
    va_end(args);
    const size_t nul = text.find(u'\0');
    if (nul != std::u16string::npos)
        text.erase(nul);
    if (text.size() > limit) {
        size_t keep = limit;
        if (keep > 0 && text[keep - 1] >= 0xD800 && text[keep - 1] <= 0xDBFF && text[keep] >= 0xDC00 &&
            text[keep] <= 0xDFFF)
            --keep;
        text.erase(keep);
    }
    return text;
}

} // namespace Vuxo
