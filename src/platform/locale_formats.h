// The locale's short date format, long time format and thousands separator,
// in the "dd.mm.yyyy" / "hh:nn:ss" token style the list texts are made with.
#pragma once

#include <string>

#include "platform/datetime.h"

namespace lumora {

struct LocaleFormats {
    std::string shortDate = "dd.mm.yyyy";
    std::string longTime = "hh:nn:ss";
    std::string thousandsSeparator = ".";

    // Filled from the C library's current locale (LC_TIME, LC_NUMERIC).
    static LocaleFormats FromCLocale();
    // Fixed German values (for tests and as the documented reference).
    static LocaleFormats German() { return {}; }
};

// Formats with tokens d dd m mm yy yyyy h hh n nn s ss; other bytes verbatim.
std::string FormatDateTimeTokens(const std::string& tokens, TDateTime t);
std::string FormatShortDate(const LocaleFormats& f, TDateTime t);
std::string FormatLongTime(const LocaleFormats& f, TDateTime t);
// "%.0n": rounded to a whole number, thousands grouped with the separator.
std::string FormatThousands(const LocaleFormats& f, double value);
// Converts a strftime pattern (nl_langinfo D_FMT / T_FMT) to tokens.
std::string StrftimeToTokens(const std::string& pattern);

}  // namespace lumora
