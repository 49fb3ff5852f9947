#include "archive/core/detect.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "archive/core/dos_date.h"
#include "archive/core/field_reader.h"
#include "archive/core/input_file.h"
#include "archive/core/le_bytes.h"
#include "archive/core/pe_strings.h"
#include "archive/core/routines.h"

namespace lumora::archive {

namespace {

constexpr std::size_t kHeadBytes = 15;  // two ARC header bytes + 13-byte name field

bool HasArcNameField(const std::uint8_t* head, std::size_t len) {
    if (head == nullptr || len < 3) return false;
    const std::uint8_t* end = head + std::min(len, kHeadBytes);
    return std::find(head + 2, end, 0) != end;
}

TArcType Pick(SigMode mode, TArcType start, TArcType inside) {
    return mode == SigMode::Start ? start : inside;
}

bool ReadSig(const InputFile& f, std::uint64_t offset, std::uint32_t& value) {
    const std::string b = ReadBlock(f, offset, 4);
    FieldReader r(b);
    value = r.U32();
    return !r.Short();
}

// A decimal offset from the string table, or nullopt to stop the pass.
std::optional<std::uint64_t> ParseOffset(const std::string& s, std::uint64_t size) {
    std::uint64_t v = 0;
    if (s.empty() ||
        !std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    std::from_chars(s.data(), s.data() + s.size(), v);
    if (v >= size) return std::nullopt;
    return v;
}

// First pass: offsets published in the executable's string table. True when
// it decided the type.
bool StringTablePass(const InputFile& f, Detection& d) {
    const auto strings = ReadPeStrings(f);
    if (!strings) return false;
    for (const std::string& s : *strings) {
        const auto offset = ParseOffset(s, d.archiveSize);
        if (!offset) return false;
        d.archiveStart = static_cast<std::int64_t>(*offset);
        std::uint32_t sig;
        if (ReadSig(f, *offset, sig))
            d.type = ClassifySignature(sig, SigMode::Inside, d.archiveStart);
        if (d.type != atUnknown) {
            if (IsZipType(d.type)) d.sfxOffset = d.archiveStart;
            d.archiveStart += 1;
            return true;
        }
    }
    return false;
}

// Second pass: the archive right after the DOS image.
void DosImagePass(const InputFile& f, const std::uint8_t* head, Detection& d) {
    const std::int64_t p = (std::int64_t{Le16(head + 4)} - 1) * 512 + Le16(head + 2);
    if (p < 0 || static_cast<std::uint64_t>(p) >= d.archiveSize) return;
    const std::string b = ReadBlock(f, static_cast<std::uint64_t>(p), 4);
    if (b.size() != 4) return;
    d.archiveStart = (b[2] == '\x60' && b[3] == '\xEA') ? p + 3 : p + 1;
    std::uint32_t sig;
    if (ReadSig(f, static_cast<std::uint64_t>(d.archiveStart - 1), sig)) {
        d.type = ClassifySignature(sig, SigMode::Inside, d.archiveStart);
    }
}

// Third pass: a ZIP end record within the last ZipCmntBufSize + 23 bytes.
void EndRecordPass(const InputFile& f, int cmntBufSize, Detection& d) {
    const auto size = static_cast<std::int64_t>(d.archiveSize);
    std::int64_t len;
    if (cmntBufSize + 23 <= size) {
        len = cmntBufSize + 23;
    } else {
        len = cmntBufSize == 0 ? 23 : size - 76;
    }
    len = std::clamp<std::int64_t>(len, 0, size);
    if (len < 22) return;
    const std::uint64_t base = d.archiveSize - static_cast<std::uint64_t>(len);
    const std::string buf = ReadBlock(f, base, static_cast<std::size_t>(len));
    const std::size_t got = buf.size();
    for (std::size_t i = got >= 22 ? got - 22 + 1 : 0; i-- > 0;) {
        if (Le32(BytesOf(buf) + i) != 0x06054B50u) continue;
        // The end record names the central directory; its first record gives
        // where the archive starts inside the executable.
        FieldReader end(std::string_view(buf).substr(i, 22));
        end.Skip(16);
        const std::string central = ReadBlock(f, end.U32(), 46);
        FieldReader c(central);
        const std::uint32_t signature = c.U32();
        c.Seek(42);
        const std::uint32_t localOffset = c.U32();
        if (!end.Short() && !c.Short() && signature == 0x02014B50u) {
            d.archiveStart = localOffset;
            d.type = atZipExe;
        }
        return;
    }
}

bool HasTarExtension(const std::string& path) {
    const auto slash = path.rfind('/');
    const std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    const auto dot = name.rfind('.');
    if (dot == std::string::npos) return false;
    std::string ext = name.substr(dot);
    for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return ext == ".TAR";
}

// The header checksum of the first block (or of the second, after a volume
// label), the eight checksum bytes counted as spaces.
void TarCheck(const InputFile& f, const std::string& path, Detection& d) {
    if (d.type != atUnknown || d.archiveSize <= 512 || !HasTarExtension(path)) return;
    std::string block = ReadBlock(f, 0, 512);
    if (block.size() != 512) return;
    if (block[156] == 'V') {
        d.archiveStart = 513;
        block = ReadBlock(f, 512, 512);
        if (block.size() != 512) {
            d.archiveStart = 1;
            return;
        }
    }
    const std::uint64_t stored = ParseOctal(std::string_view(block).substr(148, 8));
    std::uint64_t sum = 8 * 32;
    for (std::size_t i = 0; i < 512; ++i) {
        if (i < 148 || i >= 156) sum += static_cast<std::uint8_t>(block[i]);
    }
    if (sum == stored) {
        d.type = atTAR;
    } else {
        d.archiveStart = 1;
    }
}

}  // namespace

TArcType ClassifySignature(std::uint32_t value, SigMode mode, std::int64_t& archiveStart,
                           const std::uint8_t* head, std::size_t headLen) {
    const std::uint32_t lo = value & 0xFFFF, hi = value >> 16;
    if (value == 0x04034B50u) return Pick(mode, atZIP, atZipExe);
    if (value == 0x4643534Du) return Pick(mode, atCAB, atNA);
    if (value == 0x50000000u) return Pick(mode, atZip250, atZip250Exe);
    if (value == 0x07054842u) return Pick(mode, atBH, atBHExe);
    if (lo == 0x4148) return Pick(mode, atHA, atNA);
    if (lo == 0x8B1F || lo == 0x9D1F || lo == 0x9E1F || lo == 0x1E1F || lo == 0xA01F) {
        return Pick(mode, atGZip, atNA);
    }
    if (lo == 0xEA60) return Pick(mode, atARJ, atArjExe);
    if (lo == 0x4F5A) return Pick(mode, atZOO, atNA);
    if (hi == 0x6C2D) return Pick(mode, atLHA, atLhaExe);
    if (lo == 0x6152) return Pick(mode, atRAR, atRarExe);
    if (lo == 0x0A1A || lo == 0x0B1A) return Pick(mode, atPAK, atPakExe);
    if (lo == 0x081A || lo == 0x091A) return Pick(mode, atARC, atArcExe);
    // ARC archives whose first member is stored, packed or squeezed.
    if ((lo & 0xFF) == 0x1A && (lo >> 8) >= 1 && (lo >> 8) <= 7 && mode == SigMode::Start &&
        HasArcNameField(head, headLen)) {
        return atARC;
    }
    if (lo == 0x92B7 || lo == 0xDFB7) {
        archiveStart = 7717;
        return atArcExe;
    }
    return atUnknown;
}

Detection DetectArcType(const InputFile& f, const std::string& path, int zipCmntBufSize) {
    Detection d;
    if (!f.IsOpen()) {
        d.type = atFileError;
        return d;
    }
    d.archiveStart = 1;
    d.archiveSize = f.Size();
    d.archiveDate = UnixToDosDate(f.ModifiedTime());
    std::uint8_t head[kHeadBytes] = {};
    const std::size_t headLen = f.ReadAt(0, head, kHeadBytes);
    if (d.archiveSize <= 5 || headLen < 6) {
        d.type = atFileError;
    } else if (head[0] == 'M' && head[1] == 'Z') {
        d.type = atUnknown;
        if (!StringTablePass(f, d)) {
            DosImagePass(f, head, d);
            if (d.type == atUnknown) EndRecordPass(f, zipCmntBufSize, d);
            TarCheck(f, path, d);
        }
    } else {
        d.type = ClassifySignature(Le32(head), SigMode::Start, d.archiveStart, head, headLen);
        TarCheck(f, path, d);
    }
    return d;
}

Detection DetectArcType(const std::string& path, int zipCmntBufSize) {
    if (path.empty()) return {};
    InputFile f;
    f.Open(path);
    Detection d = DetectArcType(f, path, zipCmntBufSize);
    if (f.IsOpen()) d.closeFailed = !f.Close();
    return d;
}

}  // namespace lumora::archive
