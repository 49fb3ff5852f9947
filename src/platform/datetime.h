// Date values as a day count with a time fraction; day 0 is 1899-12-30, so
// day 29221 is 1980-01-01 00:00.
#pragma once

#include <cstdint>
#include <ctime>

namespace lumora {

using TDateTime = double;

struct DateParts {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0;
};

TDateTime EncodeDateTime(const DateParts& p);
DateParts DecodeDateTime(TDateTime t);
// A Unix time shown as local time, the offset of that very date applied.
TDateTime UnixToLocalDateTime(std::int64_t unixSeconds);
TDateTime NowLocal();
// Days from 1970-01-01 to the given date (proleptic Gregorian).
std::int64_t DaysSinceUnixEpoch(int year, int month, int day);

}  // namespace lumora
