// Helpers of the lister tests: a recorder of the lister's events and small
// archive images of the formats the lister walks (only what the lister reads
// is filled in; RAR and TAR images are complete enough for real readers).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/crc.h"
#include "archive/error_codes.h"
#include "archive/zip_builder.h"
#include "archive/zip_tv.h"

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

inline Listing ListFile(const std::string& path, const std::string& spec = "*.*",
                        bool showDirs = false) {
    TZipTV tv;
    tv.ShowBlankDirs = showDirs;
    tv.SetArchiveFile(path);
    tv.SetFileSpec(spec);
    return List(tv);
}

inline std::uint16_t Crc16Low(const std::string& bytes) {
    Crc32 c;
    c.Update(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    return static_cast<std::uint16_t>(c.Value() & 0xFFFF);
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
    std::string main;
    main += '\x73';
    Put16(main, 0);
    main += std::string(6, '\0');
    out += RarBlock(main);
    for (const RarEntry& e : entries) {
        std::string b;
        b += '\x74';
        std::uint16_t flags = 0x8000 | e.extraFlags | (e.directory ? 0xE0 : 0);
        if (e.largeSizes) flags |= 0x100;
        Put16(b, flags);
        Put32(b, static_cast<std::uint32_t>(e.data.size()));
        Put32(b, static_cast<std::uint32_t>(e.data.size()));
        b += '\0';  // MS-DOS host
        Put32(b, CrcOf(e.data));
        Put32(b, 0x1F8E5A00);
        b += '\x14';  // version 2.0
        b += '\x30';  // stored
        Put16(b, static_cast<std::uint32_t>(e.name.size()));
        Put32(b, e.directory ? 0x10 : 0x20);
        if (e.largeSizes) {
            Put32(b, 0);
            Put32(b, 0);
        }
        b += e.name + e.headerExtra;
        out += RarBlock(b) + e.data;
    }
    std::string end;
    end += '\x7B';
    Put16(end, 0x4000);
    return out + RarBlock(end);
}

// --- TAR ----------------------------------------------------------------

inline std::string Octal(std::uint64_t v, std::size_t width) {
    std::string s(width - 1, '0');
    for (std::size_t i = width - 1; i-- > 0 && v;) {
        s[i] = static_cast<char>('0' + (v & 7));
        v >>= 3;
    }
    return s + '\0';
}

inline std::string TarHeader(const std::string& name, std::uint64_t size, char type = '0',
                             const std::string& sizeField = "") {
    std::string h(512, '\0');
    h.replace(0, std::min<std::size_t>(name.size(), 100), name.substr(0, 100));
    h.replace(100, 8, Octal(0644, 8));
    h.replace(108, 8, Octal(0, 8));
    h.replace(116, 8, Octal(0, 8));
    h.replace(124, 12, sizeField.empty() ? Octal(size, 12) : sizeField);
    h.replace(136, 12, Octal(819295200, 12));  // 1995-12-18
    h[156] = type;
    h.replace(257, 8,
              std::string("ustar\0"
                          "00",
                          8));
    h.replace(148, 8, std::string(8, ' '));
    unsigned sum = 0;
    for (unsigned char c : h) sum += c;
    h.replace(148, 8, Octal(sum, 7) + ' ');
    return h;
}

inline std::string TarData(const std::string& data) {
    return data + std::string((512 - data.size() % 512) % 512, '\0');
}

inline std::string TarMember(const std::string& name, const std::string& data, char type = '0') {
    return TarHeader(name, data.size(), type) + TarData(data);
}

inline std::string TarEnd() {
    return std::string(1024, '\0');
}

// --- ARC ----------------------------------------------------------------

inline std::string ArcMember(const std::string& name, const std::string& data,
                             std::uint8_t method = 2, std::uint32_t packedOverride = 0) {
    std::string h("\x1A", 1);
    h += static_cast<char>(method);
    std::string field = name.substr(0, 12);
    field.resize(13, '\0');
    h += field;
    Put32(h, packedOverride ? packedOverride : static_cast<std::uint32_t>(data.size()));
    Put16(h, 0x1F8E);  // date
    Put16(h, 0x5A00);  // time
    Put16(h, 0);       // CRC-16
    if (method != 1) Put32(h, static_cast<std::uint32_t>(data.size()));
    return h + data;
}

// --- LHA level 0 --------------------------------------------------------

inline std::string LhaMember(const std::string& name, const std::string& data,
                             std::uint32_t packedOverride = 0) {
    std::string h;
    h += static_cast<char>(22 + name.size());
    h += '\0';
    h += "-lh0-";
    Put32(h, packedOverride ? packedOverride : static_cast<std::uint32_t>(data.size()));
    Put32(h, static_cast<std::uint32_t>(data.size()));
    Put32(h, 0x1F8E5A00);
    h += '\x20';
    h += '\0';
    h += static_cast<char>(name.size());
    h += name;
    Put16(h, 0);
    return h + data;
}

// --- ZOO ----------------------------------------------------------------

struct ZooEntry {
    std::string name;
    std::uint32_t next;  // position of the next entry (0 ends the chain)
};

// Entries at 34, 34 + 64, ...; each 64 bytes (51 used) so windows fit.
inline std::string ZooArchive(const std::vector<ZooEntry>& entries) {
    std::string out = "ZOO 2.10 Archive.\x1a";
    out.resize(20, '\0');
    Put32(out, 0xFDC4A7DC);
    Put32(out, 34);
    Put32(out, static_cast<std::uint32_t>(-34));
    out += "\x02\x01";
    for (const ZooEntry& e : entries) {
        std::string d;
        Put32(d, 0xFDC4A7DC);
        d += '\x01';
        d += '\0';
        Put32(d, e.next);
        Put32(d, 0);
        Put16(d, 0x1F8E);
        Put16(d, 0x5A00);
        Put16(d, 0);
        Put32(d, 10);
        Put32(d, 10);
        d += std::string(4, '\0');
        Put32(d, 0);
        Put16(d, 0);
        std::string field = e.name;
        field.resize(13, '\0');
        d += field;
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
        Put32(files, 100);
        Put32(files, 0);
        Put16(files, 0);
        Put16(files, 0x1F8E);
        Put16(files, 0x5A00);
        Put16(files, 0x20);
        files += n + '\0';
    }
    std::string h = signature;
    Put32(h, 0);
    Put32(h, 0);
    Put32(h, 0);
    Put32(h, 44);  // first file entry: after the header and one folder entry
    Put32(h, 0);
    h += "\x03\x01";
    Put16(h, 1);
    Put16(h, fileCount);
    Put16(h, 0);
    Put16(h, 0x1234);
    Put16(h, 0);
    Put32(h, 0);  // folder: first data block
    Put16(h, 0);
    Put16(h, 1);  // MSZIP
    return h + files + std::string(64, '\0');
}

// --- HA -----------------------------------------------------------------

struct HaEntry {
    std::string path, name, data;
    std::string machineData;  // after its length byte
};

inline std::string HaArchive(const std::vector<HaEntry>& entries) {
    std::string out = "HA";
    Put16(out, static_cast<std::uint32_t>(entries.size()));
    for (const HaEntry& e : entries) {
        out += '\x20';  // version 2, method Cpy
        Put32(out, static_cast<std::uint32_t>(e.data.size()));
        Put32(out, static_cast<std::uint32_t>(e.data.size()));
        Put32(out, CrcOf(e.data));
        Put32(out, 819295200);
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
        Put32(dir, 0x02014B50);
        Put16(dir, 20);
        Put16(dir, 20);
        Put16(dir, 0);
        Put16(dir, 8);
        Put32(dir, 0x1F8E5A00);
        Put32(dir, 0x12345678);
        Put32(dir, e.size / 2);
        Put32(dir, e.size);
        Put16(dir, static_cast<std::uint32_t>(e.name.size()));
        Put16(dir, static_cast<std::uint32_t>(e.extra.size()));
        Put16(dir, static_cast<std::uint32_t>(e.comment.size()));
        Put16(dir, 0);
        Put16(dir, 0);
        Put32(dir, e.externalAttrs);
        Put32(dir, 0);
        dir += e.name + e.extra + e.comment;
    }
    // A local header signature first, so that detection takes it for a ZIP.
    std::string out;
    Put32(out, 0x04034B50);
    out += std::string(26, '\0');
    const auto dirOffset = static_cast<std::uint32_t>(out.size());
    out += dir;
    Put32(out, 0x06054B50);
    Put32(out, 0);
    Put16(out, static_cast<std::uint32_t>(entries.size()));
    Put16(out, static_cast<std::uint32_t>(entries.size()));
    Put32(out, static_cast<std::uint32_t>(dir.size()));
    Put32(out, dirOffset);
    Put16(out, static_cast<std::uint32_t>(archiveComment.size()));
    return out + archiveComment;
}

}  // namespace lumora::archive::test
