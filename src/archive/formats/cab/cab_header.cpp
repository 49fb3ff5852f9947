#include "archive/formats/cab/cab_header.h"

#include <algorithm>

#include "platform/text.h"

namespace lumora::archive {

namespace {

constexpr std::uint32_t kSignature = 0x4643534Du;  // "MSCF"
constexpr std::size_t kHeaderSize = 36;
constexpr std::size_t kReserveFields = 4;
constexpr std::size_t kFolderFixed = 8;
constexpr std::size_t kFileFixed = 16;
// Names have at most 256 bytes before their zero byte.
constexpr std::size_t kNameMax = 256;

// The names of the previous and the next cabinet, with their disks, as the
// flags announce them; `at` gets the position after them.
HeaderResult ReadNames(const InputFile& in, std::uint64_t& at, Cabinet& cab) {
    if (!(cab.flags & (kCabFlagPrev | kCabFlagNext))) return HeaderResult::Ok;
    const std::string block = ReadBlock(in, at, 4 * (kNameMax + 1));
    FieldReader r(block);
    if (cab.flags & kCabFlagPrev) {
        r.CString(kNameMax);
        r.CString(kNameMax);
    }
    if (cab.flags & kCabFlagNext) {
        cab.nextName = r.CString(kNameMax);
        cab.nextDisk = r.CString(kNameMax);
    }
    if (r.Short()) return HeaderResult::Bad;
    at += r.Pos();
    return HeaderResult::Ok;
}

// The folder entries from `at` that arrive whole, at most `count`.
void ReadFolders(const InputFile& in, std::uint64_t at, std::uint16_t count, Cabinet& cab) {
    const std::size_t step = kFolderFixed + cab.folderReserve;
    const std::string block = ReadBlock(in, at, std::uint64_t{count} * step);
    FieldReader r(block);
    for (std::uint16_t k = 0; k < count && r.Remaining() >= kFolderFixed; ++k) {
        CabFolderEntry f;
        f.dataOffset = r.U32();
        f.blockCount = r.U16();
        f.type = r.U16();
        cab.folders.push_back(f);
        r.Skip(cab.folderReserve);  // the last entry's reserve may be cut
    }
}

}  // namespace

bool Cabinet::ContinuesPrevious() const {
    if (!(flags & kCabFlagPrev) || folders.empty()) return false;
    return std::any_of(files.begin(), files.end(), [](const CabFileEntry& f) {
        return f.folder == kCabFromPrev || f.folder == kCabPrevAndNext;
    });
}

bool Cabinet::ContinuesToNext() const {
    if (!HasNext() || folders.empty()) return false;
    return std::any_of(files.begin(), files.end(), [](const CabFileEntry& f) {
        return f.folder == kCabToNext || f.folder == kCabPrevAndNext;
    });
}

int Cabinet::FolderOf(const CabFileEntry& f) const {
    const int count = static_cast<int>(folders.size());
    if (f.folder == kCabFromPrev || f.folder == kCabPrevAndNext) return count > 0 ? 0 : -1;
    if (f.folder == kCabToNext) return count - 1;
    return f.folder < count ? f.folder : -1;
}

HeaderResult ReadCabHeader(const InputFile& in, Cabinet& cab) {
    cab = Cabinet{};
    const std::string head = ReadBlock(in, 0, kHeaderSize + kReserveFields);
    FieldReader r(head);
    if (head.size() >= 4 && r.U32() != kSignature) return HeaderResult::Bad;
    if (head.size() < kHeaderSize) return HeaderResult::End;
    r.Seek(16);
    cab.filesOffset = r.U32();
    r.Seek(26);
    const std::uint16_t folderCount = r.U16();
    cab.fileCount = r.U16();
    cab.flags = r.U16();
    cab.setId = r.U16();
    r.Seek(kHeaderSize);
    std::uint64_t at = kHeaderSize;
    if (cab.flags & kCabFlagReserve) {
        const std::uint16_t headerReserve = r.U16();
        cab.folderReserve = r.U8();
        cab.dataReserve = r.U8();
        if (r.Short()) return HeaderResult::End;
        at += kReserveFields + headerReserve;
    }
    if (const HeaderResult names = ReadNames(in, at, cab); names != HeaderResult::Ok) return names;
    ReadFolders(in, at, folderCount, cab);
    return HeaderResult::Ok;
}

HeaderResult ReadCabFileEntry(const InputFile& in, std::uint64_t at, CabFileEntry& f,
                              std::uint64_t& next) {
    const std::string block = ReadBlock(in, at, kFileFixed + kNameMax + 1);
    if (block.size() <= kFileFixed) return HeaderResult::End;
    FieldReader r(block);
    f.size = r.U32();
    f.offset = r.U32();
    f.folder = r.U16();
    f.date = r.U16();
    f.time = r.U16();
    f.attrs = r.U16();
    f.name = r.CString(kNameMax);
    if (r.Short()) return HeaderResult::Bad;
    if (f.attrs & kCabNameIsUtf8) f.name = Utf8ToAnsi(f.name);
    next = at + r.Pos();
    return HeaderResult::Ok;
}

HeaderResult ReadCabinet(const InputFile& in, Cabinet& cab) {
    if (const HeaderResult h = ReadCabHeader(in, cab); h != HeaderResult::Ok) return h;
    std::uint64_t at = cab.filesOffset;
    for (std::uint16_t i = 0; i < cab.fileCount; ++i) {
        CabFileEntry f;
        std::uint64_t next = 0;
        if (ReadCabFileEntry(in, at, f, next) != HeaderResult::Ok) {
            cab.listCut = true;
            break;
        }
        cab.files.push_back(std::move(f));
        at = next;
    }
    return HeaderResult::Ok;
}

HeaderResult ReadCabBlockHeader(const InputFile& in, std::uint64_t at, const Cabinet& cab,
                                CabBlockHeader& block) {
    const std::string bytes = ReadBlock(in, at, CabBlockHeaderSize(cab));
    FieldReader r(bytes);
    r.Skip(4);  // checksum, not examined
    block.packed = r.U16();
    block.unpacked = r.U16();
    r.Skip(cab.dataReserve);
    return r.Short() ? HeaderResult::Bad : HeaderResult::Ok;
}

}  // namespace lumora::archive
