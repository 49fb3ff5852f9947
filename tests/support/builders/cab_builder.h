// Builds cabinet files in memory for the tests: stored and MSZIP folders
// (MSZIP blocks made by zlib, each block a Deflate stream with the folder's
// previous 32 KB as its dictionary), reserve areas, the names of the
// neighbouring cabinets, folders split between two cabinets, and headers
// that count more or fewer files than the list holds.
#pragma once

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "archive/cabarc_test_support.h"
#include "support/builders/le_fields.h"

namespace lumora::archive::cabarc {

struct CabBlock {
    std::string data;  // as stored (MSZIP: "CK" and the Deflate stream)
    std::uint16_t unpacked = 0;
};

struct CabFolder {
    std::uint16_t type = 0;
    std::vector<CabBlock> blocks;
};

struct CabFile {
    std::string name;
    std::uint32_t size = 0;
    std::uint32_t offset = 0;
    std::uint16_t folder = 0;
    std::uint16_t attrs = 0x20;
};

struct CabSpec {
    std::uint16_t setId = 7;
    std::uint16_t index = 0;
    std::optional<std::pair<std::string, std::string>> prev;  // cabinet and disk name
    std::optional<std::pair<std::string, std::string>> next;
    bool reserve = false;
    std::uint16_t headerReserve = 0;
    std::uint8_t folderReserve = 0;
    std::uint8_t dataReserve = 0;
    std::vector<CabFolder> folders;
    std::vector<CabFile> files;
    std::optional<std::uint16_t> fileCount;  // the header's count; files.size() without
};

inline constexpr std::uint16_t kCabToNextIndex = 0xFFFE;
inline constexpr std::uint16_t kCabFromPrevIndex = 0xFFFD;
inline constexpr std::uint16_t kDate = 0x1F8E;  // 1995-12-14
inline constexpr std::uint16_t kTime = 0x5A00;  // 11:16:00

inline std::string BuildCab(const CabSpec& c) {
    std::string head;
    std::uint16_t flags = (c.prev ? 1 : 0) | (c.next ? 2 : 0) | (c.reserve ? 4 : 0);
    std::string names;
    if (c.reserve) {
        Put16(names, c.headerReserve);
        names += static_cast<char>(c.folderReserve);
        names += static_cast<char>(c.dataReserve);
        names += std::string(c.headerReserve, 'R');
    }
    for (const auto& n : {c.prev, c.next}) {
        if (n) names += n->first + '\0' + n->second + '\0';
    }
    const std::size_t folderSize = 8 + c.folderReserve;
    const std::size_t filesOffset = 36 + names.size() + c.folders.size() * folderSize;
    std::string files;
    for (const CabFile& f : c.files) {
        Put32(files, f.size);
        Put32(files, f.offset);
        Put16(files, f.folder);
        Put16(files, kDate);
        Put16(files, kTime);
        Put16(files, f.attrs);
        files += f.name + '\0';
    }
    std::string folders;
    std::string data;
    std::size_t dataAt = filesOffset + files.size();
    for (const CabFolder& f : c.folders) {
        Put32(folders, static_cast<std::uint32_t>(dataAt + data.size()));
        Put16(folders, static_cast<std::uint32_t>(f.blocks.size()));
        Put16(folders, f.type);
        folders += std::string(c.folderReserve, 'F');
        for (const CabBlock& b : f.blocks) {
            Put32(data, 0);  // checksum, not examined
            Put16(data, static_cast<std::uint32_t>(b.data.size()));
            Put16(data, b.unpacked);
            data += std::string(c.dataReserve, 'D');
            data += b.data;
        }
    }
    const std::size_t total = dataAt + data.size();
    head = "MSCF";
    Put32(head, 0);
    Put32(head, static_cast<std::uint32_t>(total));
    Put32(head, 0);
    Put32(head, static_cast<std::uint32_t>(filesOffset));
    Put32(head, 0);
    head += '\x03';
    head += '\x01';
    Put16(head, static_cast<std::uint32_t>(c.folders.size()));
    Put16(head, c.fileCount.value_or(static_cast<std::uint16_t>(c.files.size())));
    Put16(head, flags);
    Put16(head, c.setId);
    Put16(head, c.index);
    return head + names + folders + files + data;
}

inline CabFolder StoredFolder(const std::string& data, std::size_t blockSize = 32768) {
    CabFolder f{0, {}};
    for (std::size_t p = 0; p < data.size(); p += blockSize) {
        const std::string part = data.substr(p, blockSize);
        f.blocks.push_back({part, static_cast<std::uint16_t>(part.size())});
    }
    return f;
}

// One Deflate stream of `part` with `dict` as its preset dictionary.
inline std::string RawDeflate(const std::string& part, const std::string& dict) {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
    if (!dict.empty()) {
        deflateSetDictionary(&z, reinterpret_cast<const Bytef*>(dict.data()),
                             static_cast<uInt>(dict.size()));
    }
    std::string out(deflateBound(&z, part.size()) + 64, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(part.data()));
    z.avail_in = static_cast<uInt>(part.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

inline CabFolder MsZipFolder(const std::string& data) {
    CabFolder f{1, {}};
    for (std::size_t p = 0; p < data.size(); p += 32768) {
        const std::string part = data.substr(p, 32768);
        const std::size_t from = p > 32768 ? p - 32768 : 0;
        const std::string block = "CK" + RawDeflate(part, data.substr(from, p - from));
        f.blocks.push_back({block, static_cast<std::uint16_t>(part.size())});
    }
    return f;
}

// Splits a folder between two cabinets after `blocks` whole blocks and
// `bytes` bytes of the next block (that block's first part has no
// uncompressed size).
inline std::pair<CabFolder, CabFolder> SplitFolder(const CabFolder& f, std::size_t blocks,
                                                   std::size_t bytes) {
    CabFolder a{f.type, {}};
    CabFolder b{f.type, {}};
    a.blocks.assign(f.blocks.begin(), f.blocks.begin() + static_cast<std::ptrdiff_t>(blocks));
    const CabBlock& cut = f.blocks[blocks];
    a.blocks.push_back({cut.data.substr(0, bytes), 0});
    b.blocks.push_back({cut.data.substr(bytes), cut.unpacked});
    b.blocks.insert(b.blocks.end(), f.blocks.begin() + static_cast<std::ptrdiff_t>(blocks) + 1,
                    f.blocks.end());
    return {a, b};
}

// Files of 100 bytes in one MSZIP folder without data blocks, the header
// counting `fileCount` of them: headers only, for the lister. The first file
// entry lies at 44, after the header and the folder entry.
inline CabSpec HeadersOnly(const std::vector<std::string>& names, std::uint16_t fileCount) {
    CabSpec c;
    c.folders = {CabFolder{1, {}}};
    for (const std::string& n : names) c.files.push_back({n, 100, 0, 0});
    c.fileCount = fileCount;
    return c;
}

}  // namespace lumora::archive::cabarc
