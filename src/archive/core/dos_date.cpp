#include "archive/core/dos_date.h"

namespace lumora::archive {

namespace {

struct DosParts {
    int year, month, day, hour, minute, second;
};

DosParts Unpack(std::uint32_t v) {
    return {static_cast<int>(v >> 25) + 1980,   static_cast<int>((v >> 21) & 0x0F),
            static_cast<int>((v >> 16) & 0x1F), static_cast<int>((v >> 11) & 0x1F),
            static_cast<int>((v >> 5) & 0x3F),  static_cast<int>((v & 0x1F) * 2)};
}

bool IsLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

bool IsValid(const DosParts& p) {
    return p.month >= 1 && p.month <= 12 && p.day >= 1 && p.day <= DaysInMonth(p.year, p.month) &&
           p.hour < 24 && p.minute < 60 && p.second < 60;
}

constexpr DateParts k1980{1980, 1, 1, 0, 0, 0};

bool IsSummerTime(std::time_t t) {
    std::tm tm{};
    return localtime_r(&t, &tm) && tm.tm_isdst > 0;
}

}  // namespace

TDateTime DosDateToDateTime(std::uint32_t packed) {
    const DosParts p = Unpack(packed);
    if (packed == 0 || !IsValid(p)) return EncodeDateTime(k1980);
    return EncodeDateTime({p.year, p.month, p.day, p.hour, p.minute, p.second});
}

TDateTime UnixToDateTime(std::int64_t seconds) {
    return UnixToLocalDateTime(seconds);
}

std::uint32_t UnixToDosDate(std::time_t t) {
    std::tm tm{};
    if (!localtime_r(&t, &tm) || tm.tm_year < 80) return 0x00210000u;  // 1980-01-01
    if (tm.tm_year > 207) return 0xFF9FBF7Du;                          // 2107-12-31 23:59:58
    return (static_cast<std::uint32_t>(tm.tm_year - 80) << 25) |
           (static_cast<std::uint32_t>(tm.tm_mon + 1) << 21) |
           (static_cast<std::uint32_t>(tm.tm_mday) << 16) |
           (static_cast<std::uint32_t>(tm.tm_hour) << 11) |
           (static_cast<std::uint32_t>(tm.tm_min) << 5) | static_cast<std::uint32_t>(tm.tm_sec / 2);
}

std::optional<std::time_t> DosDateToUnix(std::uint32_t packed) {
    return DosLocalTime().ToUnix(packed);
}

std::optional<std::time_t> DosLocalTime::ToUnix(std::uint32_t packed) {
    const DosParts p = Unpack(packed);
    if (!IsValid(p)) return std::nullopt;
    // The date and time as if they were UTC; the time sought is that minus
    // the offset in force at the time sought.
    const std::int64_t local = DaysSinceUnixEpoch(p.year, p.month, p.day) * 86400 + p.hour * 3600 +
                               p.minute * 60 + p.second;
    long tried = offset_, before = offset_;
    for (int probe = 0; probe < 6; ++probe) {
        const auto t = static_cast<std::time_t>(local - tried);
        std::tm tm{};
        if (!localtime_r(&t, &tm)) return std::nullopt;
        if (tm.tm_gmtoff == tried) {
            offset_ = tried;
            return t;
        }
        if (probe > 0 && tm.tm_gmtoff == before) {
            // Two offsets that each lead to the other: the time lies where the
            // clocks went forward. The one reached again is taken unless only
            // the other gives summer time.
            const auto other = static_cast<std::time_t>(local - tried);
            offset_ = IsSummerTime(other) && !IsSummerTime(local - before) ? tried : before;
            return static_cast<std::time_t>(local - offset_);
        }
        before = tried;
        tried = tm.tm_gmtoff;
    }
    return std::nullopt;
}

}  // namespace lumora::archive
