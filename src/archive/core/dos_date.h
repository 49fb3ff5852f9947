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
// value is not a valid date.
std::optional<std::time_t> DosDateToUnix(std::uint32_t packed);

}  // namespace lumora::archive
