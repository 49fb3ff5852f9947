// The RAR reader on any file: every member extracted through the built-in
// library's calls (into a private folder, with the output limit), then the
// archive walked again with an unpacker that copies its input, so that
// solid sequencing and the joining of data reach every member.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "archive/formats/rar/rar_reader.h"
#include "archive/formats/rar/unrar_builtin.h"
#include "fuzz_file.h"

using namespace lumora::archive;

namespace {

class CopyUnpacker final : public RarUnpacker {
public:
    RarUnpackResult Unpack(ByteSource& in, OutputSink* out, const RarUnpackRequest& req) override {
        std::uint8_t buf[4096];
        std::uint64_t total = 0;
        while (const std::size_t n = in.Read(buf, sizeof buf)) {
            if (out) out->Write(buf, n);
            total += n;
        }
        return {total == req.unpackedSize ? RarUnpackStatus::kDone : RarUnpackStatus::kTruncated,
                total};
    }
};

class NullSink final : public OutputSink {
public:
    void Write(const std::uint8_t*, std::size_t) override {}
};

void ExtractAll(const std::string& path, const std::string& out) {
    const unrar::UnrarFunctions f = unrar::BuiltinUnrar();
    std::string name = path;
    std::string dest = out;
    unrar::RAROpenArchiveData open{};
    open.ArcName = name.data();
    open.OpenMode = unrar::RAR_OM_EXTRACT;
    unrar::RarHandle h = f.RAROpenArchive(&open);
    if (!h) return;
    f.SetOutputLimit(h, 1 << 20);
    unrar::RARHeaderData header{};
    while (f.RARReadHeader(h, &header) == 0)
        f.RARProcessFile(h, unrar::RAR_EXTRACT, dest.data(), nullptr);
    f.RARCloseArchive(h);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto& folder = lumora::fuzz::Folder();
    const std::string path = folder.Write(data, size);
    ExtractAll(path, folder.FreshOutput());
    RarReader reader([](RarFamily, std::size_t) { return std::make_unique<CopyUnpacker>(); });
    if (reader.Open(path) != 0) return 0;
    RarMember m;
    NullSink sink;
    while (reader.Next(m) == 0) reader.Decode(&sink, 1 << 20);
    return 0;
}
