// Builds small TAR archive images in memory for the tests.
#pragma once

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>
#include "support/builders/le_fields.h"

namespace lumora::archive::test {

// ---- TAR: 512-byte headers with their checksum, data padded to blocks ----

struct TarEntry {
    std::string name;  // up to 100 bytes, written as is (zero bytes included)
    std::string data;
    char type = '0';
    std::string sizeField;      // the 12 bytes at 124 as given; empty: octal of data.size()
    std::string checksumField;  // the 8 bytes at 148 as given; empty: the right checksum
};

inline TarEntry TarFile(std::string name, std::string data, char type = '0') {
    return {std::move(name), std::move(data), type, "", ""};
}

inline std::string OctalField(unsigned long long v, int digits) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*llo", digits, v);
    return buf;
}

inline std::string TarHeaderBlock(const TarEntry& e) {
    std::string h(512, '\0');
    h.replace(0, std::min<std::size_t>(e.name.size(), 100), e.name.substr(0, 100));
    h.replace(100, 24,
              OctalField(0644, 7) + '\0' + OctalField(0, 7) + '\0' + OctalField(0, 7) + '\0');
    const std::string size =
        e.sizeField.empty() ? OctalField(e.data.size(), 11) + '\0' : e.sizeField;
    h.replace(124, 12, size.substr(0, 12));
    h.replace(136, 12, OctalField(818899200, 11) + '\0');  // 1995-12-14
    h[156] = e.type;
    h.replace(257, 8,
              std::string("ustar\0"
                          "00",
                          8));
    h.replace(148, 8, std::string(8, ' '));
    unsigned sum = 0;
    for (unsigned char c : h) sum += c;
    h.replace(
        148, 8,
        e.checksumField.empty() ? OctalField(sum, 6) + '\0' + ' ' : e.checksumField.substr(0, 8));
    return h;
}

inline std::string TarArchive(const std::vector<TarEntry>& entries) {
    std::string out;
    for (const TarEntry& e : entries) {
        out += TarHeaderBlock(e) + e.data;
        out.append((512 - e.data.size() % 512) % 512, '\0');
    }
    return out + std::string(1024, '\0');
}

}  // namespace lumora::archive::test
