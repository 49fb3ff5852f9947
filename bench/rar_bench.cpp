// Unpacking speed of whole RAR archives of the corpus, every member in
// order: our reader and unpackers, and, where it is installed, libarchive's
// RAR reading of the same files in the same run as the reference. An
// archive the reference cannot unpack is reported as an error for it.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

#include "archive/formats/rar/rar_reader.h"
#include "support/corpus.h"

#if LUMORA_BENCH_LIBARCHIVE
#include <archive.h>
#include <archive_entry.h>
#endif

namespace {

using lumora::archive::OutputSink;
using lumora::archive::RarMember;
using lumora::archive::RarReader;

// RAR 2.0, RAR 2.9 LZ and PPMd, with filters, solid, and RAR 5.
constexpr std::array kArchives = {
    "RAR250.RAR",           "LA_NORM.RAR",
    "LA_LZSS.RAR",          "testfile.rar3.cbr",
    "testfile.rar3.av.cbr", "testfile.rar3.solid.rar",
    "testfile.rar5.cbr",    "testfile.rar5.solid.cbr",
    "LA_R5C.RAR",           "LA_R5M.RAR",
};

// The larger PPMd case: the first member of the multi-volume set is 230 MiB
// of text in PPMd blocks (with LZ blocks between); its first kHeadBytes.
constexpr const char* kPpmdHead = "test_read_format_rar_multivolume.part0001.rar";
constexpr std::uint64_t kHeadBytes = std::uint64_t{16} << 20;

class CountingSink final : public OutputSink {
public:
    void Write(const std::uint8_t*, std::size_t n) override { total += n; }
    std::uint64_t total = 0;
};

// The unpacked bytes of every file member, or -1 when one fails.
std::int64_t UnpackOurs(const std::string& path) {
    RarReader reader;
    if (reader.Open(path) != 0) return -1;
    CountingSink sink;
    for (RarMember m; reader.Next(m) == 0;) {
        if (m.directory || m.special) continue;
        if (reader.Decode(&sink, 0) != 0) return -1;
    }
    return static_cast<std::int64_t>(sink.total);
}

std::int64_t UnpackOursHead(const std::string& path) {
    RarReader reader;
    CountingSink sink;
    RarMember m;
    if (reader.Open(path) != 0 || reader.Next(m) != 0) return -1;
    if (reader.Decode(&sink, kHeadBytes) != 0 || sink.total != kHeadBytes) return -1;
    return static_cast<std::int64_t>(sink.total);
}

#if LUMORA_BENCH_LIBARCHIVE
std::int64_t UnpackReferenceHead(const std::string& path) {
    // Every volume of the set, named as the first one is.
    std::array<std::string, 4> names;
    std::array<const char*, 5> list{};
    const std::string stem = path.substr(0, path.size() - 5);
    for (std::size_t i = 0; i < names.size(); ++i) {
        names[i] = stem + std::to_string(i + 1) + ".rar";
        list[i] = names[i].c_str();
    }
    struct archive* a = archive_read_new();
    archive_read_support_format_rar(a);
    std::int64_t total = -1;
    struct archive_entry* entry = nullptr;
    if (archive_read_open_filenames(a, list.data(), 1 << 16) == ARCHIVE_OK &&
        archive_read_next_header(a, &entry) == ARCHIVE_OK) {
        std::array<char, 1 << 16> buffer;
        total = 0;
        while (static_cast<std::uint64_t>(total) < kHeadBytes) {
            const auto want = std::min<std::uint64_t>(buffer.size(), kHeadBytes - total);
            const la_ssize_t n = archive_read_data(a, buffer.data(), want);
            if (n <= 0) break;
            total += n;
        }
    }
    archive_read_free(a);
    return static_cast<std::uint64_t>(total) == kHeadBytes ? total : -1;
}

std::int64_t UnpackReference(const std::string& path) {
    struct archive* a = archive_read_new();
    archive_read_support_format_rar(a);
    archive_read_support_format_rar5(a);
    std::int64_t total = 0;
    if (archive_read_open_filename(a, path.c_str(), 1 << 16) != ARCHIVE_OK) total = -1;
    std::array<char, 1 << 16> buffer;
    struct archive_entry* entry = nullptr;
    while (total >= 0 && archive_read_next_header(a, &entry) == ARCHIVE_OK) {
        la_ssize_t n = 0;
        while ((n = archive_read_data(a, buffer.data(), buffer.size())) > 0) total += n;
        if (n < 0) total = -1;
    }
    archive_read_free(a);
    return total;
}
#endif

template <std::int64_t (*Unpack)(const std::string&)>
void BM_Rar(benchmark::State& state, const std::string& name) {
    const std::string path = (lumora::test::CorpusDir() / "rar" / name).string();
    if (!std::filesystem::exists(path)) {
        state.SkipWithError("corpus missing");
        return;
    }
    const std::int64_t bytes = Unpack(path);
    if (bytes < 0) {
        state.SkipWithError("cannot unpack this archive");
        return;
    }
    for (auto _ : state) benchmark::DoNotOptimize(Unpack(path));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * bytes);
}

bool Register() {
    for (const char* name : kArchives) {
        benchmark::RegisterBenchmark((std::string("BM_RarOurs/") + name).c_str(),
                                     BM_Rar<UnpackOurs>, std::string(name));
#if LUMORA_BENCH_LIBARCHIVE
        benchmark::RegisterBenchmark((std::string("BM_RarLibarchive/") + name).c_str(),
                                     BM_Rar<UnpackReference>, std::string(name));
#endif
    }
    benchmark::RegisterBenchmark("BM_RarOurs/ppmd_head", BM_Rar<UnpackOursHead>,
                                 std::string(kPpmdHead));
#if LUMORA_BENCH_LIBARCHIVE
    benchmark::RegisterBenchmark("BM_RarLibarchive/ppmd_head", BM_Rar<UnpackReferenceHead>,
                                 std::string(kPpmdHead));
#endif
    return true;
}

const bool kRegistered = Register();

}  // namespace
