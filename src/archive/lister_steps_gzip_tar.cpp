// GZIP (one member per file, its header and trailer) and TAR (512-byte header
// blocks, each followed by its data rounded up to whole blocks).
#include <sys/stat.h>

#include <algorithm>
#include <string_view>

#include "archive/dos_date.h"
#include "archive/error_codes.h"
#include "archive/le_bytes.h"
#include "archive/lister_methods.h"
#include "archive/lister_steps.h"
#include "archive/routines.h"
#include "platform/text.h"

namespace lumora::archive {

namespace {

const std::uint8_t* Bytes(const std::string& s) {
    return reinterpret_cast<const std::uint8_t*>(s.data());
}

// --- GZIP ---------------------------------------------------------------

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

// --- TAR ----------------------------------------------------------------

constexpr std::size_t kBlock = 512;
constexpr std::size_t kMaxLongName = 65536;

std::string_view Field(const std::uint8_t* w, std::size_t at, std::size_t n) {
    return {reinterpret_cast<const char*>(w + at), n};
}

std::string_view UpToNul(std::string_view s) {
    return s.substr(0, s.find('\0'));
}

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
    return s;
}

// Octal text, or the base-256 form large sizes take (high bit of the first
// byte set).
std::uint64_t NumberField(std::string_view s) {
    if (!s.empty() && (static_cast<unsigned char>(s[0]) & 0x80)) {
        std::uint64_t v = static_cast<unsigned char>(s[0]) & 0x3F;
        for (std::size_t i = 1; i < s.size(); ++i) {
            if (v >> 56) return ~std::uint64_t{0};
            v = (v << 8) | static_cast<unsigned char>(s[i]);
        }
        return v;
    }
    return ParseOctal(Trimmed(s));
}

// The "path" record of pax extended header data ("LEN key=value\n" records).
std::string PaxPath(std::string_view data) {
    std::string path;
    while (!data.empty()) {
        const auto space = data.find(' ');
        if (space == std::string_view::npos || space == 0 || space > 20) break;
        std::size_t len = 0;
        for (char c : data.substr(0, space)) {
            if (c < '0' || c > '9') return path;
            len = len * 10 + static_cast<std::size_t>(c - '0');
        }
        if (len <= space + 1 || len > data.size()) break;
        std::string_view rec = data.substr(space + 1, len - space - 1);
        if (!rec.empty() && rec.back() == '\n') rec.remove_suffix(1);
        if (rec.substr(0, 5) == "path=") path = rec.substr(5);
        data.remove_prefix(len);
    }
    return path;
}

class TarWalker final : public HeaderWalker {
public:
    void Prepare(ListerRun& run) override {
        const std::int64_t start = run.Lister().ArchiveStart();
        run.SetWindow(kBlock);
        run.SetPosition(start > 0 ? static_cast<std::uint64_t>(start - 1) : 0);
    }
    void Step(ListerRun& run, std::uint64_t at, const std::uint8_t* w) override;

private:
    void ReportMember(ListerRun& run, std::uint64_t at, const std::uint8_t* w,
                      std::string_view name, std::uint64_t size);

    std::string longName_;  // from a GNU long-name or pax header, for the next member
};

void TarWalker::Step(ListerRun& run, std::uint64_t at, const std::uint8_t* w) {
    const std::string_view name = Trimmed(UpToNul(Field(w, 0, 100)));
    if (name.empty()) {
        run.EndWalk();
        return;
    }
    const char type = static_cast<char>(w[156]);
    const std::uint64_t size = NumberField(Field(w, 124, 12));
    const std::uint64_t data = at + kBlock;
    // Links, devices, folders and FIFOs carry no data whatever their size says.
    const bool hasData = type < '2' || type > '6';
    const std::uint64_t rounded = SaturatingAdd(size, kBlock - 1) / kBlock * kBlock;
    const std::uint64_t next = hasData ? SaturatingAdd(data, rounded) : data;
    if (type == 'L' || type == 'x') {
        const std::string text = run.ReadExact(
            data, static_cast<std::size_t>(std::min<std::uint64_t>(size, kMaxLongName)),
            ecode::BadFileHeader);
        longName_ = type == 'L' ? std::string(UpToNul(text)) : PaxPath(text);
    } else if (type != 'K' && type != 'g') {
        if (type == '\0' || type == '0' || type == '1') ReportMember(run, at, w, name, size);
        longName_.clear();
    }
    run.MoveTo(next, at);
}

void TarWalker::ReportMember(ListerRun& run, std::uint64_t at, const std::uint8_t* w,
                             std::string_view name, std::uint64_t size) {
    std::string full = longName_;
    if (full.empty()) {
        const std::string_view prefix = UpToNul(Field(w, 345, 155));
        const bool posix = Field(w, 257, 6) == std::string_view("ustar\0", 6);
        full = posix && !prefix.empty() ? std::string(prefix) + "/" + std::string(name)
                                        : std::string(name);
    }
    TListerMember& m = run.NewMember();
    const std::string_view time = Field(w, 136, 12);
    const bool timeHasDigits = time.find_first_of("01234567") != std::string_view::npos;
    m.FileDate = timeHasDigits ? UnixToDateTime(static_cast<std::int64_t>(ParseOctal(time)))
                               : DosDateToDateTime(0);
    m.PackedSize = m.UnpackedSize = size;
    m.Crc = static_cast<std::uint32_t>(ParseOctal(Field(w, 148, 8)));
    m.MethodName = MethodName(MethodFamily::TAR, 0);
    run.Report(full, at, EntryKind::Member);
}

}  // namespace

std::unique_ptr<HeaderWalker> MakeGzipWalker() {
    return std::make_unique<GzipWalker>();
}

std::unique_ptr<HeaderWalker> MakeTarWalker() {
    return std::make_unique<TarWalker>();
}

}  // namespace lumora::archive
