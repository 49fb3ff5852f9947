// Conversions of the packed MS-DOS date/time (date in the high word, time in
// the low word, local time) and of Unix times to date values.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>

#include "platform/datetime.h"

namespace lumora::archive {

// 0, or an invalid date or time, gives 1980-01-01 00:00.
TDateTime DosDateToDateTime(std::uint32_t packed);

// A Unix time (UTC) as local date and time, with the zone offset in force at
// that very moment.
TDateTime UnixToDateTime(std::int64_t seconds);

// The packed DOS value of a host time in local time; times before 1980 give
// 1980-01-01 00:00, times after 2107 the last representable second.
std::uint32_t UnixToDosDate(std::time_t t);

// The host time of a packed DOS value taken as local time; nullopt when the
// value is not a valid date. Gives what a first mktime with tm_isdst -1 gives.
std::optional<std::time_t> DosDateToUnix(std::uint32_t packed);

// DosDateToUnix for many values in a row, equal to mktime called for the same
// values in the same order: each conversion starts from the zone offset the
// one before used, and in a time the clocks skipped or repeated settles as
// mktime does. It asks localtime_r, which unlike mktime does not look at the
// zone file again on every call.
class DosLocalTime {
public:
    std::optional<std::time_t> ToUnix(std::uint32_t packed);

private:
    long offset_ = 0;  // the UTC offset of the last conversion, in seconds
};

}  // namespace lumora::archive
