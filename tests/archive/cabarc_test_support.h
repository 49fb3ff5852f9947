// Helpers of the CAB and ARC reader tests: the corpus manifest rows of one
// format, running an outside archiver to make fixtures, and little-endian
// fields for hand-built archives.
#pragma once

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "archive/decoders/decoder_io.h"
#include "archive_test_support.h"

namespace lumora::archive::cabarc {

struct CorpusArchive {
    std::string path;        // relative to the corpus folder
    std::string descMember;  // as the manifest gives it (may hold a folder)
};

// The manifest rows whose format column is one of `formats`.
inline std::vector<CorpusArchive> CorpusArchives(const std::vector<std::string>& formats) {
    std::vector<CorpusArchive> out;
    std::ifstream in(test::CorpusDir() / "MANIFEST.tsv");
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        std::istringstream s(line);
        for (std::string part; std::getline(s, part, '\t');) f.push_back(part);
        if (f.size() < 6) continue;
        for (const auto& fmt : formats) {
            if (f[1] == fmt) out.push_back({f[0], f[5]});
        }
    }
    return out;
}

// Runs a shell command; true when it exits with 0.
inline bool Run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

inline bool HaveTool(const std::string& name) {
    return Run("command -v " + name);
}

// Bytes of a string handed out at most `chunk` at a time.
class StringSource : public ByteSource {
public:
    explicit StringSource(const std::string& data, std::size_t chunk = 7)
        : data_(data), chunk_(chunk) {}
    std::size_t Read(std::uint8_t* dst, std::size_t n) override {
        n = std::min({n, chunk_, data_.size() - pos_});
        std::copy_n(data_.begin() + static_cast<std::ptrdiff_t>(pos_), n, dst);
        pos_ += n;
        return n;
    }

private:
    const std::string& data_;
    std::size_t chunk_;
    std::size_t pos_ = 0;
};

class StringSink : public OutputSink {
public:
    void Write(const std::uint8_t* data, std::size_t n) override {
        bytes.append(reinterpret_cast<const char*>(data), n);
    }
    std::string bytes;
};

inline void Put16(std::string& s, std::uint32_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}

inline void Put32(std::string& s, std::uint32_t v) {
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}

}  // namespace lumora::archive::cabarc
