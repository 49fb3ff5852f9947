// Helpers of the lister tests: a recorder of the lister's events, and the
// image builders of every format the lister walks.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "archive/core/crc.h"
#include "archive/core/error_codes.h"
#include "archive/lister/zip_tv.h"
#include "support/builders/arc_builder.h"
#include "support/builders/arj_builder.h"
#include "support/builders/cab_builder.h"
#include "support/builders/ha_builder.h"
#include "support/builders/lha_builder.h"
#include "support/builders/rar_builder.h"
#include "support/builders/tar_builder.h"
#include "support/builders/zip_builder.h"
#include "support/builders/zoo_builder.h"

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

}  // namespace lumora::archive::test
