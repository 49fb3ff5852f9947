// CAB: the file entries named by the cabinet header, as many as it counts.
#include "archive/formats/cab/cab_walker.h"

#include <vector>

#include "archive/core/dos_date.h"
#include "archive/core/error_codes.h"
#include "archive/core/le_bytes.h"
#include "archive/lister/lister_methods.h"
#include "archive/lister/lister_run.h"
#include "platform/text.h"

namespace lumora::archive {

namespace {

const std::uint8_t* Bytes(const std::string& s) {
    return reinterpret_cast<const std::uint8_t*>(s.data());
}

constexpr std::size_t kCabHeader = 36;
constexpr std::size_t kCabNameMax = 257;  // 256 bytes and the zero byte
constexpr std::uint16_t kNameIsUtf8 = 0x80;

class CabWalker final : public HeaderWalker {
public:
    void Prepare(ListerRun& run) override;
    void Step(ListerRun& run, std::uint64_t at, const std::uint8_t* w) override;

private:
    // Header problems end the listing with a warning, not an error.
    void Stop(ListerRun& run, int code) {
        run.Warn(code);
        run.EndWalk();
    }
    std::uint64_t SkipText(ListerRun& run, std::uint64_t at) {
        const std::string s = run.ReadBytes(at, kCabNameMax);
        const auto nul = s.find('\0');
        return nul == std::string::npos ? run.Size() : at + nul + 1;
    }
    std::uint16_t FolderType(std::uint16_t index) const;

    std::vector<std::uint16_t> folderTypes_;
    unsigned remaining_ = 0;
};

void CabWalker::Prepare(ListerRun& run) {
    run.SetWindow(16);
    const std::string h = run.ReadBytes(0, kCabHeader);
    if (h.size() < kCabHeader) return Stop(run, ecode::ReadError);
    if (h.compare(0, 4, "MSCF") != 0) return Stop(run, ecode::BadFileHeader);
    const auto* b = Bytes(h);
    const std::uint16_t flags = Le16(b + 30);
    std::uint64_t p = kCabHeader;
    std::size_t folderReserve = 0;
    if (flags & 4) {
        const std::string r = run.ReadBytes(p, 4);
        if (r.size() < 4) return Stop(run, ecode::ReadError);
        folderReserve = Bytes(r)[2];
        p += 4 + Le16(Bytes(r));
    }
    for (int names = ((flags & 1) ? 2 : 0) + ((flags & 2) ? 2 : 0); names > 0; --names) {
        p = SkipText(run, p);
    }
    // The folders' compression types give the members' method names.
    for (unsigned k = 0; k < Le16(b + 26); ++k) {
        const std::string f = run.ReadBytes(p + k * (8 + folderReserve), 8);
        if (f.size() < 8) break;
        folderTypes_.push_back(Le16(Bytes(f) + 6));
    }
    remaining_ = Le16(b + 28);
    run.SetPosition(Le32(b + 16));
    if (remaining_ == 0) run.EndWalk();
}

std::uint16_t CabWalker::FolderType(std::uint16_t index) const {
    if (folderTypes_.empty()) return 0;
    if (index == 0xFFFE) return folderTypes_.back();   // continued in the next cabinet
    if (index >= 0xFFFD) return folderTypes_.front();  // continued from the previous one
    return index < folderTypes_.size() ? folderTypes_[index] : 0;
}

void CabWalker::Step(ListerRun& run, std::uint64_t at, const std::uint8_t* w) {
    const std::string s = run.ReadBytes(at + 16, kCabNameMax);
    const auto nul = s.find('\0');
    if (nul == std::string::npos) return Stop(run, ecode::BadFileHeader);
    const std::uint16_t attribs = Le16(w + 14);
    const std::string name =
        (attribs & kNameIsUtf8) ? Utf8ToAnsi(s.substr(0, nul)) : s.substr(0, nul);
    TListerMember& m = run.NewMember();
    m.UnpackedSize = Le32(w);
    m.FileDate = DosDateToDateTime((std::uint32_t{Le16(w + 10)} << 16) | Le16(w + 12));
    m.MethodCode = FolderType(Le16(w + 8));
    m.MethodName = MethodName(MethodFamily::CAB, m.MethodCode);
    if (m.MethodName == "Unknown" && (m.MethodCode & 0x0F) == 3) m.MethodName = "LZX";
    if (m.MethodName == "Unknown" && (m.MethodCode & 0x0F) == 2) m.MethodName = "Quantum";
    m.ExternalAttr = attribs;
    m.InternalAttr = 32;
    run.Report(name, at, EntryKind::Member);
    if (--remaining_ == 0) {
        run.EndWalk();
        return;
    }
    run.MoveTo(at + 16 + nul + 1, at);
}

}  // namespace

std::unique_ptr<HeaderWalker> MakeCabWalker() {
    return std::make_unique<CabWalker>();
}

}  // namespace lumora::archive
