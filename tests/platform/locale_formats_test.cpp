// Date, time and number texts in the locale's formats.
#include "platform/locale_formats.h"

#include <gtest/gtest.h>

namespace lumora {
namespace {

TEST(LocaleFormats, StrftimePatternsBecomeTokens) {
    EXPECT_EQ(StrftimeToTokens("%d.%m.%Y"), "dd.mm.yyyy");
    EXPECT_EQ(StrftimeToTokens("%m/%d/%y"), "mm/dd/yy");
    EXPECT_EQ(StrftimeToTokens("%T"), "hh:nn:ss");
    EXPECT_EQ(StrftimeToTokens("%H:%M:%S %Z"), "hh:nn:ss");
    EXPECT_EQ(StrftimeToTokens("%Y-%m-%d"), "yyyy-mm-dd");
}

TEST(LocaleFormats, FormatsDatesAndTimes) {
    const TDateTime t = EncodeDateTime({2026, 3, 5, 7, 8, 9});
    const LocaleFormats de = LocaleFormats::German();
    EXPECT_EQ(FormatShortDate(de, t), "05.03.2026");
    EXPECT_EQ(FormatLongTime(de, t), "07:08:09");
    EXPECT_EQ(FormatDateTimeTokens("d.m.yy", t), "5.3.26");
}

TEST(LocaleFormats, ThousandsAreGrouped) {
    const LocaleFormats de = LocaleFormats::German();
    EXPECT_EQ(FormatThousands(de, 0), "0");
    EXPECT_EQ(FormatThousands(de, 999), "999");
    EXPECT_EQ(FormatThousands(de, 1000), "1.000");
    EXPECT_EQ(FormatThousands(de, 5242880), "5.242.880");
    LocaleFormats c = de;
    c.thousandsSeparator = "";
    EXPECT_EQ(FormatThousands(c, 1234567), "1234567");
}

TEST(DateTime, DayCountsAndRoundTrips) {
    EXPECT_DOUBLE_EQ(EncodeDateTime({1980, 1, 1, 0, 0, 0}), 29221.0);
    const DateParts p = DecodeDateTime(EncodeDateTime({2024, 2, 29, 23, 59, 59}));
    EXPECT_EQ(p.year, 2024);
    EXPECT_EQ(p.month, 2);
    EXPECT_EQ(p.day, 29);
    EXPECT_EQ(p.second, 59);
}

TEST(DateTime, UnixTimesAreLocalForTheirOwnDate) {
    // The test main sets TZ=Europe/Berlin: +1 in winter, +2 in summer.
    const DateParts winter = DecodeDateTime(UnixToLocalDateTime(946684800));  // 2000-01-01
    EXPECT_EQ(winter.hour, 1);
    const DateParts summer = DecodeDateTime(UnixToLocalDateTime(962409600));  // 2000-07-01
    EXPECT_EQ(summer.hour, 2);
}

}  // namespace
}  // namespace lumora
