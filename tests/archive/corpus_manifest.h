// The corpus manifest (MANIFEST.tsv and PENDING.tsv) as rows, for tests that walk the
// corpus by format or method.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "archive/archive_test_support.h"

namespace lumora::archive::test {

struct CorpusRow {
    std::string path, format, methods, members, descMember, descSha, notes;

    bool Damaged() const { return notes.rfind("DAMAGED", 0) == 0; }
};

inline std::vector<std::string> SplitText(const std::string& s, char sep) {
    std::vector<std::string> out;
    std::istringstream in(s);
    for (std::string part; std::getline(in, part, sep);) out.push_back(part);
    return out;
}

inline std::vector<CorpusRow> ReadCorpusManifest() {
    std::vector<CorpusRow> rows;
    for (const std::string& line : lumora::test::CorpusManifestLines()) {
        const std::vector<std::string> f = SplitText(line, '\t');
        auto at = [&](std::size_t i) { return i < f.size() ? f[i] : std::string(); };
        rows.push_back({at(0), at(1), at(3), at(4), at(5), at(6), at(8)});
    }
    return rows;
}

// Rows of the given formats ("gzip", "tar", ...).
inline std::vector<CorpusRow> CorpusRowsOf(std::initializer_list<const char*> formats) {
    std::vector<CorpusRow> out;
    for (const CorpusRow& r : ReadCorpusManifest()) {
        for (const char* f : formats) {
            if (r.format == f) out.push_back(r);
        }
    }
    return out;
}

}  // namespace lumora::archive::test
