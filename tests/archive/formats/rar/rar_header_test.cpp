// The RAR header parser on headers the lister's corpus does not hold: RAR 5
// fields that run past their header or extra area, and RAR 1.5-4 file
// blocks whose name or high sizes do not fit.
#include <gtest/gtest.h>

#include <string>

#include "archive/formats/rar/rar_header.h"
#include "support/builders/le_fields.h"

namespace lumora::archive::test {
namespace {

using namespace std::string_literals;

// A RAR 5 file header body: type 2, flags (extra area, data), the file
// fields with a Unix time and a CRC, the name, then `extra`.
std::string Rar5FileBody(const std::string& name, const std::string& extra) {
    std::string b = "\x02\x03";
    b += static_cast<char>(extra.size());
    b += "\x05";          // data size
    b += "\x06\x0A\x20";  // file flags: time, CRC; unpacked 10; attributes
    b += LeFields({{1000000000, 4}, {0x12345678, 4}});
    b += "\x80\x01";  // compression 128 (two bytes): method field 1
    b += '\0';        // host
    b += static_cast<char>(name.size()) + name;
    return b + extra;
}

TEST(Rar5HeaderTest, FileFieldsAndExtraTime) {
    // Time record, Unix seconds: size 6, type 3, flags 3, seconds.
    const std::string extra = "\x06\x03\x03" + LeFields({{1234567890, 4}});
    Rar5Header h;
    ASSERT_EQ(ParseRar5Header(Rar5FileBody("A.TXT", extra), h), HeaderResult::Ok);
    EXPECT_EQ(h.type, 2u);
    EXPECT_EQ(h.dataSize, 5u);
    EXPECT_EQ(h.file.flags, 6u);
    EXPECT_EQ(h.file.unpacked, 10u);
    EXPECT_EQ(h.file.unixTime, 1000000000u);
    EXPECT_EQ(h.file.crc, 0x12345678u);
    EXPECT_EQ(h.file.compression, 128u);
    EXPECT_EQ(h.file.name, "A.TXT");
    EXPECT_FALSE(h.file.encrypted);
    EXPECT_EQ(h.file.modified.value_or(0), 1234567890);

    // Windows time: 100 ns steps since 1601.
    const std::uint64_t ticks = (1234567890ull + 11644473600ull) * 10000000ull;
    const std::string win = "\x0A\x03\x02" + LeFields({{ticks, 8}});
    ASSERT_EQ(ParseRar5Header(Rar5FileBody("B", win), h), HeaderResult::Ok);
    EXPECT_EQ(h.file.modified.value_or(0), 1234567890);
    // An encryption record: size 2, type 1, one byte of its own.
    ASSERT_EQ(ParseRar5Header(Rar5FileBody("C", "\x02\x01\x00"s), h), HeaderResult::Ok);
    EXPECT_TRUE(h.file.encrypted);
}

TEST(Rar5HeaderTest, DamagedHeaders) {
    const std::string crypt = "\x02\x01\x00"s;  // encryption record, size 2
    // The name's bytes also read as a valid record, so only the bound of the
    // name against the extra area fails it.
    std::string named = Rar5FileBody("\x01\x05", crypt);
    named[2] = 5;
    struct Case {
        const char* what;
        std::string body;
        HeaderResult result;
    };
    const Case cases[] = {
        {"end of archive", "\x05\x00"s, HeaderResult::End},
        {"encrypted headers follow", "\x04\x00\x00"s, HeaderResult::End},
        {"flags vint runs past the header", "\x02\x80"s, HeaderResult::Bad},
        {"vint of eleven bytes", "\x02"s + std::string(10, '\x80') + '\0', HeaderResult::Bad},
        {"file fields cut short", Rar5FileBody("A", "").substr(0, 8), HeaderResult::Bad},
        {"name runs into the extra area", named, HeaderResult::Bad},
        {"extra record size too small", Rar5FileBody("A", "\x00\x01\x00"s), HeaderResult::Bad},
        {"extra record past the area", Rar5FileBody("A", "\x09\x03\x03"s), HeaderResult::Bad},
        {"BLAKE2sp digest past its record",
         Rar5FileBody("A", "\x02\x02\x00"s + std::string(32, 'x')), HeaderResult::Bad},
        {"extra area larger than the header", "\x02\x01\x7F"s, HeaderResult::Bad},
    };
    for (const Case& c : cases) {
        Rar5Header h;
        EXPECT_EQ(ParseRar5Header(c.body, h), c.result) << c.what;
    }
}

TEST(Rar5HeaderTest, SizeField) {
    struct Case {
        const char* what;
        std::string window;
        HeaderResult result;
        std::uint64_t size = 0;
        std::size_t offset = 0;
    };
    const std::string crc(4, '\0');
    const Case cases[] = {
        {"one byte", crc + "\x0B\x02\x00\x00"s, HeaderResult::Ok, 11, 5},
        {"over 2 MiB", crc + "\x81\x80\x80\x01"s, HeaderResult::Bad},
        {"largest", crc + "\x80\x80\x80\x01"s, HeaderResult::Ok, 0x200000, 8},
        {"zero", crc + std::string(4, '\0'), HeaderResult::Bad},
        {"past the window", crc + "\x80\x80\x80\x80"s, HeaderResult::Bad},
    };
    for (const Case& c : cases) {
        std::uint64_t size = 0;
        std::size_t offset = 0;
        EXPECT_EQ(ParseRar5Size(c.window, size, offset), c.result) << c.what;
        if (c.result != HeaderResult::Ok) continue;
        EXPECT_EQ(size, c.size) << c.what;
        EXPECT_EQ(offset, c.offset) << c.what;
    }
}

// A RAR 1.5-4 file block's 32 fixed bytes.
std::string Rar4File(std::uint16_t flags, std::uint16_t headSize, std::uint16_t nameSize) {
    return LeFields({{0, 2}, {0x74, 1}, {flags, 2}, {headSize, 2}, {7, 4}, {9, 4}, {0, 1}}) +
           LeFields({{0, 4}, {0, 4}, {0x14, 1}, {0x30, 1}, {nameSize, 2}, {0x20, 4}});
}

TEST(Rar4HeaderTest, FileTails) {
    struct Case {
        const char* what;
        std::uint16_t flags, headSize, nameSize;
        std::string tail;
        HeaderResult result;
        std::uint32_t packedHigh, unpackedHigh;
        std::string name;
    };
    const std::string highs = LeFields({{1, 4}, {2, 4}});
    const Case cases[] = {
        {"plain", 0x8000, 35, 3, "A.B", HeaderResult::Ok, 0, 0, "A.B"},
        {"unicode name", 0x8000, 37, 5, std::string("AB\0xy", 5), HeaderResult::Ok, 0, 0, "AB"},
        {"large", 0x8100, 41, 1, highs + "N", HeaderResult::Ok, 1, 2, "N"},
        {"large, no data", 0x0100, 41, 1, highs + "N", HeaderResult::Ok, 0, 2, "N"},
        {"name past the header size", 0x8000, 34, 3, "A.B", HeaderResult::Bad, 0, 0, ""},
        {"name cut short", 0x8000, 35, 3, "A.", HeaderResult::Bad, 0, 0, ""},
        {"large sizes past the header", 0x8100, 33, 1, "N", HeaderResult::Bad, 0, 0, ""},
        // Skipped blocks only need the high packed size, wherever it is.
        {"skipped, high size after the header", 0xC100, 32, 0, highs, HeaderResult::Ok, 1, 0, ""},
        {"skipped, high size cut short", 0xC100, 32, 0, "\1", HeaderResult::Bad, 0, 0, ""},
    };
    for (const Case& c : cases) {
        const std::string block = Rar4File(c.flags, c.headSize, c.nameSize);
        FieldReader fixed(block);
        Rar4Block b;
        ASSERT_EQ(ParseRar4Block(fixed, b), HeaderResult::Ok) << c.what;
        const std::string tail = c.tail.substr(0, Rar4TailSize(b));
        FieldReader r(tail);
        Rar4FileTail t;
        EXPECT_EQ(ParseRar4Tail(r, b, t), c.result) << c.what;
        if (c.result != HeaderResult::Ok) continue;
        EXPECT_EQ(t.packedHigh, c.packedHigh) << c.what;
        EXPECT_EQ(t.unpackedHigh, c.unpackedHigh) << c.what;
        EXPECT_EQ(t.name, c.name) << c.what;
    }
}

// The name the lister shows and the readers write: the Unicode name where
// Windows-1252 holds it, else the stored bytes, never '?' in their place.
TEST(Rar4HeaderTest, NamesInWindows1252) {
    const struct {
        const char* what;
        std::string field, name;
    } cases[] = {
        {"UTF-8, umlaut", "gr\xC3\xBCn", "gr\xFCn"},
        // Plain MS-DOS "\x8E", encoded U+00C4: high byte 0, one low byte.
        {"encoded, umlaut", "\x8E\0\0\0\xC4"s, "\xC4"},
        // Plain Shift-JIS bytes, encoded U+30C6: high byte 0x30, one byte.
        {"encoded, Japanese", "\x83\x65\0\x30\x40\xC6"s, "\x83\x65"},
    };
    for (const auto& c : cases) {
        const auto size = static_cast<std::uint16_t>(c.field.size());
        const std::string block = Rar4File(0x8200, 32 + size, size);
        FieldReader fixed(block);
        Rar4Block b;
        ASSERT_EQ(ParseRar4Block(fixed, b), HeaderResult::Ok) << c.what;
        FieldReader r(c.field);
        Rar4FileTail t;
        ASSERT_EQ(ParseRar4Tail(r, b, t), HeaderResult::Ok) << c.what;
        EXPECT_EQ(t.AnsiName(), c.name) << c.what;
    }
    EXPECT_EQ(RarAnsiName("\xE8\xA1\xA8/x", "\xE8\xA1\xA8/x"), "\xE8\xA1\xA8/x");
}

}  // namespace
}  // namespace lumora::archive::test
