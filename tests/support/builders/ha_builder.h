// Builds small HA archive images in memory for the tests.
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

}  // namespace lumora::archive::test
