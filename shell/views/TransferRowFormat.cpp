#include "shell/views/TransferRowFormat.h"

#include "core/text/Utf8.h"

#include <cinttypes>
#include <cstdio>

namespace Vuxo {
namespace {

std::u16string Ascii(const char* text) {
    return Utf8ToWide(text);
}

} // namespace

std::u16string FormatGroupedW(int64_t number) {
    // Work on the magnitude as unsigned, so the most negative number has one too.
    uint64_t magnitude = number < 0 ? 0 - static_cast<uint64_t>(number) : static_cast<uint64_t>(number);
    std::u16string digits;
    int inGroup = 0;
    do {
        if (inGroup == 3) {
            digits.insert(digits.begin(), u',');
            inGroup = 0;
        }
        digits.insert(digits.begin(), static_cast<char16_t>(u'0' + magnitude % 10));
        magnitude /= 10;
        ++inGroup;
    } while (magnitude != 0);
    if (number < 0) {
        digits.insert(digits.begin(), u'-');
    }
    return digits;
}

std::u16string FormatTransferProgress(int64_t position, int64_t totalSize) {
    if (position < 0) {
        position = 0;
    }
    if (totalSize <= 0) {
        return FormatGroupedW(position / 1024) + u"KB";
    }
    // Hundredths of a percent; 128-bit so that no position can overflow the product.
    int64_t hundredths = 10000;
    if (position <= totalSize) {
        hundredths = static_cast<int64_t>(static_cast<__int128>(position) * 10000 / totalSize);
    }
    char percent[32];
    std::snprintf(percent, sizeof percent, "%0.1f%% (", static_cast<double>(hundredths) / 100.0);
    return Ascii(percent) + FormatGroupedW(position / 1024) + u"KB/" + FormatGroupedW(totalSize / 1024) +
           u"KB)";
}

std::u16string FormatTransferSpeed(int64_t bytesPerSecond) {
    return FormatGroupedW(bytesPerSecond / 1024) + u"KB/s";
}

std::u16string FormatTimeLeft(int64_t position, int64_t totalSize, int64_t bytesPerSecond) {
    if (totalSize <= 0 || bytesPerSecond <= 0) {
        return u"??:??:??";
    }
    int64_t left = totalSize - (position < 0 ? 0 : position);
    int64_t seconds = left > 0 ? left / bytesPerSecond : 0;
    char text[48];
    std::snprintf(text, sizeof text, "%3" PRId64 ":%02d:%02d", seconds / 3600,
                  static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
    return Ascii(text);
}

int TransferImageIndex(int direction) {
    switch (direction) {
    case 0:
        return 1;
    case 1:
        return 2;
    default:
        return 0;
    }
}

} // namespace Vuxo
