// The texts of one transfer-status row: progress, speed and time left, in the forms
// "25.0% (1,953KB/7,812KB)", "1,234KB", "1,500KB/s", "  0:01:05" and "??:??:??".
// Free functions with no state; safe from any thread.
#pragma once

#include <cstdint>
#include <string>

namespace Vuxo {

struct TransferSide;

// Decimal with "," between groups of three digits from the right, "-" in front of a negative number.
std::u16string FormatGroupedW(int64_t number);

// Progress of `position` bytes of `totalSize`: with a total, the percentage with one decimal and both
// amounts in KB; without one (0 or less), the amount transferred in KB. A position past the total shows
// 100.0%; a negative position counts as 0.
std::u16string FormatTransferProgress(int64_t position, int64_t totalSize);

// Bytes per second as KB/s (1 KB = 1024 bytes, rounded down).
std::u16string FormatTransferSpeed(int64_t bytesPerSecond);

// The time the rest of the total takes at `bytesPerSecond`, as hours (at least three places, blank
// padded), minutes and seconds; "??:??:??" without a total or a speed. A position past the total leaves
// no time.
std::u16string FormatTimeLeft(int64_t position, int64_t totalSize, int64_t bytesPerSecond);

// The row image for a transfer direction: 0 not known yet (-1), 1 download (0), 2 upload (1).
int TransferImageIndex(int direction);

} // namespace Vuxo
