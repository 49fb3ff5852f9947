// Shared routines: checksums, date conversions, ratios, octal fields,
// volume names, the error texts and file attributes.
#include <gtest/gtest.h>
#include <zlib.h>

#include <array>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "archive/core/crc.h"
#include "archive/core/dos_date.h"
#include "archive/core/error_codes.h"
#include "archive/core/file_attr.h"
#include "archive/core/routines.h"

namespace lumora::archive {
namespace {

const auto* Bytes(const std::string& s) {
    return reinterpret_cast<const std::uint8_t*>(s.data());
}

// The standard check values, and the same CRC fed in pieces as whole.
TEST(CrcTest, CheckValuesInOneGoAndInPieces) {
    const std::string check = "123456789";
    Crc32 whole;
    whole.Update(Bytes(check), check.size());
    EXPECT_EQ(whole.Value(), 0xCBF43926u);
    Crc16 c16(0);
    c16.Update(Bytes(check), check.size());
    EXPECT_EQ(c16.Value(), 0xBB3D);

    std::string longer;
    for (int i = 0; i < 1000; ++i) longer += static_cast<char>(i * 31 + 7);
    Crc32 a, b;
    Crc16 a16(0x1234), b16(0x1234);
    a.Update(Bytes(longer), longer.size());
    a16.Update(Bytes(longer), longer.size());
    for (std::size_t i = 0; i < longer.size(); i += 13) {
        b.Update(Bytes(longer) + i, std::min<std::size_t>(13, longer.size() - i));
        b16.Update(Bytes(longer) + i, std::min<std::size_t>(13, longer.size() - i));
    }
    EXPECT_EQ(a.Value(), b.Value());
    EXPECT_EQ(a16.Value(), b16.Value());

    // Every length around the word steps, against zlib's CRC-32.
    for (std::size_t n = 0; n <= 40; ++n) {
        Crc32 c;
        c.Update(Bytes(longer) + 3, n);
        EXPECT_EQ(c.Value(), ::crc32(0, Bytes(longer) + 3, static_cast<uInt>(n))) << n;
    }
}

// Packed DOS dates, impossible ones (29 February 1995, hour 24) as the epoch.
TEST(DosDateTest, PackedValues) {
    const std::pair<std::uint32_t, std::array<int, 5>> cases[] = {
        {0, {1980, 1, 1, 0, 0}},
        {0x1F8E5A1D, {1995, 12, 14, 11, 58}},
        {0x1E5D0000, {1980, 1, 1, 0, 0}},
        {0x1F8EC000, {1980, 1, 1, 0, 0}},
    };
    for (const auto& [packed, want] : cases) {
        const DateParts p = DecodeDateTime(DosDateToDateTime(packed));
        EXPECT_EQ((std::array<int, 5>{p.year, p.month, p.day, p.hour, p.second}), want)
            << std::hex << packed;
    }
    EXPECT_EQ(DosDateToDateTime(0), 29221.0);
}

// Unix times show in the zone of their own date (the tests run in
// Europe/Berlin); DOS to Unix and back, and a time before 1980.
TEST(DosDateTest, UnixTimesInTheZoneOfTheirDate) {
    EXPECT_EQ(DecodeDateTime(UnixToDateTime(946684800)).hour, 1);  // 2000-01-01 00:00 UTC
    EXPECT_EQ(DecodeDateTime(UnixToDateTime(962409600)).hour, 2);  // 2000-07-01 00:00 UTC
    const auto t = DosDateToUnix(0x1F8E5A00);
    ASSERT_TRUE(t.has_value());
    EXPECT_EQ(UnixToDosDate(*t), 0x1F8E5A00u);
    EXPECT_EQ(UnixToDosDate(0), 0x00210000u);
}

// Local DOS times to Unix times in Europe/Berlin, in one row as an archive's
// members come: the hour skipped in spring counts as winter time, the hour
// repeated in autumn keeps the offset of the time before; whole years apart.
TEST(DosDateTest, LocalTimesAroundTheSwitches) {
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
    struct Row {
        int year, month, day, hour, minute, second;
        long offset;  // the zone offset expected, in seconds; 0: not a valid date
    };
    const Row rows[] = {
        {2024, 3, 31, 1, 59, 58, 3600},  {2024, 3, 31, 2, 0, 0, 3600},
        {2024, 3, 31, 2, 30, 0, 3600},   {2024, 3, 31, 3, 0, 0, 7200},
        {2024, 10, 27, 1, 59, 58, 7200}, {2024, 10, 27, 2, 30, 0, 7200},
        {2024, 10, 27, 3, 0, 0, 3600},   {2024, 10, 27, 2, 30, 0, 3600},
        {1980, 1, 1, 0, 0, 0, 3600},     {1996, 7, 15, 12, 0, 0, 7200},
        {2038, 1, 19, 4, 14, 8, 3600},   {2107, 12, 31, 23, 59, 58, 3600},
        {2024, 2, 30, 12, 0, 0, 0},      {2024, 13, 1, 12, 0, 0, 0},
    };
    DosLocalTime convert;
    for (const Row& r : rows) {
        const std::uint32_t packed =
            static_cast<std::uint32_t>(r.year - 1980) << 25 |
            static_cast<std::uint32_t>(r.month) << 21 | static_cast<std::uint32_t>(r.day) << 16 |
            static_cast<std::uint32_t>(r.hour) << 11 | static_cast<std::uint32_t>(r.minute) << 5 |
            static_cast<std::uint32_t>(r.second / 2);
        const std::int64_t asUtc = DaysSinceUnixEpoch(r.year, r.month, r.day) * 86400 +
                                   r.hour * 3600 + r.minute * 60 + r.second;
        const std::optional<std::time_t> got = convert.ToUnix(packed);
        if (r.offset == 0) {
            EXPECT_FALSE(got.has_value()) << std::hex << packed;
        } else {
            EXPECT_EQ(got, asUtc - r.offset) << std::hex << packed;
        }
    }
    // A conversion on its own takes winter time in the repeated hour.
    EXPECT_EQ(DosDateToUnix(0x595B1380), 1729992480);  // 2024-10-27 02:28 +01:00
}

// Rounding, expansion as 0, and sizes beyond 32 bits.
TEST(RoutinesTest, CompressionRatio) {
    EXPECT_EQ(CompressionRatio(0, 100), 0);
    EXPECT_EQ(CompressionRatio(40, 100), 60);
    EXPECT_EQ(CompressionRatio(999, 1000), 1);
    EXPECT_EQ(CompressionRatio(200, 100), 0);
    EXPECT_EQ(CompressionRatio(1, 5368709120ull), 100);
    EXPECT_EQ(CompressionRatio(5368709119ull, 5368709120ull), 1);
}

// Octal fields stop at NUL, skip blanks, and need 64 bits for 12 digits.
TEST(RoutinesTest, ParseOctal) {
    EXPECT_EQ(ParseOctal(std::string("000501\0 ", 8)), 321u);
    EXPECT_EQ(ParseOctal("0005 01"), 321u);
    EXPECT_EQ(ParseOctal("  777 \0 9"), 511u);
    EXPECT_EQ(ParseOctal("77777777777"), 8589934591u);
    EXPECT_EQ(ParseOctal(""), 0u);
}

// The counter goes up; dots in folder names stay; past 999 there is none.
TEST(RoutinesTest, NextVolumeName) {
    std::string counter = "0";
    EXPECT_EQ(NextVolumeName("/d/MULTI.ARJ", counter), "/d/MULTI.A01");
    EXPECT_EQ(counter, "1");
    counter = "9";
    EXPECT_EQ(NextVolumeName("/d/a.b/X.Y.ARJ", counter), "/d/a.b/X.A10");
    counter = "99";
    EXPECT_EQ(NextVolumeName("NAME", counter), "NAME.100");
    counter = "999";
    EXPECT_EQ(NextVolumeName("NAME.ARJ", counter), "");
}

// Texts are Windows-1252; unknown codes have none; E_RAISE carries both.
TEST(ErrorCodesTest, TextsAreWindows1252) {
    EXPECT_EQ(ErrorText(ecode::CrcError),
              "Fehler bei der CRC \xDC"
              "berpr\xFC"
              "fung");
    EXPECT_EQ(ErrorText(12345), "");
    const E_RAISE e(ecode::OpenError);
    EXPECT_EQ(e.Code(), 25134);
    EXPECT_STREQ(e.what(),
                 "Fehler beim \xD6"
                 "ffnen der Datei");
}

// The directory flag stays out of the combined value.
TEST(FileAttrTest, FlagsAndCombinedValue) {
    TztvFileAttr a;
    EXPECT_EQ(a.Attributes(), 33);
    a.SetHidden(true);
    a.SetReadOnly(false);
    a.SetDirectory(true);
    EXPECT_EQ(a.Attributes(), 34);
    a.SetAttributes(16 | 4);
    EXPECT_TRUE(a.ftDirectory() && a.ftSysFile() && !a.ftArchive());
}

}  // namespace
}  // namespace lumora::archive
