// Helpers of the lister tests: a recorder of the lister's events and small
// archive images of the formats the lister walks that the readers' builders
// (archive_builders.h) do not make: RAR (complete enough for real readers),
// ZOO entry chains, CAB and HA headers, ZIP central directories.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "archive/archive_builders.h"
#include "archive/core/crc.h"
#include "archive/core/error_codes.h"
#include "archive/lister/zip_tv.h"
#include "archive/zip_builder.h"

namespace lumora::archive::test {

// Runs a listing and keeps what it reported, as "name size filenum" lines.
struct Listing {
    bool result = false;
    std::vector<std::string> names;
    std::vector<std::string> lines;
    std::vector<int> filenums;
    std::vector<int> codes;
    std::vector<std::string> events;  // Activate, Read, Totals n, Error c, Deactivate
    int totals = -1;
};

inline Listing List(TZipTV& tv) {
    Listing l;
    tv.OnActivate = [&l](TZipCommon&) { l.events.push_back("Activate"); };
    tv.OnDeactivate = [&l](TZipCommon&) { l.events.push_back("Deactivate"); };
    tv.OnRead = [&l](TZipTV& t, std::uint64_t, int filenum) {
        l.names.push_back(t.FileName());
        l.lines.push_back(t.FileName() + " " + std::to_string(t.Member().UnpackedSize) + " " +
                          std::to_string(filenum));
        l.filenums.push_back(filenum);
        l.events.push_back("Read");
    };
    tv.OnTotals = [&l](TZipTV&, int n) {
        l.totals = n;
        l.events.push_back("Totals " + std::to_string(n));
    };
    tv.OnError = [&l](TZipCommon&, const std::string&, const std::string&, int code) {
        l.codes.push_back(code);
        l.events.push_back("Error " + std::to_string(code));
    };
    l.result = tv.Activate();
    return l;
}

inline Listing ListFile(const std::string& path, const std::string& pattern = "*.*",
                        bool showDirs = false) {
    TZipTV tv;
    tv.ShowBlankDirs = showDirs;
    tv.SetArchiveFile(path);
    tv.SetFileSpec(pattern);
    return List(tv);
}

inline std::uint16_t Crc16Low(const std::string& bytes) {
    return static_cast<std::uint16_t>(CrcOf(bytes) & 0xFFFF);
}

// Little-endian fields, each a value and its width in bytes.
inline std::string LeFields(std::initializer_list<std::pair<std::uint64_t, int>> fields) {
    std::string out;
    for (const auto& [value, width] : fields) {
        for (int i = 0; i < width; ++i) out += static_cast<char>(i < 8 ? value >> (8 * i) : 0);
    }
    return out;
}

// --- RAR 1.5-4: stored members ------------------------------------------

struct RarEntry {
    std::string name;
    std::string data = {};
    bool directory = false;
    std::string headerExtra = {};  // bytes after the name inside the header (extended times, salt)
    std::uint16_t extraFlags = 0;
    bool largeSizes = false;  // 64-bit size fields
};

// A block from its type byte, flags and fields; CRC and size are added here.
inline std::string RarBlock(const std::string& body) {
    std::string h = body.substr(0, 3);
    Put16(h, static_cast<std::uint32_t>(body.size() + 4));
    h += body.substr(3);
    std::string out;
    Put16(out, Crc16Low(h));
    return out + h;
}

inline std::string RarArchive(const std::vector<RarEntry>& entries) {
    std::string out("Rar!\x1a\x07\x00", 7);
    out += RarBlock(LeFields({{0x73, 1}, {0, 2}, {0, 6}}));
    for (const RarEntry& e : entries) {
        const std::uint64_t flags =
            0x8000 | e.extraFlags | (e.directory ? 0xE0 : 0) | (e.largeSizes ? 0x100 : 0);
        // MS-DOS host, version 2.0, stored; high size words when large.
        const std::string b =
            LeFields({{0x74, 1}, {flags, 2}, {e.data.size(), 4}, {e.data.size(), 4}, {0, 1}}) +
            LeFields({{CrcOf(e.data), 4}, {0x1F8E5A00, 4}, {0x14, 1}, {0x30, 1}}) +
            LeFields({{e.name.size(), 2}, {e.directory ? 0x10u : 0x20u, 4}}) +
            LeFields({{0, e.largeSizes ? 8 : 0}});
        out += RarBlock(b + e.name + e.headerExtra) + e.data;
    }
    return out + RarBlock(LeFields({{0x7B, 1}, {0x4000, 2}}));
}

// --- ZOO ----------------------------------------------------------------

struct ZooEntry {
    std::string name;
    std::uint32_t next;  // position of the next entry (0 ends the chain)
};

// Entries at 34, 34 + 64, ...; each 64 bytes (51 used) so windows fit.
inline std::string ZooChain(const std::vector<ZooEntry>& entries) {
    std::string out = "ZOO 2.10 Archive.\x1a";
    out.resize(20, '\0');
    out += LeFields({{0xFDC4A7DC, 4}, {34, 4}, {static_cast<std::uint32_t>(-34), 4}, {0x102, 2}});
    for (const ZooEntry& e : entries) {
        // Type 1, stored, next, data offset, date, time, CRC, sizes 10.
        std::string d =
            LeFields({{0xFDC4A7DC, 4}, {1, 1}, {0, 1}, {e.next, 4}, {0, 4}, {0x1F8E, 2}}) +
            LeFields({{0x5A00, 2}, {0, 2}, {10, 4}, {10, 4}, {0, 10}}) + e.name.substr(0, 13);
        d.resize(64, '\0');
        out += d;
    }
    return out + std::string(64, '\0');
}

inline std::uint32_t ZooEntryAt(std::size_t index) {
    return static_cast<std::uint32_t>(34 + 64 * index);
}

// --- CAB (headers and file entries only) -------------------------------

inline std::string CabArchive(const std::vector<std::string>& names, std::uint16_t fileCount,
                              const std::string& signature = "MSCF") {
    std::string files;
    for (const std::string& n : names) {
        files +=
            LeFields({{100, 4}, {0, 4}, {0, 2}, {0x1F8E, 2}, {0x5A00, 2}, {0x20, 2}}) + n + '\0';
    }
    // The first file entry at 44, after the header and one MSZIP folder.
    return signature + LeFields({{0, 12}, {44, 4}, {0, 4}, {0x103, 2}, {1, 2}, {fileCount, 2}}) +
           LeFields({{0, 2}, {0x1234, 2}, {0, 2}, {0, 4}, {0, 2}, {1, 2}}) + files +
           std::string(64, '\0');
}

// --- HA -----------------------------------------------------------------

struct HaEntry {
    std::string path, name, data;
    std::string machineData;  // after its length byte
};

inline std::string HaArchive(const std::vector<HaEntry>& entries) {
    std::string out = "HA" + LeFields({{entries.size(), 2}});
    for (const HaEntry& e : entries) {
        // Version 2 with method Cpy, sizes, CRC, time.
        out += LeFields({{0x20, 1}, {e.data.size(), 4}, {e.data.size(), 4}}) +
               LeFields({{CrcOf(e.data), 4}, {819295200, 4}});
        out += e.path + '\0' + e.name + '\0';
        out += static_cast<char>(e.machineData.size());
        out += e.machineData + e.data;
    }
    return out;
}

// --- ZIP central directory only (all the lister reads) -----------------

struct CentralEntry {
    std::string name;
    std::uint32_t externalAttrs = 0x20;
    std::string extra = {};
    std::string comment = {};
    std::uint32_t size = 10;
};

inline std::string ZipDirectoryOnly(const std::vector<CentralEntry>& entries,
                                    const std::string& archiveComment = "") {
    std::string dir;
    for (const CentralEntry& e : entries) {
        dir += LeFields({{0x02014B50, 4}, {20, 2}, {20, 2}, {0, 2}, {8, 2}, {0x1F8E5A00, 4}}) +
               LeFields({{0x12345678, 4}, {e.size / 2, 4}, {e.size, 4}, {e.name.size(), 2}}) +
               LeFields({{e.extra.size(), 2}, {e.comment.size(), 2}, {0, 4}}) +
               LeFields({{e.externalAttrs, 4}, {0, 4}}) + e.name + e.extra + e.comment;
    }
    // A local header signature first (30 bytes), so that detection takes it
    // for a ZIP.
    return LeFields({{0x04034B50, 4}, {0, 26}}) + dir +
           LeFields({{0x06054B50, 4}, {0, 4}, {entries.size(), 2}, {entries.size(), 2}}) +
           LeFields({{dir.size(), 4}, {30, 4}, {archiveComment.size(), 2}}) + archiveComment;
}

}  // namespace lumora::archive::test
