// Date, time and number texts in the locale's formats.
#include "platform/locale_formats.h"

#include <gtest/gtest.h>

#include <vector>

namespace lumora {
namespace {

// The C library's patterns become date tokens; the zone field is dropped.
TEST(LocaleFormats, StrftimePatternsBecomeTokens) {
    const std::pair<const char*, const char*> cases[] = {
        {"%d.%m.%Y", "dd.mm.yyyy"},  {"%m/%d/%y", "mm/dd/yy"},   {"%T", "hh:nn:ss"},
        {"%H:%M:%S %Z", "hh:nn:ss"}, {"%Y-%m-%d", "yyyy-mm-dd"},
    };
    for (const auto& [pattern, tokens] : cases) EXPECT_EQ(StrftimeToTokens(pattern), tokens);
}

// Zero-padded and short tokens, and thousands grouped by the separator
// (none when it is empty).
TEST(LocaleFormats, GermanDatesTimesAndNumbers) {
    const TDateTime t = EncodeDateTime({2026, 3, 5, 7, 8, 9});
    LocaleFormats de = LocaleFormats::German();
    EXPECT_EQ(FormatShortDate(de, t), "05.03.2026");
    EXPECT_EQ(FormatLongTime(de, t), "07:08:09");
    EXPECT_EQ(FormatDateTimeTokens("d.m.yy", t), "5.3.26");
    EXPECT_EQ(FormatThousands(de, 0), "0");
    EXPECT_EQ(FormatThousands(de, 999), "999");
    EXPECT_EQ(FormatThousands(de, 1000), "1.000");
    EXPECT_EQ(FormatThousands(de, 5242880), "5.242.880");
    de.thousandsSeparator = "";
    EXPECT_EQ(FormatThousands(de, 1234567), "1234567");
    EXPECT_EQ(FormatThousands(de, -1234.5), "-1235");
    EXPECT_EQ(FormatThousands(de, 999999999999999999.0), "1000000000000000000");
    EXPECT_EQ(FormatThousands(de, 2.5e18), "2500000000000000000");
}

// Day numbers count from 1899-12-30; a leap day round-trips; Unix times take
// the zone offset of their own date (the test main sets TZ=Europe/Berlin).
TEST(DateTime, DayCountsRoundTripsAndLocalTime) {
    EXPECT_DOUBLE_EQ(EncodeDateTime({1980, 1, 1, 0, 0, 0}), 29221.0);
    const DateParts p = DecodeDateTime(EncodeDateTime({2024, 2, 29, 23, 59, 59}));
    EXPECT_EQ((std::vector{p.year, p.month, p.day, p.hour, p.minute, p.second}),
              (std::vector{2024, 2, 29, 23, 59, 59}));
    EXPECT_EQ(DecodeDateTime(UnixToLocalDateTime(946684800)).hour, 1);  // 2000-01-01, +1
    EXPECT_EQ(DecodeDateTime(UnixToLocalDateTime(962409600)).hour, 2);  // 2000-07-01, +2
}

}  // namespace
}  // namespace lumora
