#include "platform/datetime.h"

#include <cmath>

namespace lumora {

namespace {

// Days from 0001-01-01 (proleptic Gregorian) to the given date.
std::int64_t DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe);
}

// Day number of 1899-12-30 in the count above.
const std::int64_t kEpoch = DaysFromCivil(1899, 12, 30);

void CivilFromDays(std::int64_t z, int& y, int& m, int& d) {
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

}  // namespace

TDateTime EncodeDateTime(const DateParts& p) {
    const double days = static_cast<double>(DaysFromCivil(p.year, p.month, p.day) - kEpoch);
    const double seconds = p.hour * 3600.0 + p.minute * 60.0 + p.second;
    return days + seconds / 86400.0;
}

DateParts DecodeDateTime(TDateTime t) {
    DateParts p;
    double dayPart = std::floor(t);
    // Round to whole seconds so 23:59:59.9999 does not show as 23:59:59.
    auto secs = static_cast<std::int64_t>(std::llround((t - dayPart) * 86400.0));
    if (secs >= 86400) {
        secs -= 86400;
        dayPart += 1;
    }
    CivilFromDays(static_cast<std::int64_t>(dayPart) + kEpoch, p.year, p.month, p.day);
    p.hour = static_cast<int>(secs / 3600);
    p.minute = static_cast<int>(secs / 60 % 60);
    p.second = static_cast<int>(secs % 60);
    return p;
}

TDateTime UnixToLocalDateTime(std::int64_t unixSeconds) {
    std::time_t tt = static_cast<std::time_t>(unixSeconds);
    std::tm local{};
    if (!localtime_r(&tt, &local)) return 0;
    return EncodeDateTime({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                           local.tm_min, local.tm_sec});
}

std::int64_t DaysSinceUnixEpoch(int year, int month, int day) {
    return DaysFromCivil(year, month, day) - DaysFromCivil(1970, 1, 1);
}

TDateTime NowLocal() {
    return UnixToLocalDateTime(std::time(nullptr));
}

}  // namespace lumora
