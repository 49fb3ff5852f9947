#include "archive/formats/cab/cab_records.h"

#include <algorithm>
#include <array>

#include "archive/core/le_bytes.h"

namespace lumora::archive {

namespace {

constexpr std::size_t kHeaderSize = 36;
constexpr std::size_t kReserveFields = 4;
constexpr std::size_t kFileFixed = 16;
constexpr std::size_t kNameMax = 256;

// Sequential reading of header fields from a file position.
class FieldReader {
public:
    FieldReader(const InputFile& in, std::uint64_t pos) : in_(in), pos_(pos) {}

    bool Read(std::uint8_t* dst, std::size_t n) {
        const bool ok = in_.ReadAt(pos_, dst, n) == n;
        pos_ += n;
        return ok;
    }
    void Skip(std::uint64_t n) { pos_ += n; }
    std::uint64_t Pos() const { return pos_; }

    // A zero-terminated text of at most `max` bytes before its zero; false
    // when no zero byte arrives in time.
    bool CString(std::string& out, std::size_t max) {
        std::array<char, kNameMax + 1> buf{};
        const std::size_t got = in_.ReadAt(pos_, buf.data(), max + 1);
        const auto end = std::find(buf.begin(), buf.begin() + got, '\0');
        if (end == buf.begin() + got) return false;
        out.assign(buf.data(), static_cast<std::size_t>(end - buf.begin()));
        pos_ += out.size() + 1;
        return true;
    }

private:
    const InputFile& in_;
    std::uint64_t pos_;
};

CabReadStatus ReadNames(FieldReader& r, Cabinet& cab) {
    std::string name;
    std::string disk;
    if (cab.flags & kCabFlagPrev) {
        if (!r.CString(name, kNameMax - 1) || !r.CString(disk, kNameMax - 1))
            return CabReadStatus::kBadHeader;
    }
    if (cab.flags & kCabFlagNext) {
        if (!r.CString(cab.nextName, kNameMax - 1) || !r.CString(cab.nextDisk, kNameMax - 1))
            return CabReadStatus::kBadHeader;
    }
    return CabReadStatus::kOk;
}

void ReadFolders(FieldReader& r, std::uint16_t count, Cabinet& cab) {
    for (std::uint16_t k = 0; k < count; ++k) {
        std::array<std::uint8_t, 8> rec;
        if (!r.Read(rec.data(), rec.size())) return;
        cab.folders.push_back({Le32(rec.data()), Le16(rec.data() + 4), Le16(rec.data() + 6)});
        r.Skip(cab.folderReserve);
    }
}

// Reads at most `count` entries; an entry cut short or a name without its end
// ends the list.
void ReadFiles(FieldReader& r, std::uint16_t count, Cabinet& cab) {
    for (std::uint16_t i = 0; i < count; ++i) {
        std::array<std::uint8_t, kFileFixed> rec;
        CabFileEntry f;
        if (!r.Read(rec.data(), rec.size()) || !r.CString(f.name, kNameMax - 1)) {
            cab.listCut = true;
            return;
        }
        f.size = Le32(rec.data());
        f.offset = Le32(rec.data() + 4);
        f.folder = Le16(rec.data() + 8);
        f.date = Le16(rec.data() + 10);
        f.time = Le16(rec.data() + 12);
        f.attrs = Le16(rec.data() + 14);
        cab.files.push_back(std::move(f));
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

CabReadStatus ReadCabinet(const InputFile& in, Cabinet& cab) {
    cab = Cabinet{};
    std::array<std::uint8_t, kHeaderSize> h;
    const std::size_t got = in.ReadAt(0, h.data(), h.size());
    if (got >= 4 && Le32(h.data()) != 0x4643534Du) return CabReadStatus::kBadSignature;
    if (got < h.size()) return CabReadStatus::kShort;
    const std::uint32_t filesOffset = Le32(h.data() + 16);
    const std::uint16_t folderCount = Le16(h.data() + 26);
    const std::uint16_t fileCount = Le16(h.data() + 28);
    cab.flags = Le16(h.data() + 30);
    cab.setId = Le16(h.data() + 32);

    FieldReader r(in, kHeaderSize);
    if (cab.flags & kCabFlagReserve) {
        std::array<std::uint8_t, kReserveFields> res;
        if (!r.Read(res.data(), res.size())) return CabReadStatus::kShort;
        cab.folderReserve = res[2];
        cab.dataReserve = res[3];
        r.Skip(Le16(res.data()));
    }
    if (const CabReadStatus s = ReadNames(r, cab); s != CabReadStatus::kOk) return s;
    ReadFolders(r, folderCount, cab);
    if (cab.folders.empty()) return CabReadStatus::kShort;

    FieldReader files(in, filesOffset);
    ReadFiles(files, fileCount, cab);
    return CabReadStatus::kOk;
}

}  // namespace lumora::archive
