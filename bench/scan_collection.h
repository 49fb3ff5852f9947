// Generated archive collections and one Scan I over them, for the Scan I
// benchmark and the instruction-count probe: each archive holds a
// FILE_ID.DIZ, compressed as archivers store it, and one stored member of
// 20-100 KB, as in a download area.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "packed_diz.h"
#include "platform/app_dirs.h"
#include "platform/file_io.h"
#include "platform/locale_formats.h"
#include "raw_deflate.h"
#include "scan/description_extraction.h"
#include "scan/job_log.h"
#include "scan/job_seams.h"
#include "scan/scan_job.h"
#include "settings/app_settings.h"
#include "support/builders/arj_builder.h"
#include "support/builders/lha_builder.h"
#include "support/builders/zip_builder.h"

namespace lumora::bench {

enum class Kind { Zip, Arj, Lzh };

inline const char* KindName(Kind k) {
    return k == Kind::Zip ? "ZIP" : k == Kind::Arj ? "ARJ" : "LZH";
}

// kPackedDizText as zlib's raw Deflate packs it, made once.
inline const std::string& DeflatedDiz() {
    static const std::string packed = [] {
        const Bytes b = RawDeflate(reinterpret_cast<const std::uint8_t*>(kPackedDizText),
                                   sizeof kPackedDizText - 1, 9);
        return std::string(b.begin(), b.end());
    }();
    return packed;
}

// FILE_ID.DIZ packed as the archivers of each kind pack it (ZIP: zlib's
// Deflate), then a stored PROGRAM.EXE holding `data`.
inline std::string ArchiveImage(Kind kind, const std::string& data) {
    using namespace archive::test;
    const std::string text = kPackedDizText;
    switch (kind) {
        case Kind::Zip: {
            TestMember diz = Member("FILE_ID.DIZ", text, 8);
            diz.raw = DeflatedDiz();
            return ZipBuilder().Add(diz).Add(Member("PROGRAM.EXE", data)).Build();
        }
        case Kind::Arj: {
            ArjEntry diz("FILE_ID.DIZ", text);
            diz.method = 1;
            diz.packed.assign(std::begin(kDizArjMethod1), std::end(kDizArjMethod1));
            return ArjArchive({diz, ArjEntry("PROGRAM.EXE", data)});
        }
        case Kind::Lzh: {
            LhaEntry diz("FILE_ID.DIZ", text, "-lh5-");
            diz.raw.emplace(std::begin(kDizLh5), std::end(kDizLh5));
            return LhaArchive({diz, {"PROGRAM.EXE", data}});
        }
    }
    return {};
}

// Writes `count` archives named A0000001.<kind> and so on into `folder`
// (ending in "/"); their paths.
inline std::vector<std::string> WriteCollection(const std::string& folder, Kind kind, int count) {
    std::mt19937 rng(static_cast<unsigned>(count) * 7 + static_cast<unsigned>(kind));
    std::string noise(100 * 1024, '\0');
    for (auto& c : noise) c = static_cast<char>(rng());
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i) {
        const std::size_t size = 20 * 1024 + rng() % (80 * 1024);
        char name[32];
        std::snprintf(name, sizeof name, "A%07d.%s", i, KindName(kind));
        const std::string path = folder + name;
        std::string error;
        WriteWholeFile(path, ArchiveImage(kind, noise.substr(0, size)), &error);
        paths.push_back(path);
    }
    return paths;
}

// The I/O floor: open each file and read its last 64 KiB. Gives the bytes
// read, so the work cannot be left out.
inline std::size_t ReadFloor(const std::vector<std::string>& paths) {
    std::vector<char> buffer(64 * 1024);
    std::size_t total = 0;
    for (const auto& p : paths) {
        const int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        const off_t size = ::lseek(fd, 0, SEEK_END);
        const off_t at =
            size > static_cast<off_t>(buffer.size()) ? size - static_cast<off_t>(buffer.size()) : 0;
        const ssize_t got = ::pread(fd, buffer.data(), buffer.size(), at);
        if (got > 0) total += static_cast<std::size_t>(got);
        ::close(fd);
    }
    return total;
}

// A front end that shows nothing.
class QuietHost : public ScanHost {
public:
    MsgAnswer MessageBox(const std::string&, const std::string&, MsgIcon, MsgButtons) override {
        return MsgAnswer::Ok;
    }
    void ProcessMessages() override {}
    void SetBusy() override {}
    void SetIdle() override {}
    void SetTotalField(const std::string&) override {}
    void SetProcessedField(const std::string&) override {}
    void SetCurrentFileField(const std::string&) override {}
    void SetGaugeMax(int) override {}
    void SetGaugePosition(int) override {}
    void SetStatusPanel(int, const std::string&) override {}
    void LogLineAdded(const std::string&, LogKind) override {}
    void LogCleared() override {}
    void SelectLastLogLine() override {}
    std::optional<std::string> AskSaveFileName(const SaveDialogRequest&) override {
        return std::nullopt;
    }
    std::optional<std::string> AskFolder(const std::string&, const std::string&) override {
        return std::nullopt;
    }
    std::optional<ScanIIOptions> AskScanIIOptions(const std::string&,
                                                  const std::vector<std::string>&) override {
        return std::nullopt;
    }
};

// A list that only counts the entry lines (they start with an archive's
// name, A0000001...) that show the description's first words.
class CountingList : public ListSink {
public:
    void Item(const std::string& line) override {
        if (line.starts_with("A0") && line.find("Great Program v1.0") != std::string::npos)
            ++described;
    }
    bool Finish(std::string*) override { return true; }
    std::size_t described = 0;
};

// One Scan I over `paths` (sorting, 8.3 names, descriptions, layout, log)
// with `workers` readers; the number of archives listed with their
// description.
inline std::size_t RunScanI(const std::vector<std::string>& paths, const std::string& folder,
                            int workers) {
    Configuration config;
    config.InfoFileList = {"FILE_ID.DIZ"};
    const LocaleFormats formats = LocaleFormats::German();
    QuietHost host;
    JobLog log(host, formats);
    log.SetLineLimit(1 << 30);
    DescriptionExtraction source;
    PrivateTempDir temp;
    ScanEnvironment env{config, formats, host, log, source, temp.path(), nullptr, nullptr, nullptr};
    env.workers = workers;
    env.makeSource = ExtractionSources();
    ScanJob job(env);
    PathList given;
    for (const auto& p : paths) given.Add(p);
    CountingList list;
    return job.RunScanJob(SortAndMark(std::move(given)), folder, list) ? list.described : 0;
}

}  // namespace lumora::bench
