// ARJ: the main header (found by its signature and header CRC, also behind a
// self-extractor stub), then one header block per member, each followed by
// its extended headers and the member's data.
#include "archive/formats/arj/arj_walker.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "archive/core/crc.h"
#include "archive/core/dos_date.h"
#include "archive/core/error_codes.h"
#include "archive/core/le_bytes.h"
#include "archive/lister/lister_methods.h"
#include "archive/lister/lister_run.h"

namespace lumora::archive {

namespace {

constexpr std::size_t kMaxBasicHeader = 2600;
constexpr std::size_t kFixedPart = 30;
constexpr std::uint64_t kSearchBound = 25000;
constexpr int kMaxExtHeaders = 1024;

const std::uint8_t* Bytes(const std::string& s) {
    return reinterpret_cast<const std::uint8_t*>(s.data());
}

bool HeaderCrcMatches(const std::uint8_t* basic, std::size_t n, std::uint32_t stored) {
    Crc32 crc;
    crc.Update(basic, n);
    return crc.Value() == stored;
}

struct ArjHeader {
    std::string basic;        // the basic header
    std::uint64_t after = 0;  // position after its CRC and extended headers
};

// The header block at `at`; nullopt for the end mark (size 0).
std::optional<ArjHeader> ReadArjHeader(ListerRun& run, std::uint64_t at) {
    const std::string head = run.ReadExact(at, 4, ecode::BadFileHeader);
    if (Le16(Bytes(head)) != 0xEA60) run.Fail(ecode::BadFileHeader);
    const std::size_t n = Le16(Bytes(head) + 2);
    if (n == 0) return std::nullopt;
    if (n < kFixedPart || n > kMaxBasicHeader) run.Fail(ecode::BadFileHeader);
    ArjHeader h;
    h.basic = run.ReadExact(at + 4, n, ecode::BadFileHeader);
    const std::string crc = run.ReadExact(at + 4 + n, 4, ecode::BadFileHeader);
    if (!HeaderCrcMatches(Bytes(h.basic), n, Le32(Bytes(crc)))) run.Fail(ecode::HeaderCrcError);
    std::uint64_t q = at + 4 + n + 4;
    for (int i = 0;; ++i) {
        const std::uint16_t size = Le16(Bytes(run.ReadExact(q, 2, ecode::BadFileHeader)));
        q += 2;
        if (size == 0) break;
        q += std::uint64_t{size} + 4;
        if (i == kMaxExtHeaders || q > run.Size()) run.Fail(ecode::BadFileHeader);
    }
    h.after = q;
    return h;
}

// The zero-terminated text at `from` inside the basic header.
std::string BasicText(ListerRun& run, const std::string& basic, std::size_t from,
                      std::size_t* end = nullptr) {
    if (from > basic.size()) run.Fail(ecode::BadFileHeader);
    const auto nul = basic.find('\0', from);
    if (nul == std::string::npos) run.Fail(ecode::BadFileHeader);
    if (end) *end = nul + 1;
    return basic.substr(from, nul - from);
}

class ArjWalker final : public HeaderWalker {
public:
    void Prepare(ListerRun& run) override;
    void Step(ListerRun& run, std::uint64_t at, const std::uint8_t* w) override;

private:
    static std::uint64_t FindMainHeader(ListerRun& run);
};

// The first position from the archive start, within 25000 bytes, that holds
// the signature, a size of at most 2600 and a matching header CRC.
std::uint64_t ArjWalker::FindMainHeader(ListerRun& run) {
    const TZipTV& tv = run.Lister();
    const std::uint64_t from =
        tv.ArchiveStart() > 0 ? static_cast<std::uint64_t>(tv.ArchiveStart() - 1) : 0;
    std::uint64_t last = run.Size() >= 2 ? run.Size() - 2 : 0;
    if (last > kSearchBound) last = tv.ArcType() == atArjExe ? from + kSearchBound : kSearchBound;
    if (last <= from) run.Fail(ecode::BadArchive);
    const std::string buf =
        run.ReadBytes(from, static_cast<std::size_t>(last - from) + 4 + kMaxBasicHeader + 4);
    const auto* b = Bytes(buf);
    for (std::size_t i = 0; i < last - from && i + 4 <= buf.size(); ++i) {
        if (b[i] != 0x60 || b[i + 1] != 0xEA) continue;
        const std::size_t n = Le16(b + i + 2);
        if (n < kFixedPart || n > kMaxBasicHeader || i + 8 + n > buf.size()) continue;
        if (HeaderCrcMatches(b + i + 4, n, Le32(b + i + 4 + n))) return from + i;
    }
    run.Fail(ecode::BadArchive);
}

void ArjWalker::Prepare(ListerRun& run) {
    const std::uint64_t at = FindMainHeader(run);
    const std::optional<ArjHeader> main = ReadArjHeader(run, at);
    if (!main) run.Fail(ecode::BadArchive);
    std::size_t afterName = 0;
    BasicText(run, main->basic, Bytes(main->basic)[0], &afterName);
    run.SetArchiveComment(BasicText(run, main->basic, afterName));
    run.SetWindow(34);
    run.SetPosition(main->after);
}

void ArjWalker::Step(ListerRun& run, std::uint64_t at, const std::uint8_t*) {
    const std::optional<ArjHeader> h = ReadArjHeader(run, at);
    if (!h) {
        run.EndWalk();
        return;
    }
    const auto* b = Bytes(h->basic);
    const std::string name = BasicText(run, h->basic, b[0]);
    const std::uint8_t fileType = b[6];
    TListerMember& m = run.NewMember();
    m.VersionMadeBy = b[1];
    m.VersionNeeded = b[2];
    m.Encrypted = (b[4] & 1) != 0;
    m.MethodCode = b[5];
    m.MethodName = MethodName(MethodFamily::ARJ, b[5]);
    m.FileDate = DosDateToDateTime(Le32(b + 8));
    m.PackedSize = Le32(b + 12);
    m.UnpackedSize = Le32(b + 16);
    m.Crc = Le32(b + 20);
    m.ExternalAttr = Le16(b + 26);
    m.InternalAttr = 32;
    if (fileType == 0 || fileType == 1) {
        run.Report(name, at, EntryKind::Member);
    } else if (fileType == 3) {
        run.Report(name, at, EntryKind::Directory);
    }
    run.MoveTo(SaturatingAdd(h->after, m.PackedSize), at);
}

}  // namespace

std::unique_ptr<HeaderWalker> MakeArjWalker() {
    return std::make_unique<ArjWalker>();
}

}  // namespace lumora::archive
