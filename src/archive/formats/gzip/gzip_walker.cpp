// GZIP: one member per file, its header and trailer.
#include "archive/formats/gzip/gzip_walker.h"

#include <sys/stat.h>

#include <algorithm>
#include <string_view>

#include "archive/core/dos_date.h"
#include "archive/core/error_codes.h"
#include "archive/core/le_bytes.h"
#include "archive/core/routines.h"
#include "archive/formats/tar/tar_header.h"
#include "archive/lister/lister_methods.h"
#include "archive/lister/lister_run.h"
#include "platform/text.h"

namespace lumora::archive {

namespace {

const std::uint8_t* Bytes(const std::string& s) {
    return reinterpret_cast<const std::uint8_t*>(s.data());
}

constexpr std::size_t kMaxGzipText = 65536;  // comment bytes searched for their end

class GzipWalker final : public HeaderWalker {
public:
    void Prepare(ListerRun& run) override {
        run.SetWindow(10);
        run.SetPosition(0);
    }
    void Step(ListerRun& run, std::uint64_t at, const std::uint8_t* w) override;

private:
    // Name, date, sizes and method of a gzip (1F 8B / 1F 9E) header.
    static std::string ReadGzipHeader(ListerRun& run, const std::uint8_t* w, TListerMember& m);
};

std::string GzipWalker::ReadGzipHeader(ListerRun& run, const std::uint8_t* w, TListerMember& m) {
    const std::uint8_t flags = w[3];
    std::uint64_t p = 10;
    if (flags & 4) p += 2 + Le16(Bytes(run.ReadExact(p, 2, ecode::BadFileHeader)));
    std::string name;
    if (flags & 8) {
        name = run.ReadBytes(p, 256);
        const auto nul = name.find('\0');
        p += nul == std::string::npos ? name.size() : nul + 1;
        name.resize(std::min<std::size_t>(std::min(nul, name.size()), 255));
    }
    if (flags & 16) {
        const std::string comment = run.ReadBytes(p, kMaxGzipText);
        const auto nul = comment.find('\0');
        p += nul == std::string::npos ? comment.size() : nul + 1;
    }
    if (flags & 2) p += 2;
    const std::string trailer = run.ReadBytes(run.Size() - 8, 8);
    if (trailer.size() == 8) {
        m.Crc = Le32(Bytes(trailer));
        m.UnpackedSize = Le32(Bytes(trailer) + 4);
    }
    m.PackedSize = run.Size() > p + 8 ? run.Size() - p - 8 : 0;
    m.FileDate = UnixToDateTime(Le32(w + 4));
    m.Encrypted = (flags & 0x20) != 0;
    m.MethodCode = (w[2] == 0 || w[2] == 8) ? w[2] : 10;
    return name;
}

// The archive's own name without its last extension, for members without a
// stored name.
std::string DerivedName(const std::string& archivePath) {
    std::string name = HostFileNamePart(archivePath);
    const auto dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
    return Utf8ToAnsi(name);
}

std::uint32_t HostAttributes(const std::string& path) {
    struct stat st {};
    std::uint32_t attrs = TztvFileAttr::kArchive;
    if (::stat(path.c_str(), &st) == 0 && !(st.st_mode & S_IWUSR)) attrs |= TztvFileAttr::kReadOnly;
    return attrs;
}

void GzipWalker::Step(ListerRun& run, std::uint64_t, const std::uint8_t* w) {
    run.EndWalk();
    if (w[0] != 0x1F) return;
    const std::uint8_t kind = w[1];
    TListerMember& m = run.NewMember();
    std::string name;
    if (kind == 0x8B || kind == 0x9E) {
        name = ReadGzipHeader(run, w, m);
    } else if (kind == 0x9D || kind == 0x1E || kind == 0xA0) {
        m.PackedSize = m.UnpackedSize = run.Size();
        m.FileDate = DosDateToDateTime(run.Lister().ArchiveDate());
        m.MethodCode = kind == 0x9D ? 1 : kind == 0x1E ? 2 : 3;
    } else {
        return;
    }
    m.MethodName = MethodName(MethodFamily::GZIP, m.MethodCode);
    const std::string& archive = run.Lister().ArchiveFile();
    m.ExternalAttr = HostAttributes(archive);
    if (name.empty()) name = DerivedName(archive);
    run.Report(name, 0, EntryKind::Unmatched);
}

}  // namespace

std::unique_ptr<HeaderWalker> MakeGzipWalker() {
    return std::make_unique<GzipWalker>();
}

}  // namespace lumora::archive
