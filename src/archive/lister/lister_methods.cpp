#include "archive/lister/lister_methods.h"

#include <string_view>

namespace lumora::archive {

namespace {

struct NameRow {
    std::uint16_t first, last;
    std::string_view name;
};

constexpr NameRow kArc[] = {{1, 2, "Stored"},   {3, 3, "Packed"},   {4, 4, "Squeezed"},
                            {5, 7, "crunched"}, {8, 8, "Crunched"}, {9, 9, "Squashed"},
                            {10, 10, "Pack10"}, {11, 11, "Pack11"}, {12, 12, "Pack12"}};
constexpr NameRow kPak[] = {{1, 2, "Stored"},   {3, 3, "RLE"},     {4, 4, "Squeezed"},
                            {5, 7, "FIXEDLEN"}, {8, 9, "VARIBLE"}, {10, 10, "Crushed"},
                            {11, 11, "Distill"}};
constexpr NameRow kArj[] = {
    {0, 0, "Stored"}, {1, 1, "Most"}, {2, 2, "2nd Most"}, {3, 3, "2nd Fast"}, {4, 4, "Fastest"}};
constexpr NameRow kBh[] = {{0, 0, "Stored"}, {1, 1, "Fused"}, {2, 2, "Deflate"}};
constexpr NameRow kCab[] = {
    {0, 0, "Stored"}, {1, 1, "MSZIP"}, {3487, 3487, "LZX"}, {5490, 5490, "LZX"}};
constexpr NameRow kGzip[] = {
    {0, 0, "Stored"}, {1, 1, "Compress"}, {2, 2, "Packed"}, {3, 3, "Lzh"}, {8, 8, "Deflate"}};
constexpr NameRow kHa[] = {
    {0, 0, "Cpy"}, {1, 1, "Asc"}, {2, 2, "HSC"}, {14, 14, "Dir"}, {15, 15, "Special"}};
constexpr NameRow kLha[] = {{'0', '0', "Stored"},   {'1', '1', "Frozen-1"}, {'2', '2', "Frozen-2"},
                            {'3', '3', "Frozen-3"}, {'4', '4', "Frozen-4"}, {'5', '5', "Frozen-5"}};
constexpr NameRow kRar[] = {{48, 48, "Stored"}, {49, 49, "Fastest"}, {50, 50, "Fast"},
                            {51, 51, "Normal"}, {52, 52, "Good"},    {53, 53, "Best"}};
constexpr NameRow kTar[] = {{0, 0, "Stored"}};
constexpr NameRow kZip[] = {{0, 0, "Stored"},   {1, 1, "Shrunk"},   {2, 2, "Reduce-1"},
                            {3, 3, "Reduce-2"}, {4, 4, "Reduce-3"}, {5, 5, "Reduce-4"},
                            {6, 6, "Imploded"}, {7, 7, "Tokened"},  {9, 9, "Deflate64"}};
constexpr NameRow kZoo[] = {{0, 0, "Stored"}, {1, 1, "Fastest"}, {2, 2, "Greatest"}};

template <std::size_t N>
std::string Find(const NameRow (&rows)[N], std::uint16_t code) {
    for (const NameRow& r : rows) {
        if (code >= r.first && code <= r.last) return std::string(r.name);
    }
    return "Unknown";
}

std::string ZipName(std::uint16_t code, std::uint16_t flags) {
    if (code != 8) return Find(kZip, code);
    switch (flags & 6) {
        case 2:
            return "DeflateX";
        case 4:
            return "DeflateF";
        case 6:
            return "DeflateS";
        default:
            return "DeflateN";
    }
}

}  // namespace

std::string MethodName(MethodFamily family, std::uint16_t code, std::uint16_t zipFlags) {
    switch (family) {
        case MethodFamily::None:
            return "Unknown";
        case MethodFamily::ARC:
            return Find(kArc, code);
        case MethodFamily::PAK:
            return Find(kPak, code);
        case MethodFamily::ARJ:
            return Find(kArj, code);
        case MethodFamily::BH:
            return Find(kBh, code);
        case MethodFamily::CAB:
            return Find(kCab, code);
        case MethodFamily::GZIP:
            return Find(kGzip, code);
        case MethodFamily::HA:
            return Find(kHa, code);
        case MethodFamily::LHA:
            return Find(kLha, code);
        case MethodFamily::RAR:
            return Find(kRar, code);
        case MethodFamily::TAR:
            return Find(kTar, code);
        case MethodFamily::ZIP:
            return ZipName(code, zipFlags);
        case MethodFamily::ZOO:
            return Find(kZoo, code);
    }
    return "Unknown";
}

}  // namespace lumora::archive
