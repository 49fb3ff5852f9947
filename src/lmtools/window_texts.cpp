#include "lmtools/window_texts.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cinttypes>
#include <cstdio>
#include <ctime>

#include "archive/lister/zip_tv.h"

namespace lumora::lmtools {

namespace {

std::string SizeText(std::uint64_t bytes, const LocaleFormats& formats) {
    // The byte count with a " KB" suffix and no scaling, as the window always
    // showed it.
    return GroupedDigits(bytes, formats.thousandsSeparator) + " KB";
}

}  // namespace

std::string GroupedDigits(std::uint64_t value, const std::string& separator) {
    const std::string digits = std::to_string(value);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += separator;
        out += digits[i];
    }
    return out;
}

std::string DateTimeText(const LocaleFormats& formats, TDateTime t) {
    const DateParts p = DecodeDateTime(t);
    std::string text = FormatShortDate(formats, t);
    if (p.hour != 0 || p.minute != 0 || p.second != 0) text += " " + FormatLongTime(formats, t);
    return text;
}

ContentsRow MakeContentsRow(const archive::TZipTV& lister, const LocaleFormats& formats) {
    const archive::TListerMember& m = lister.Member();
    const std::string& stored = lister.FileName();
    const std::size_t cut = stored.rfind('\\');
    ContentsRow row;
    row.name = cut == std::string::npos ? stored : stored.substr(cut + 1);
    row.directory = cut == std::string::npos ? std::string() : stored.substr(0, cut + 1);
    row.size = SizeText(m.UnpackedSize, formats);
    row.date = DateTimeText(formats, m.FileDate);
    row.ratio = std::to_string(unsigned{m.Ratio}) + " %";
    row.packed = SizeText(m.PackedSize, formats);
    return row;
}

std::optional<FileFacts> ReadFileFacts(int fd) {
    struct statx sx {};
    if (fd < 0 || statx(fd, "", AT_EMPTY_PATH, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0)
        return std::nullopt;
    FileFacts facts;
    facts.size = sx.stx_size;
    if (sx.stx_mask & STATX_BTIME) facts.created = sx.stx_btime.tv_sec;
    facts.accessed = sx.stx_atime.tv_sec;
    facts.written = sx.stx_mtime.tv_sec;
    facts.links = sx.stx_nlink;
    facts.volume = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    facts.readOnly = (sx.stx_mode & S_IWUSR) == 0;
    facts.compressed = (sx.stx_attributes_mask & STATX_ATTR_COMPRESSED) &&
                       (sx.stx_attributes & STATX_ATTR_COMPRESSED);
    return facts;
}

std::string UtcStampText(std::int64_t unixSeconds) {
    const std::time_t t = static_cast<std::time_t>(unixSeconds);
    std::tm tm{};
    if (!gmtime_r(&t, &tm)) return "#";
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.2d.%.2d.%d\t%.2d:%.2d:%.2d", tm.tm_mday, tm.tm_mon + 1,
                  tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buf;
}

std::string VolumeNumberText(std::uint64_t volume) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%.10" PRIX64, volume);
    return buf;
}

}  // namespace lumora::lmtools
