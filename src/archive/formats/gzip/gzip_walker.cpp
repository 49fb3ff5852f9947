// GZIP: one member per file, its header and trailer.
#include "archive/formats/gzip/gzip_walker.h"

#include <sys/stat.h>

#include <string_view>

#include "archive/core/dos_date.h"
#include "archive/core/error_codes.h"
#include "archive/formats/gzip/gzip_header.h"
#include "archive/lister/lister_methods.h"
#include "archive/lister/lister_run.h"

namespace lumora::archive {

namespace {

class GzipWalker final : public HeaderWalker {
public:
    void Prepare(ListerRun& run) override {
        run.SetWindow(kGzipHeaderSize);
        run.SetPosition(0);
    }
    void Step(ListerRun& run, std::uint64_t at, const std::uint8_t* w) override;
};

// Name, date, sizes and method of a gzip (1F 8B / 1F 9E) header; a header
// cut inside its extra field's length is damaged.
std::string ListGzipHeader(ListerRun& run, const GzipMember& g, TListerMember& m) {
    if (g.extraCut) run.Fail(ecode::BadFileHeader);
    m.Crc = g.crc;
    m.UnpackedSize = g.unpackedSize;
    m.PackedSize = g.packedSize;
    m.FileDate = UnixToDateTime(g.unixTime);
    m.Encrypted = g.encrypted;
    m.MethodCode = (g.method == 0 || g.method == 8) ? g.method : 10;
    return g.storedName;
}

std::uint32_t HostAttributes(const std::string& path) {
    struct stat st {};
    std::uint32_t attrs = TztvFileAttr::kArchive;
    if (::stat(path.c_str(), &st) == 0 && !(st.st_mode & S_IWUSR)) attrs |= TztvFileAttr::kReadOnly;
    return attrs;
}

void GzipWalker::Step(ListerRun& run, std::uint64_t, const std::uint8_t* w) {
    run.EndWalk();
    GzipMember g;
    const std::string_view head(reinterpret_cast<const char*>(w), run.Window());
    if (ReadGzipMember(run.File(), head, g) != HeaderResult::Ok) return;
    TListerMember& m = run.NewMember();
    std::string name;
    if (g.gzip) {
        name = ListGzipHeader(run, g, m);
    } else {  // compress, pack and SCO compress: the whole file, the file's date
        m.PackedSize = m.UnpackedSize = run.Size();
        m.FileDate = DosDateToDateTime(run.Lister().ArchiveDate());
        m.MethodCode = g.method;
    }
    m.MethodName = MethodName(MethodFamily::GZIP, m.MethodCode);
    const std::string& archive = run.Lister().ArchiveFile();
    m.ExternalAttr = HostAttributes(archive);
    if (name.empty()) name = GzipDerivedName(archive);
    run.Report(name, 0, EntryKind::Unmatched);
}

}  // namespace

std::unique_ptr<HeaderWalker> MakeGzipWalker() {
    return std::make_unique<GzipWalker>();
}

}  // namespace lumora::archive
