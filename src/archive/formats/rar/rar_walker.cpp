// RAR: the lister's walk over the block chain of RAR 1.5-4 archives and the
// header chain of RAR 5 archives.
#include "archive/formats/rar/rar_walker.h"

#include <string_view>

#include "archive/core/dos_date.h"
#include "archive/core/error_codes.h"
#include "archive/core/field_reader.h"
#include "archive/formats/rar/rar_header.h"
#include "archive/lister/lister_methods.h"
#include "archive/lister/lister_run.h"

namespace lumora::archive {

namespace {

// The walk keeps only the records of file headers; the parsing is in
// rar_header.
class Rar4Walker final : public HeaderWalker {
public:
    void Prepare(ListerRun& run) override;
    void Step(ListerRun& run, std::uint64_t at, const std::uint8_t* w) override;

private:
    void ReportFile(ListerRun& run, std::uint64_t at, const Rar4Block& b, const Rar4FileTail& t,
                    std::uint64_t packed);
};

class Rar5Walker final : public HeaderWalker {
public:
    explicit Rar5Walker(std::uint64_t first) : first_(first) {}
    void Prepare(ListerRun& run) override {
        run.SetWindow(kRar5SizeWindow);
        run.SetPosition(first_);
    }
    void Step(ListerRun& run, std::uint64_t at, const std::uint8_t* w) override;

private:
    void ReportFile(ListerRun& run, std::uint64_t at, const Rar5Header& h);

    std::uint64_t first_;
};

// Chooses the RAR 1.5-4 or RAR 5 walk by the marker at the archive start.
class RarWalker final : public HeaderWalker {
public:
    void Prepare(ListerRun& run) override {
        const std::uint64_t start = run.Lister().FirstHeaderOffset();
        const std::string marker = run.ReadBytes(start, kRar5Marker.size());
        if (marker == kRar5Marker) {
            inner_ = std::make_unique<Rar5Walker>(start + kRar5Marker.size());
        } else if (marker.compare(0, kRar4Marker.size(), kRar4Marker) == 0) {
            inner_ = std::make_unique<Rar4Walker>();
        } else {
            run.Fail(ecode::HeaderIdError);
        }
        inner_->Prepare(run);
    }
    void Step(ListerRun& run, std::uint64_t at, const std::uint8_t* w) override {
        inner_->Step(run, at, w);
    }

private:
    std::unique_ptr<HeaderWalker> inner_;
};

void Rar4Walker::Prepare(ListerRun& run) {
    const std::uint64_t start = run.Lister().FirstHeaderOffset() + kRar4Marker.size();
    if (start > run.Size()) run.Fail(ecode::OpenError);
    const std::string bytes = run.ReadExact(start, kRar4MainHeaderSize, ecode::ReadError);
    FieldReader r(bytes);
    Rar4MainHeader main;
    if (ParseRar4MainHeader(r, main) != HeaderResult::Ok) run.Fail(ecode::BadFileHeader);
    if (main.size > kRar4MainHeaderSize) run.SetArchiveComment("Archive Comment encrypted...");
    run.SetWindow(kRar4BlockSize);
    run.SetPosition(start + main.size);
    // Encrypted block headers cannot be read without the password.
    if (main.encryptedHeaders) run.EndWalk();
}

// Every block is passed over as a whole: its header size plus, for blocks
// with data, the data size (64-bit with the high part of large files).
void Rar4Walker::Step(ListerRun& run, std::uint64_t at, const std::uint8_t* w) {
    FieldReader r(w, run.Window());
    Rar4Block b;
    const HeaderResult result = ParseRar4Block(r, b);
    if (result == HeaderResult::Bad) run.Fail(ecode::BadFileHeader);
    if (result == HeaderResult::End) {
        run.EndWalk();
        return;
    }
    Rar4FileTail t;
    if (b.IsFile()) {
        const std::string tail = run.ReadBytes(at + kRar4BlockSize, Rar4TailSize(b));
        FieldReader tr(tail);
        if (ParseRar4Tail(tr, b, t) != HeaderResult::Ok) run.Fail(ecode::BadFileHeader);
    }
    std::uint64_t data = 0;
    if (b.flags & kRar4LongBlock) {
        data = b.dataSize;
        data |= std::uint64_t{t.packedHigh} << 32;
    }
    if (b.Listed()) ReportFile(run, at, b, t, data);
    run.MoveTo(SaturatingAdd(at + b.headSize, data), at);
}

void Rar4Walker::ReportFile(ListerRun& run, std::uint64_t at, const Rar4Block& b,
                            const Rar4FileTail& t, std::uint64_t packed) {
    TListerMember& m = run.NewMember();
    m.PackedSize = packed;
    m.UnpackedSize = b.unpacked | (std::uint64_t{t.unpackedHigh} << 32);
    m.Crc = b.crc;
    m.FileDate = DosDateToDateTime(b.dosTime);
    m.VersionMadeBy = b.version;
    m.MethodCode = b.method;
    m.MethodName = MethodName(MethodFamily::RAR, b.method);
    m.InternalAttr = 32;
    m.ExternalAttr = b.attributes;
    m.Encrypted = (b.flags & 0x04) != 0;
    // Directories carry the dictionary bits 111; MS-DOS, OS/2 and Windows
    // hosts also mark them by attribute.
    const bool folder = (b.flags & 0xE0) == 0xE0 || (b.hostOs <= 2 && (m.ExternalAttr & 0x10));
    run.Report(t.AnsiName(), at, folder ? EntryKind::Directory : EntryKind::Member);
}

void Rar5Walker::Step(ListerRun& run, std::uint64_t at, const std::uint8_t* w) {
    std::uint64_t bodySize = 0;
    std::size_t bodyOffset = 0;
    const std::string_view window(reinterpret_cast<const char*>(w), run.Window());
    if (ParseRar5Size(window, bodySize, bodyOffset) != HeaderResult::Ok)
        run.Fail(ecode::BadFileHeader);
    const std::uint64_t bodyAt = at + bodyOffset;
    const std::string body = run.ReadExact(bodyAt, bodySize, ecode::BadFileHeader);
    Rar5Header h;
    const HeaderResult result = ParseRar5Header(body, h);
    if (result == HeaderResult::Bad) run.Fail(ecode::BadFileHeader);
    if (result == HeaderResult::End) {
        run.EndWalk();
        return;
    }
    if (h.type == 2) ReportFile(run, at, h);
    run.MoveTo(SaturatingAdd(bodyAt + bodySize, h.dataSize), at);
}

void Rar5Walker::ReportFile(ListerRun& run, std::uint64_t at, const Rar5Header& h) {
    const Rar5File& f = h.file;
    TListerMember& m = run.NewMember();
    m.UnpackedSize = f.unpacked;
    m.ExternalAttr = static_cast<std::uint32_t>(f.attributes);
    m.FileDate = (f.flags & 2) ? UnixToDateTime(f.unixTime) : DosDateToDateTime(0);
    if (f.modified) m.FileDate = UnixToDateTime(*f.modified);
    m.Crc = f.crc;
    m.Encrypted = f.encrypted;
    m.PackedSize = h.dataSize;
    m.VersionMadeBy = static_cast<std::uint16_t>(f.compression & 0x3F);
    m.MethodCode = static_cast<std::uint16_t>(48 + ((f.compression >> 7) & 7));
    m.MethodName = MethodName(MethodFamily::RAR, m.MethodCode);
    m.InternalAttr = 32;
    run.Report(RarAnsiName(f.name, f.name), at,
               (f.flags & 1) ? EntryKind::Directory : EntryKind::Member);
}

}  // namespace

std::unique_ptr<HeaderWalker> MakeRarWalker() {
    return std::make_unique<RarWalker>();
}

}  // namespace lumora::archive
