// RAR: the block chain of RAR 1.5-4 archives (7-byte marker, main header,
// then blocks with 16-bit header sizes) and of RAR 5 archives (8-byte marker,
// headers with variable-length integers).
#include "archive/formats/rar/rar_walker.h"

#include <cstring>
#include <optional>
#include <string_view>

#include "archive/core/dos_date.h"
#include "archive/core/error_codes.h"
#include "archive/core/field_reader.h"
#include "archive/lister/lister_methods.h"
#include "archive/lister/lister_run.h"
#include "platform/text.h"

namespace lumora::archive {

namespace {

constexpr std::string_view kMarker4("Rar!\x1a\x07\x00", 7);
constexpr std::string_view kMarker5("Rar!\x1a\x07\x01\x00", 8);
constexpr std::size_t kMainHeaderSize = 13;
constexpr std::size_t kRar4BlockSize = 32;
constexpr std::uint8_t kFileBlock = 0x74;
constexpr std::uint8_t kEndBlock = 0x7B;
constexpr std::uint16_t kLongBlock = 0x8000;
constexpr std::uint16_t kSkipIfUnknown = 0x4000;
constexpr std::uint16_t kLargeSizes = 0x0100;
constexpr std::uint16_t kEncryptedHeaders = 0x0080;  // main header flag
constexpr std::size_t kRar5MaxHeader = 2 * 1024 * 1024;

// The fixed 32 bytes of a RAR 1.5-4 block header (the file fields only mean
// something in file blocks).
struct Rar4Block {
    std::uint8_t type = 0;
    std::uint16_t flags = 0;
    std::uint16_t headSize = 0;
    std::uint32_t dataSize = 0;  // with kLongBlock; the packed size of files
    std::uint32_t unpacked = 0;
    std::uint8_t hostOs = 0;
    std::uint32_t crc = 0;
    std::uint32_t dosTime = 0;
    std::uint8_t version = 0;
    std::uint8_t method = 0;
    std::uint16_t nameSize = 0;
    std::uint32_t attributes = 0;
};

Rar4Block ParseRar4Block(FieldReader r) {
    Rar4Block b;
    r.Skip(2);  // header CRC
    b.type = r.U8();
    b.flags = r.U16();
    b.headSize = r.U16();
    b.dataSize = r.U32();
    b.unpacked = r.U32();
    b.hostOs = r.U8();
    b.crc = r.U32();
    b.dosTime = r.U32();
    b.version = r.U8();
    b.method = r.U8();
    b.nameSize = r.U16();
    b.attributes = r.U32();
    return b;
}

// The 32-bit value at `at`, which must be in the file.
std::uint32_t ReadU32(ListerRun& run, std::uint64_t at) {
    const std::string bytes = run.ReadExact(at, 4, ecode::BadFileHeader);
    return FieldReader(bytes).U32();
}

class Rar4Walker final : public HeaderWalker {
public:
    void Prepare(ListerRun& run) override;
    void Step(ListerRun& run, std::uint64_t at, const std::uint8_t* w) override;

private:
    void ReportFile(ListerRun& run, std::uint64_t at, const Rar4Block& b, std::uint64_t packed);
};

// Reads variable-length integers (7 bits per byte, low groups first) and
// fixed fields from a header held in memory; running past its end throws the
// header error through the run.
class Rar5Fields {
public:
    Rar5Fields(ListerRun& run, std::string_view bytes) : run_(run), r_(bytes) {}

    std::uint64_t Vint() {
        std::uint64_t v = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            const std::uint8_t byte = Checked(r_.U8());
            v |= std::uint64_t{byte & 0x7Fu} << shift;
            if (!(byte & 0x80)) return v;
        }
        run_.Fail(ecode::BadFileHeader);
    }
    std::uint32_t U32() { return Checked(r_.U32()); }
    std::string Text(std::uint64_t n) {
        Need(n);
        return r_.Text(static_cast<std::size_t>(n));
    }
    void Skip(std::uint64_t n) {
        Need(n);
        r_.Skip(static_cast<std::size_t>(n));
    }
    std::size_t Offset() const { return r_.Pos(); }
    std::size_t Size() const { return r_.Size(); }

private:
    template <typename T>
    T Checked(T value) {
        if (r_.Short()) run_.Fail(ecode::BadFileHeader);
        return value;
    }
    void Need(std::uint64_t n) {
        if (n > r_.Remaining()) run_.Fail(ecode::BadFileHeader);
    }

    ListerRun& run_;
    FieldReader r_;
};

class Rar5Walker final : public HeaderWalker {
public:
    explicit Rar5Walker(std::uint64_t first) : first_(first) {}
    void Prepare(ListerRun& run) override {
        run.SetWindow(8);
        run.SetPosition(first_);
    }
    void Step(ListerRun& run, std::uint64_t at, const std::uint8_t* w) override;

private:
    void ReportFile(ListerRun& run, std::uint64_t at, Rar5Fields& f, std::string_view body,
                    std::uint64_t extraSize, std::uint64_t dataSize);

    std::uint64_t first_;
};

// Chooses the RAR 1.5-4 or RAR 5 walk by the marker at the archive start.
class RarWalker final : public HeaderWalker {
public:
    void Prepare(ListerRun& run) override {
        const std::uint64_t start = run.Lister().FirstHeaderOffset();
        const std::string marker = run.ReadBytes(start, kMarker5.size());
        if (marker == kMarker5) {
            inner_ = std::make_unique<Rar5Walker>(start + kMarker5.size());
        } else if (marker.compare(0, kMarker4.size(), kMarker4) == 0) {
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
    const std::uint64_t start = run.Lister().FirstHeaderOffset() + kMarker4.size();
    if (start > run.Size()) run.Fail(ecode::OpenError);
    const std::string main = run.ReadExact(start, kMainHeaderSize, ecode::ReadError);
    FieldReader m(main);
    m.Skip(3);  // header CRC, type
    const std::uint16_t flags = m.U16();
    const std::uint16_t mainSize = m.U16();
    if (mainSize < kMainHeaderSize) run.Fail(ecode::BadFileHeader);
    if (mainSize > kMainHeaderSize) run.SetArchiveComment("Archive Comment encrypted...");
    run.SetWindow(kRar4BlockSize);
    run.SetPosition(start + mainSize);
    // Encrypted block headers cannot be read without the password.
    if (flags & kEncryptedHeaders) run.EndWalk();
}

// Every block is passed over as a whole: its header size plus, for blocks
// with data, the data size (64-bit with the high part of large files).
void Rar4Walker::Step(ListerRun& run, std::uint64_t at, const std::uint8_t* w) {
    const Rar4Block b = ParseRar4Block(FieldReader(w, run.Window()));
    if (b.type == kEndBlock || b.headSize < 7 || (b.type == kFileBlock && b.headSize < 32)) {
        run.EndWalk();
        return;
    }
    std::uint64_t data = 0;
    if (b.flags & kLongBlock) {
        data = b.dataSize;
        if (b.type == kFileBlock && (b.flags & kLargeSizes))
            data |= std::uint64_t{ReadU32(run, at + 32)} << 32;
    }
    if (b.type == kFileBlock && !(b.flags & kSkipIfUnknown)) ReportFile(run, at, b, data);
    run.MoveTo(SaturatingAdd(at + b.headSize, data), at);
}

void Rar4Walker::ReportFile(ListerRun& run, std::uint64_t at, const Rar4Block& b,
                            std::uint64_t packed) {
    const std::size_t nameAt = (b.flags & kLargeSizes) ? 40 : 32;
    if (nameAt + b.nameSize > b.headSize) run.Fail(ecode::BadFileHeader);
    std::string name = run.ReadExact(at + nameAt, b.nameSize, ecode::BadFileHeader);
    // Unicode names hold the plain name, a zero byte, then the encoded form.
    name.resize(std::strlen(name.c_str()));
    std::uint64_t unpacked = b.unpacked;
    if (b.flags & kLargeSizes) unpacked |= std::uint64_t{ReadU32(run, at + 36)} << 32;
    TListerMember& m = run.NewMember();
    m.PackedSize = packed;
    m.UnpackedSize = unpacked;
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
    run.Report(name, at, folder ? EntryKind::Directory : EntryKind::Member);
}

void Rar5Walker::Step(ListerRun& run, std::uint64_t at, const std::uint8_t* w) {
    Rar5Fields sizeField(run, std::string_view(reinterpret_cast<const char*>(w), run.Window()));
    sizeField.Skip(4);  // header CRC
    const std::uint64_t headerSize = sizeField.Vint();
    if (headerSize == 0 || headerSize > kRar5MaxHeader) run.Fail(ecode::BadFileHeader);
    const std::uint64_t bodyAt = at + sizeField.Offset();
    const std::string body = run.ReadExact(bodyAt, headerSize, ecode::BadFileHeader);
    Rar5Fields f(run, body);
    const std::uint64_t type = f.Vint();
    const std::uint64_t flags = f.Vint();
    const std::uint64_t extraSize = (flags & 1) ? f.Vint() : 0;
    const std::uint64_t dataSize = (flags & 2) ? f.Vint() : 0;
    if (type == 4 || type == 5) {  // encrypted headers follow / end of archive
        run.EndWalk();
        return;
    }
    if (type == 2) ReportFile(run, at, f, body, extraSize, dataSize);
    run.MoveTo(SaturatingAdd(bodyAt + headerSize, dataSize), at);
}

struct Rar5Extra {
    bool encrypted = false;
    std::optional<TDateTime> modified;
};

// The extra area closes a RAR 5 header: an encryption record (type 1) marks
// encrypted data, a time record (type 3) may hold the modification time.
Rar5Extra ReadExtraArea(ListerRun& run, std::string_view area) {
    Rar5Extra x;
    Rar5Fields e(run, area);
    while (e.Offset() < e.Size()) {
        const std::uint64_t size = e.Vint();
        const std::size_t start = e.Offset();
        const std::uint64_t type = e.Vint();
        if (type == 1) x.encrypted = true;
        if (type == 3) {
            const std::uint64_t flags = e.Vint();
            if (flags & 2) {
                if (flags & 1) {
                    x.modified = UnixToDateTime(e.U32());
                } else {  // 100 ns steps since 1601-01-01
                    const std::uint64_t low = e.U32();
                    const std::uint64_t ticks = (std::uint64_t{e.U32()} << 32) | low;
                    constexpr std::int64_t kEpochDiff = 11644473600;
                    x.modified =
                        UnixToDateTime(static_cast<std::int64_t>(ticks / 10000000) - kEpochDiff);
                }
            }
        }
        e.Skip(size - (e.Offset() - start));  // a size too small fails here
    }
    return x;
}

void Rar5Walker::ReportFile(ListerRun& run, std::uint64_t at, Rar5Fields& f, std::string_view body,
                            std::uint64_t extraSize, std::uint64_t dataSize) {
    if (extraSize > body.size()) run.Fail(ecode::BadFileHeader);
    const std::uint64_t fileFlags = f.Vint();
    TListerMember& m = run.NewMember();
    m.UnpackedSize = f.Vint();
    m.ExternalAttr = static_cast<std::uint32_t>(f.Vint());
    m.FileDate = (fileFlags & 2) ? UnixToDateTime(f.U32()) : DosDateToDateTime(0);
    if (fileFlags & 4) m.Crc = f.U32();
    const std::uint64_t compression = f.Vint();
    f.Vint();  // host system
    const std::string name = f.Text(f.Vint());
    if (f.Offset() > body.size() - extraSize) run.Fail(ecode::BadFileHeader);
    const Rar5Extra extra = ReadExtraArea(run, body.substr(body.size() - extraSize));
    m.Encrypted = extra.encrypted;
    if (extra.modified) m.FileDate = *extra.modified;
    m.PackedSize = dataSize;
    m.VersionMadeBy = static_cast<std::uint16_t>(compression & 0x3F);
    m.MethodCode = static_cast<std::uint16_t>(48 + ((compression >> 7) & 7));
    m.MethodName = MethodName(MethodFamily::RAR, m.MethodCode);
    m.InternalAttr = 32;
    run.Report(Utf8ToAnsi(name), at, (fileFlags & 1) ? EntryKind::Directory : EntryKind::Member);
}

}  // namespace

std::unique_ptr<HeaderWalker> MakeRarWalker() {
    return std::make_unique<RarWalker>();
}

}  // namespace lumora::archive
