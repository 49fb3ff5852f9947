// Minimal executables for the tests: an MS-DOS header, optionally a PE
// header with a string table whose identifiers 1, 2, ... hold given texts.
#pragma once

#include <string>
#include <vector>

#include "support/builders/le_fields.h"

namespace lumora::archive::test {

inline void Set16(std::string& f, std::size_t at, std::uint32_t v) {
    std::string b;
    Put16(b, v);
    f.replace(at, 2, b);
}
inline void Set32(std::string& f, std::size_t at, std::uint32_t v) {
    std::string b;
    Put32(b, v);
    f.replace(at, 4, b);
}

// A minimal PE file (0x400 bytes) whose string table holds `strings` as
// identifiers 1, 2, ... The DOS header's page fields are left 0 (no image
// end inside the file).
inline std::string MakePe(const std::vector<std::string>& strings) {
    std::string f(0x400, '\0');
    f[0] = 'M', f[1] = 'Z';
    Set32(f, 0x3C, 0x40);
    f.replace(0x40, 4, std::string("PE\0\0", 4));
    Set16(f, 0x44, 0x14C);    // machine
    Set16(f, 0x46, 1);        // one section
    Set16(f, 0x54, 0xE0);     // optional header size
    Set16(f, 0x58, 0x10B);    // PE32
    Set32(f, 0x58 + 92, 16);  // data directories
    Set32(f, 0x58 + 96 + 16, 0x1000);
    Set32(f, 0x58 + 96 + 20, 0x200);
    const std::size_t sec = 0x58 + 0xE0;
    f.replace(sec, 5, ".rsrc");
    Set32(f, sec + 8, 0x200);
    Set32(f, sec + 12, 0x1000);
    Set32(f, sec + 16, 0x200);
    Set32(f, sec + 20, 0x200);
    // Root -> type 6 -> block 1 -> language 0x407 -> data entry -> block.
    Set16(f, 0x200 + 14, 1);
    Set32(f, 0x210, 6);
    Set32(f, 0x214, 0x80000018);
    Set16(f, 0x218 + 14, 1);
    Set32(f, 0x228, 1);
    Set32(f, 0x22C, 0x80000030);
    Set16(f, 0x230 + 14, 1);
    Set32(f, 0x240, 0x407);
    Set32(f, 0x244, 0x48);
    std::string block;
    for (int id = 0; id < 16; ++id) {
        const std::string s =
            id >= 1 && id <= static_cast<int>(strings.size()) ? strings[id - 1] : "";
        Put16(block, static_cast<std::uint32_t>(s.size()));
        for (char c : s) Put16(block, static_cast<unsigned char>(c));
    }
    Set32(f, 0x248, 0x1058);
    Set32(f, 0x24C, static_cast<std::uint32_t>(block.size()));
    f.replace(0x258, block.size(), block);
    return f;
}

// Places `bytes` at `offset`, growing the file as needed.
inline void PutAt(std::string& f, std::size_t offset, const std::string& bytes) {
    if (f.size() < offset + bytes.size()) f.resize(offset + bytes.size(), '\0');
    f.replace(offset, bytes.size(), bytes);
}

}  // namespace lumora::archive::test
