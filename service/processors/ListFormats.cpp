#include "service/processors/ListFormats.h"

#include "core/i18n/LocalizationStringTable.h"
#include "core/log/Trace.h"
#include "core/text/StringHelpers.h"

#include <charconv>

namespace Vuxo {

std::string FormatNumberWithCommas(int64_t number) {
    std::string text;
    AppendNumberWithCommas(text, number);
    return text;
}

void AppendNumberWithCommas(std::string& out, int64_t number) {
    // The magnitude as unsigned, so that the most negative number has one too; no string made on the
    // way, as a folder page writes one size per file.
    const uint64_t magnitude = number < 0 ? 0 - static_cast<uint64_t>(number) : static_cast<uint64_t>(number);
    char digits[24];
    const auto [end, error] = std::to_chars(digits, digits + sizeof digits, magnitude);
    (void)error; // 20 digits at most
    if (number < 0) {
        out.push_back('-');
    }
    AppendGroupedDigits(out, std::string_view(digits, static_cast<size_t>(end - digits)), 3);
}

namespace {

// Appends `value` with at least `width` digits (zero-padded); a negative value keeps its sign.
void AppendPadded(std::string& text, int value, int width) {
    if (value < 0) {
        text.push_back('-');
        value = -value;
    }
    char digits[16];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0 && count < 16);
    for (int i = count; i < width; ++i) {
        text.push_back('0');
    }
    while (count > 0) {
        text.push_back(digits[--count]);
    }
}

} // namespace

std::string FormatLocalTime(const std::tm& local) {
    // Hand-made rather than printf: a folder page formats one date per entry.
    const int hour12 = local.tm_hour % 12 == 0 ? 12 : local.tm_hour % 12;
    std::string text;
    text.reserve(24);
    AppendPadded(text, local.tm_year + 1900, 4);
    text.push_back('-');
    AppendPadded(text, local.tm_mon + 1, 2);
    text.push_back('-');
    AppendPadded(text, local.tm_mday, 2);
    text.append(local.tm_hour < 12 ? " AM " : " PM ");
    AppendPadded(text, hour12, 2);
    text.push_back(':');
    AppendPadded(text, local.tm_min, 2);
    return text;
}

std::string FormatFileTime(int64_t secondsSinceEpoch) {
    const auto seconds = static_cast<std::time_t>(secondsSinceEpoch);
    std::tm local{};
    if (static_cast<int64_t>(seconds) != secondsSinceEpoch || localtime_r(&seconds, &local) == nullptr) {
        Trace(LOG_WARNING, "%s", Tr("파일 시간을 얻어올 수 없음"));
        return {};
    }
    return FormatLocalTime(local);
}

} // namespace Vuxo
