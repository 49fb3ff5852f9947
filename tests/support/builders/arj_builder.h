// Builds small ARJ archive images in memory for the tests.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/builders/le_fields.h"

namespace lumora::archive::test {

// ---- ARJ: a main header, then header blocks each followed by the data ----

struct ArjEntry {
    ArjEntry(std::string n, std::string d = "") : name(std::move(n)), data(std::move(d)) {}
    std::string name;
    std::string data;         // the member's original bytes
    std::string packed;       // compressed bytes (methods 1-4); `data` when empty
    std::uint8_t method = 0;  // 0 stored
    std::uint8_t flags = 0;
    std::uint8_t fileType = 0;  // 2: the main header
    std::uint8_t version = 11;
    std::uint8_t minVersion = 1;
    std::uint8_t fixedSize = 30;  // where the name starts in the basic header
    std::uint16_t fileMode = 0;
    std::uint8_t host = 0;             // MS-DOS
    std::uint32_t stamp = 0x1F9A6000;  // a DOS date, or Unix seconds for host 2
    std::optional<std::uint32_t> crc;
    std::optional<std::uint32_t> packedSize;
    std::string comment;
    std::vector<std::string> ext;  // the extended headers' data
    const std::string& Stored() const { return packed.empty() ? data : packed; }
};

// The main header of an archive named `name`.
inline ArjEntry ArjMain(std::string name, std::string comment = "") {
    ArjEntry main{std::move(name)};
    main.fileType = 2;
    main.comment = std::move(comment);
    return main;
}

// The basic header: 30 fixed bytes, the name and the comment.
inline std::string ArjBasic(const ArjEntry& e) {
    std::string b = LeFields({{e.fixedSize, 1},
                              {e.version, 1},
                              {e.minVersion, 1},
                              {e.host, 1},
                              {e.flags, 1},
                              {e.method, 1},
                              {e.fileType, 1},
                              {0, 1},
                              {e.stamp, 4},
                              {e.packedSize.value_or(e.Stored().size()), 4},
                              {e.data.size(), 4},
                              {e.crc.value_or(CrcOf(e.data)), 4},
                              {0, 2},
                              {e.fileMode, 2},
                              {0, 2}});
    return b + e.name + '\0' + e.comment + '\0';
}

// Signature, size, any basic header, its CRC, the extended headers (each
// with a CRC that is not checked) and their end.
inline std::string ArjBlock(const std::string& basic, const std::vector<std::string>& ext = {}) {
    std::string block = "\x60\xEA" + Le(static_cast<std::uint32_t>(basic.size()), 2) + basic;
    block += Le(CrcOf(basic), 4);
    for (const std::string& x : ext)
        block += Le(static_cast<std::uint32_t>(x.size()), 2) + x + "CRC!";
    return block + Le(0, 2);
}

// The header block of an entry.
inline std::string ArjEntryBlock(const ArjEntry& e) {
    return ArjBlock(ArjBasic(e), e.ext);
}

inline std::string ArjEnd() {
    return std::string("\x60\xEA\0\0", 4);
}

// `mainFlags`: the main header's flags (kArjVolumeFollows in a set).
inline std::string ArjArchive(const std::vector<ArjEntry>& entries,
                              const std::string& name = "T.ARJ", std::uint8_t mainFlags = 0) {
    ArjEntry main = ArjMain(name);
    main.flags = mainFlags;
    std::string s = ArjEntryBlock(main);
    for (const ArjEntry& e : entries) s += ArjEntryBlock(e) + e.Stored();
    return s + ArjEnd();
}

}  // namespace lumora::archive::test
