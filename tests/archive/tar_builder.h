// Builds small TAR archives in memory for the tests: header blocks with a
// correct checksum, data padded to whole blocks, raw size fields and names
// for damaged archives.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace lumora::archive::test {

struct TarEntry {
    std::string name;  // up to 100 bytes, written as is (zero bytes included)
    std::string data;
    char type = '0';
    std::string sizeField;  // the 12 bytes at 124 as given; empty: octal of data.size()
    unsigned long long mtime = 818899200;  // 1995-12-14 00:00:00 UTC
};

inline TarEntry TarFile(std::string name, std::string data, char type = '0') {
    TarEntry e;
    e.name = std::move(name);
    e.data = std::move(data);
    e.type = type;
    return e;
}

inline std::string Octal(unsigned long long v, int digits) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*llo", digits, v);
    return buf;
}

inline std::string TarHeaderBlock(const TarEntry& e) {
    std::string h(512, '\0');
    h.replace(0, std::min<std::size_t>(e.name.size(), 100), e.name.substr(0, 100));
    h.replace(100, 8, Octal(0644, 7) + '\0');
    h.replace(108, 8, Octal(0, 7) + '\0');
    h.replace(116, 8, Octal(0, 7) + '\0');
    const std::string size = e.sizeField.empty() ? Octal(e.data.size(), 11) + '\0' : e.sizeField;
    h.replace(124, 12, size.substr(0, 12));
    h.replace(136, 12, Octal(e.mtime, 11) + '\0');
    h[156] = e.type;
    h.replace(257, 8,
              std::string("ustar\0"
                          "00",
                          8));
    h.replace(148, 8, std::string(8, ' '));
    unsigned sum = 0;
    for (unsigned char c : h) sum += c;
    h.replace(148, 8, Octal(sum, 6) + '\0' + ' ');
    return h;
}

inline std::string BuildTar(const std::vector<TarEntry>& entries, bool endBlocks = true) {
    std::string out;
    for (const TarEntry& e : entries) {
        out += TarHeaderBlock(e);
        out += e.data;
        out.append((512 - e.data.size() % 512) % 512, '\0');
    }
    if (endBlocks) out.append(1024, '\0');
    return out;
}

}  // namespace lumora::archive::test
