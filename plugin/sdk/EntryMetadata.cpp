#include "plugin/sdk/EntryMetadata.h"

#include <algorithm>
#include <chrono>
#include <sys/stat.h>

namespace Vuxo {

namespace {

using namespace std::chrono;

constexpr int64_t SecondsOf(sys_days day) {
    return duration_cast<seconds>(day.time_since_epoch()).count();
}

constexpr int64_t kFirstDosSecond = SecondsOf(sys_days{year{1980} / January / 1});
constexpr int64_t kLastDosSecond = SecondsOf(sys_days{year{2107} / December / 31}) + 23 * 3600 + 59 * 60 + 58;

} // namespace

DosDateTime ToDosDateTime(int64_t unixSeconds) {
    const int64_t clamped = std::clamp(unixSeconds, kFirstDosSecond, kLastDosSecond);
    const int64_t dayNumber = clamped / 86400; // non-negative after clamping
    const int64_t secondOfDay = clamped % 86400;
    const year_month_day ymd{sys_days{days{dayNumber}}};
    const int yearsSince1980 = static_cast<int>(ymd.year()) - 1980;
    const unsigned month = static_cast<unsigned>(ymd.month());
    const unsigned day = static_cast<unsigned>(ymd.day());
    const auto hour = static_cast<unsigned>(secondOfDay / 3600);
    const auto minute = static_cast<unsigned>(secondOfDay / 60 % 60);
    const auto second = static_cast<unsigned>(secondOfDay % 60);

    DosDateTime result;
    result.date = static_cast<uint16_t>((yearsSince1980 << 9) | (month << 5) | day);
    result.time = static_cast<uint16_t>((hour << 11) | (minute << 5) | (second / 2));
    return result;
}

uint32_t WindowsAttributes(const EntryStatus& status, std::string_view name) {
    uint32_t attributes = status.isDirectory ? kAttributeDirectory : kAttributeArchive;
    if ((status.mode & S_IWUSR) == 0) {
        attributes |= kAttributeReadOnly;
    }
    if (!name.empty() && name.front() == '.') {
        attributes |= kAttributeHidden;
    }
    return attributes;
}

} // namespace Vuxo
