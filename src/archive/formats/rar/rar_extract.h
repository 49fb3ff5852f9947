// Extraction of one RAR member through the RAR library's four calls.
#pragma once

#include <cstdint>
#include <string>

#include "archive/formats/rar/unrar_api.h"

namespace lumora::archive::unrar {

struct RarExtractResult {
    bool found = false;  // a header named exactly `member` was handed over
    int result = 0;      // what the extraction call returned (0: success)
};

// Opens `archivePath` for extraction and walks its headers; the first whose
// FileName (up to its zero byte) equals `member` byte for byte, folder part
// included, is extracted into `destFolder` under its stored name; the others
// are skipped. Any non-zero header result ends the search. `limit` bounds the
// bytes written where the library allows it (0: no limit).
RarExtractResult RarExtractMember(const UnrarFunctions& rar, const std::string& archivePath,
                                  const std::string& member, const std::string& destFolder,
                                  std::uint64_t limit = 0);

// The archive library's error code for a non-zero result of the extraction
// call.
int RarResultCode(int result);

}  // namespace lumora::archive::unrar
