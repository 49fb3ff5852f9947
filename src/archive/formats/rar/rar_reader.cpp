#include "archive/formats/rar/rar_reader.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <string_view>

#include "archive/core/crc.h"
#include "archive/core/dos_date.h"
#include "archive/core/field_reader.h"
#include "archive/decoders/rar15.h"
#include "archive/decoders/rar20.h"
#include "archive/decoders/rar29.h"
#include "archive/decoders/rar50.h"
#include "archive/formats/rar/rar_header.h"
#include "archive/formats/rar/unrar_api.h"

namespace lumora::archive {

using namespace unrar;

namespace {

// How far into a file the marker may come (after a self-extractor's code).
constexpr std::uint64_t kMarkerSearch = 1 << 20;
constexpr std::string_view kMarkerStart("Rar!\x1a\x07", 6);
constexpr std::uint8_t kMainBlock = 0x73;
constexpr std::uint8_t kServiceBlock = 0x7A;
constexpr std::uint8_t kEndBlock = 0x7B;
constexpr std::size_t kBaseBlock = 7;
constexpr std::size_t kCopyChunk = 65536;
// The most volumes one set may have; every name after the last is new, so
// this only bounds the time spent on a crafted set.
constexpr int kMaxVolumes = 100000;

std::uint64_t AddCapped(std::uint64_t a, std::uint64_t b) {
    return a > UINT64_MAX - b ? UINT64_MAX : a + b;
}

std::uint32_t Crc32Of(std::string_view bytes) {
    Crc32 crc;
    crc.Update(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    return crc.Value();
}

// Unix hosts keep the file type in the attributes: only regular files (and
// folders) are members of their own.
bool SpecialUnixType(std::uint32_t attributes) {
    const std::uint32_t type = attributes & 0xF000;
    return type != 0 && type != 0x8000 && type != 0x4000;
}

int UnpackError(RarUnpackStatus s) {
    switch (s) {
        case RarUnpackStatus::kDone:
        case RarUnpackStatus::kOutputLimit:
            return 0;
        case RarUnpackStatus::kUnsupported:
            return ERAR_UNKNOWN_FORMAT;
        case RarUnpackStatus::kNoMemory:
            return ERAR_NO_MEMORY;
        case RarUnpackStatus::kTruncated:
        case RarUnpackStatus::kDataError:
            break;
    }
    return ERAR_BAD_DATA;
}

// Passes at most `limit` bytes (0: all) on to `out` and keeps the CRC-32 of
// what it passed, and its BLAKE2sp digest for members that hold one (a
// split RAR 5 member's digest comes with its last piece).
class CheckedSink final : public OutputSink {
public:
    CheckedSink(OutputSink* out, std::uint64_t limit, const RarMember& m)
        : out_(out), limit_(limit) {
        if (m.blake2sp || (m.splitAfter && m.unpVersion == 50)) blake_.emplace();
    }
    void Write(const std::uint8_t* data, std::size_t n) override {
        if (limit_) n = static_cast<std::size_t>(std::min<std::uint64_t>(n, limit_ - total_));
        if (n == 0) return;
        crc_.Update(data, n);
        if (blake_) blake_->Update(data, n);
        total_ += n;
        if (out_) out_->Write(data, n);
    }
    bool Full() const { return limit_ && total_ >= limit_; }
    std::uint64_t Total() const { return total_; }
    // The member's checksums match what was passed (once, at its end).
    bool Matches(const RarMember& m) {
        if (m.hasCrc && crc_.Value() != m.crc) return false;
        return !blake_ || !m.blake2sp || blake_->Final() == *m.blake2sp;
    }

private:
    OutputSink* out_;
    std::uint64_t limit_;
    std::uint64_t total_ = 0;
    Crc32 crc_;
    std::optional<Blake2sp> blake_;
};

// The fields of a RAR 1.5-4 file block beyond what the lister reads.
RarMember Rar4Member(const Rar4Block& b, const Rar4FileTail& t) {
    RarMember m;
    m.name = t.unicode.empty() ? t.name : t.unicode;
    m.ansiName = t.AnsiName();
    // Every host's archiver stores '\\' between folders.
    std::replace(m.name.begin(), m.name.end(), '\\', '/');
    std::replace(m.ansiName.begin(), m.ansiName.end(), '\\', '/');
    m.unpacked = b.unpacked | (std::uint64_t{t.unpackedHigh} << 32);
    m.crc = b.crc;
    m.hasCrc = true;
    m.dosTime = b.dosTime;
    m.attributes = b.attributes;
    m.hostOs = b.hostOs;
    m.unpVersion = b.version;
    m.method = b.method;
    const unsigned dict = (b.flags >> 5) & 7;
    m.directory = dict == 7;
    m.window = m.directory ? 0 : std::uint64_t{0x10000} << dict;
    m.special = b.hostOs == 3 && SpecialUnixType(b.attributes);
    m.encrypted = (b.flags & 0x04) != 0;
    m.solid = (b.flags & 0x10) != 0;
    m.splitBefore = (b.flags & 0x01) != 0;
    m.splitAfter = (b.flags & 0x02) != 0;
    return m;
}

RarMember Rar5Member(const Rar5Header& h) {
    const Rar5File& f = h.file;
    RarMember m;
    m.name = f.name;
    m.ansiName = RarAnsiName(f.name, f.name);
    m.unpacked = f.unpacked;
    m.crc = f.crc;
    m.hasCrc = (f.flags & 4) != 0;
    m.blake2sp = f.blake2sp;
    if (f.modified) {
        m.dosTime = UnixToDosDate(static_cast<std::time_t>(*f.modified));
    } else if (f.flags & 2) {
        m.dosTime = UnixToDosDate(static_cast<std::time_t>(f.unixTime));
    }
    m.attributes = static_cast<std::uint32_t>(f.attributes);
    m.hostOs = f.hostOs == 1 ? 3 : 2;  // as RAR 1.5-4 numbers them
    const std::uint64_t version = f.compression & 0x3F;
    m.unpVersion = version == 0 ? 50 : 0;
    m.method = static_cast<std::uint8_t>(0x30 + ((f.compression >> 7) & 7));
    m.directory = (f.flags & 1) != 0;
    m.window = std::uint64_t{0x20000} << ((f.compression >> 10) & 0xF);
    m.special = f.link || (f.hostOs == 1 && SpecialUnixType(m.attributes));
    m.encrypted = f.encrypted;
    m.solid = (f.compression & 0x40) != 0;
    m.splitBefore = (h.flags & 0x08) != 0;
    m.splitAfter = (h.flags & 0x10) != 0;
    return m;
}

}  // namespace

RarFamily RarMember::Family() const {
    switch (unpVersion) {
        case 15:
            return RarFamily::Rar15;
        case 20:
        case 26:
            return RarFamily::Rar20;
        case 29:
        case 36:
            return RarFamily::Rar29;
        case 50:
            return RarFamily::Rar50;
        default:
            return RarFamily::None;
    }
}

std::unique_ptr<RarUnpacker> MakeRarUnpacker(RarFamily family, std::size_t window) {
    switch (family) {
        case RarFamily::Rar15:
            return MakeRar15Unpacker(window);
        case RarFamily::Rar20:
            return MakeRar20Unpacker(window);
        case RarFamily::Rar29:
            return MakeRar29Unpacker(window);
        case RarFamily::Rar50:
            return MakeRar50Unpacker(window);
        case RarFamily::None:
            break;
    }
    return nullptr;
}

std::string NextRarVolumeName(const std::string& path, bool newNaming) {
    const std::size_t base = path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1;
    std::string name = path;
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot < base) return {};
    if (newNaming) {
        // The last run of digits before the extension counts up.
        std::size_t end = dot;
        while (end > base && !std::isdigit(static_cast<unsigned char>(name[end - 1]))) --end;
        if (end == base) return {};
        std::size_t i = end;
        while (i > base && std::isdigit(static_cast<unsigned char>(name[i - 1]))) {
            if (name[--i] != '9') {
                ++name[i];
                return name;
            }
            name[i] = '0';
        }
        name.insert(i, 1, '1');
        return name;
    }
    const std::string ext = name.substr(dot + 1);
    if (ext.size() != 3) return {};
    const bool upper = std::isupper(static_cast<unsigned char>(ext[0])) != 0;
    if ((ext[0] | 0x20) == 'r' && (ext[1] | 0x20) == 'a' && (ext[2] | 0x20) == 'r')
        return name.substr(0, dot + 1) + (upper ? "R00" : "r00");
    if (!std::isdigit(static_cast<unsigned char>(ext[1])) ||
        !std::isdigit(static_cast<unsigned char>(ext[2])))
        return {};
    int n = (ext[1] - '0') * 10 + (ext[2] - '0') + 1;
    char letter = ext[0];
    if (n == 100) {
        if ((letter | 0x20) == 'z') return {};
        ++letter;
        n = 0;
    }
    name[dot + 1] = letter;
    name[dot + 2] = static_cast<char>('0' + n / 10);
    name[dot + 3] = static_cast<char>('0' + n % 10);
    return name;
}

// One header: a member's, another block, or the end of the archive.
struct RarReader::Block {
    enum Kind { kFile, kOther, kEnd } kind = kOther;
    RarMember member;
    std::uint64_t dataAt = 0;
    std::uint64_t dataSize = 0;
    std::uint64_t flags = 0;  // the main header's archive flags, the end block's flags
};

// The current member's packed data, joined across the volumes it spans.
class RarReader::PieceSource final : public ByteSource {
public:
    explicit PieceSource(RarReader& r) : r_(r) {}
    std::size_t Read(std::uint8_t* dst, std::size_t n) override {
        while (r_.dataLeft_ == 0) {
            if (!r_.NextPiece()) return 0;
        }
        n = static_cast<std::size_t>(std::min<std::uint64_t>(n, r_.dataLeft_));
        const std::size_t got = r_.file_.ReadAt(r_.dataPos_, dst, n);
        if (got == 0) {
            r_.dataLeft_ = 0;
            r_.cur_.splitAfter = false;  // cut short: nothing follows
            return 0;
        }
        r_.dataPos_ += got;
        r_.dataLeft_ -= got;
        return got;
    }

private:
    RarReader& r_;
};

RarReader::RarReader(RarUnpackerMaker maker) : maker_(std::move(maker)) {}
RarReader::~RarReader() = default;

int RarReader::Open(const std::string& path) {
    const int r = OpenVolume(path);
    volumes_ = 1;
    return r;
}

int RarReader::OpenVolume(const std::string& path) {
    InputFile file;
    if (!file.Open(path)) return ERAR_EOPEN;
    const std::string head = archive::ReadBlock(file, 0, kMarkerSearch);
    std::size_t at = 0;
    for (;; ++at) {
        at = head.find(kMarkerStart, at);
        if (at == std::string::npos) return ERAR_BAD_ARCHIVE;
        const std::string_view rest = std::string_view(head).substr(at);
        if (rest.substr(0, kRar4Marker.size()) == kRar4Marker) break;
        if (rest.substr(0, kRar5Marker.size()) == kRar5Marker) break;
    }
    const bool rar5 = head.compare(at, kRar5Marker.size(), kRar5Marker) == 0;
    if (volumes_ > 0 && rar5 != rar5_) return ERAR_BAD_ARCHIVE;
    file_ = std::move(file);
    path_ = path;
    rar5_ = rar5;
    pos_ = at + (rar5 ? kRar5Marker.size() : kRar4Marker.size());
    if (!rar5) return ReadMainHeader4();
    // RAR 5: the main header comes first, or the header that marks the
    // headers encrypted.
    Block b;
    const int r = ReadBlock5(pos_, b);
    if (r == ERAR_MISSING_PASSWORD) {
        encryptedHeaders_ = true;
        return 0;
    }
    if (r != 0 || b.kind != Block::kOther) return r != 0 ? r : ERAR_BAD_ARCHIVE;
    volumeSet_ = (b.flags & 1) != 0;
    solidArchive_ = (b.flags & 4) != 0;
    newNaming_ = true;
    pos_ = AddCapped(b.dataAt, b.dataSize);
    return 0;
}

int RarReader::ReadMainHeader4() {
    const std::string bytes = archive::ReadBlock(file_, pos_, kRar4MainHeaderSize);
    FieldReader r(bytes);
    Rar4MainHeader main;
    if (ParseRar4MainHeader(r, main) != HeaderResult::Ok || bytes[2] != char(kMainBlock))
        return ERAR_BAD_ARCHIVE;
    volumeSet_ = (main.flags & 0x01) != 0;
    solidArchive_ = (main.flags & 0x08) != 0;
    newNaming_ = (main.flags & 0x10) != 0;
    encryptedHeaders_ = main.encryptedHeaders;
    pos_ += main.size;
    return 0;
}

// A RAR 1.5-4 block: its base fields, then the whole header, whose CRC is
// checked for file blocks.
int RarReader::ReadBlock4(std::uint64_t at, Block& b) {
    const std::string base = archive::ReadBlock(file_, at, kBaseBlock);
    if (base.empty()) return ERAR_END_ARCHIVE;
    FieldReader r(base);
    r.Skip(2);
    const std::uint8_t type = r.U8();
    const std::uint16_t flags = r.U16();
    const std::uint16_t headSize = r.U16();
    if (r.Short() || headSize < kBaseBlock) return ERAR_BAD_ARCHIVE;
    const std::string head = archive::ReadBlock(file_, at, headSize);
    if (head.size() != headSize) return ERAR_BAD_ARCHIVE;
    b.dataAt = at + headSize;
    b.flags = flags;
    if (type == kEndBlock) {
        b.kind = Block::kEnd;
        return 0;
    }
    FieldReader h(head);
    h.Skip(kBaseBlock);
    const bool hasData =
        type == kRar4FileBlock || type == kServiceBlock || (flags & kRar4LongBlock);
    if (hasData) b.dataSize = h.U32();
    if (type == kRar4FileBlock || type == kServiceBlock) {
        if (headSize < kRar4BlockSize) return ERAR_BAD_ARCHIVE;
        FieldReader fr(head);
        Rar4Block fb;
        if (ParseRar4Block(fr, fb) != HeaderResult::Ok) return ERAR_BAD_ARCHIVE;
        Rar4FileTail t;
        FieldReader tr(std::string_view(head).substr(kRar4BlockSize));
        if (ParseRar4Tail(tr, fb, t) != HeaderResult::Ok) return ERAR_BAD_ARCHIVE;
        b.dataSize |= std::uint64_t{t.packedHigh} << 32;
        if (type == kRar4FileBlock && fb.Listed()) {
            const std::uint16_t stored = static_cast<std::uint16_t>(
                static_cast<std::uint8_t>(head[0]) | (static_cast<std::uint8_t>(head[1]) << 8));
            if ((Crc32Of(std::string_view(head).substr(2)) & 0xFFFF) != stored)
                return ERAR_BAD_ARCHIVE;
            b.kind = Block::kFile;
            b.member = Rar4Member(fb, t);
        }
    }
    if (h.Short()) return ERAR_BAD_ARCHIVE;
    return 0;
}

// A RAR 5 header: its size, then the whole header, whose CRC is checked.
int RarReader::ReadBlock5(std::uint64_t at, Block& b) {
    const std::string window = archive::ReadBlock(file_, at, kRar5SizeWindow);
    if (window.empty()) return ERAR_END_ARCHIVE;
    std::uint64_t bodySize = 0;
    std::size_t bodyOffset = 0;
    if (ParseRar5Size(window, bodySize, bodyOffset) != HeaderResult::Ok) return ERAR_BAD_ARCHIVE;
    const std::string all = archive::ReadBlock(file_, at, bodyOffset + bodySize);
    if (all.size() != bodyOffset + bodySize) return ERAR_BAD_ARCHIVE;
    FieldReader crc(all);
    if (crc.U32() != Crc32Of(std::string_view(all).substr(4))) return ERAR_BAD_ARCHIVE;
    Rar5Header h;
    const HeaderResult result = ParseRar5Header(std::string_view(all).substr(bodyOffset), h);
    if (result == HeaderResult::Bad) return ERAR_BAD_ARCHIVE;
    if (h.type == 4) return ERAR_MISSING_PASSWORD;
    b.dataAt = at + all.size();
    b.dataSize = h.dataSize;
    b.flags = h.typeFlags;
    b.kind = h.type == 5 ? Block::kEnd : h.type == 2 ? Block::kFile : Block::kOther;
    if (b.kind == Block::kFile) b.member = Rar5Member(h);
    return 0;
}

int RarReader::ReadBlock(std::uint64_t at, Block& b) {
    return rar5_ ? ReadBlock5(at, b) : ReadBlock4(at, b);
}

int RarReader::NextVolume() {
    if (++volumes_ > kMaxVolumes) return ERAR_BAD_ARCHIVE;
    const std::string next = NextRarVolumeName(path_, newNaming_);
    if (next.empty()) return ERAR_EOPEN;
    const bool solid = solidArchive_;
    const int r = OpenVolume(next);
    solidArchive_ = solid;
    return r;
}

int RarReader::Next(RarMember& m) {
    if (haveCur_) Skip();
    for (;;) {
        if (encryptedHeaders_) return ERAR_MISSING_PASSWORD;
        Block b;
        const int r = ReadBlock(pos_, b);
        if (r == ERAR_END_ARCHIVE || (r == 0 && b.kind == Block::kEnd)) {
            // The end block tells whether a volume follows; without one, a
            // volume set goes on where the next volume is there.
            const bool more = r == 0 ? (b.flags & 1) != 0 : volumeSet_;
            if (!more || !volumeSet_) return ERAR_END_ARCHIVE;
            const int v = NextVolume();
            if (v != 0) return r == 0 ? v : ERAR_END_ARCHIVE;
            continue;
        }
        if (r != 0) return r;
        pos_ = AddCapped(b.dataAt, b.dataSize);
        // Continued members were passed over with the member they continue.
        if (b.kind != Block::kFile || b.member.splitBefore) continue;
        cur_ = b.member;
        dataPos_ = b.dataAt;
        dataLeft_ = b.dataSize;
        pieceError_ = 0;
        haveCur_ = true;
        m = cur_;
        return 0;
    }
}

bool RarReader::NextPiece() {
    if (!cur_.splitAfter || pieceError_ != 0) return false;
    const std::string name = cur_.name;
    pieceError_ = NextVolume();
    if (pieceError_ != 0) return false;
    for (;;) {
        Block b;
        const int r = ReadBlock(pos_, b);
        if (r != 0 || b.kind == Block::kEnd) {
            pieceError_ = r == ERAR_MISSING_PASSWORD ? r : ERAR_BAD_ARCHIVE;
            return false;
        }
        pos_ = AddCapped(b.dataAt, b.dataSize);
        if (b.kind != Block::kFile) continue;
        if (!b.member.splitBefore || b.member.name != name) {
            pieceError_ = ERAR_BAD_ARCHIVE;
            return false;
        }
        // The last piece's header holds the whole member's checksum.
        cur_.splitAfter = b.member.splitAfter;
        cur_.crc = b.member.crc;
        cur_.hasCrc = b.member.hasCrc;
        cur_.blake2sp = b.member.blake2sp;
        dataPos_ = b.dataAt;
        dataLeft_ = b.dataSize;
        return true;
    }
}

void RarReader::Skip() {
    if (!haveCur_) return;
    if (solidArchive_ && !cur_.Stored() && !cur_.directory) {
        Decode(nullptr, 0);
    } else {
        haveCur_ = false;
    }
}

int RarReader::Decode(OutputSink* out, std::uint64_t limit) {
    if (!haveCur_) return ERAR_BAD_ARCHIVE;
    haveCur_ = false;
    if (cur_.directory) return 0;
    int r = 0;
    if (cur_.encrypted) {
        r = ERAR_MISSING_PASSWORD;
    } else if (cur_.Stored()) {
        return CopyStored(out, limit);
    } else {
        r = Unpack(out, limit);
    }
    // A member not decoded to its end leaves nothing for a solid one to
    // continue from.
    chainBroken_ = r != 0 || (limit != 0 && out != nullptr);
    return r;
}

int RarReader::CopyStored(OutputSink* out, std::uint64_t limit) {
    CheckedSink sink(out, limit, cur_);
    PieceSource src(*this);
    // Not cleared, and no larger than the member: a small description does
    // not pay for a whole chunk.
    const auto chunk =
        static_cast<std::size_t>(std::clamp<std::uint64_t>(cur_.unpacked, 1, kCopyChunk));
    const std::unique_ptr<std::uint8_t[]> buf(new std::uint8_t[chunk]);
    std::uint64_t left = cur_.unpacked;
    while (left > 0 && !sink.Full()) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(left, chunk));
        const std::size_t got = src.Read(buf.get(), want);
        if (got == 0) return pieceError_ != 0 ? pieceError_ : ERAR_BAD_DATA;
        sink.Write(buf.get(), got);
        left -= got;
    }
    // A member cut at the limit cannot be checked.
    if (sink.Full() && sink.Total() < cur_.unpacked) return 0;
    return sink.Matches(cur_) ? 0 : ERAR_BAD_DATA;
}

// The archive's unpacker for the current member: a new one for a member that
// starts afresh with another family or window, the one in use for a solid
// member (which fails where no good state is there to continue).
RarUnpacker* RarReader::UnpackerFor(bool solid, int& error) {
    const RarFamily family = cur_.Family();
    if (family == RarFamily::None) {
        error = ERAR_UNKNOWN_FORMAT;
        return nullptr;
    }
    if (cur_.window > kRarMaxWindow) {
        error = ERAR_NO_MEMORY;
        return nullptr;
    }
    if (solid) {
        if (chainBroken_ || !unpacker_ || family != family_) error = ERAR_BAD_DATA;
        return error != 0 ? nullptr : unpacker_.get();
    }
    if (!unpacker_ || family != family_ || cur_.window != window_) {
        unpacker_ = maker_(family, static_cast<std::size_t>(cur_.window));
        family_ = family;
        window_ = cur_.window;
    }
    if (!unpacker_) error = ERAR_UNKNOWN_FORMAT;
    return unpacker_.get();
}

int RarReader::Unpack(OutputSink* out, std::uint64_t limit) {
    int error = 0;
    const bool solid = cur_.solid;
    RarUnpacker* unpacker = UnpackerFor(solid, error);
    if (!unpacker) return error;
    PieceSource src(*this);
    CheckedSink sink(out, limit, cur_);
    const RarUnpackResult res =
        unpacker->Unpack(src, out ? &sink : nullptr, {cur_.unpacked, solid, out ? limit : 0});
    if (pieceError_ != 0) return pieceError_;
    if (const int r = UnpackError(res.status); r != 0) return r;
    if (!out || (sink.Full() && sink.Total() < cur_.unpacked)) return 0;
    if (sink.Total() != cur_.unpacked) return ERAR_BAD_DATA;
    return sink.Matches(cur_) ? 0 : ERAR_BAD_DATA;
}

}  // namespace lumora::archive
