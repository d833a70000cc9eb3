// The number and date texts of the folder pages. Stateless; safe from any thread.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace Vuxo {

// Decimal with "," between groups of three digits from the right, "-" in front of a negative number:
// 1234567 -> "1,234,567", 0 -> "0".
std::string FormatNumberWithCommas(int64_t number);
// The same, appended to `out`.
void AppendNumberWithCommas(std::string& out, int64_t number);

// "YYYY-MM-DD AM hh:mm" on the 12-hour clock (hours 0 and 12 shown as 12; AM for 0-11, PM for 12-23).
std::string FormatLocalTime(const std::tm& local);

// A modification time (seconds since 1970 UTC) in local time as FormatLocalTime writes it; "" (and a
// warning in the log) when it cannot be converted.
std::string FormatFileTime(int64_t secondsSinceEpoch);

} // namespace Vuxo
