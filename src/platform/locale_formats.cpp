#include "platform/locale_formats.h"

#include <langinfo.h>

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "platform/text.h"

namespace lumora {

namespace {

std::string TwoDigits(int v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

// Length of the run of `c` starting at `i`.
std::size_t RunLength(const std::string& s, std::size_t i, char c) {
    std::size_t n = 0;
    while (i + n < s.size() && (s[i + n] | 0x20) == c) ++n;
    return n;
}

}  // namespace

std::string FormatDateTimeTokens(const std::string& tokens, TDateTime t) {
    const DateParts p = DecodeDateTime(t);
    std::string out;
    for (std::size_t i = 0; i < tokens.size();) {
        const char c = static_cast<char>(tokens[i] | 0x20);
        const std::size_t run = (c >= 'a' && c <= 'z') ? RunLength(tokens, i, c) : 0;
        int value = -1;
        switch (run ? c : 0) {
            case 'd':
                value = p.day;
                break;
            case 'm':
                value = p.month;
                break;
            case 'h':
                value = p.hour;
                break;
            case 'n':
                value = p.minute;
                break;
            case 's':
                value = p.second;
                break;
            case 'y':
                out += run >= 3 ? std::to_string(p.year) : TwoDigits(p.year % 100);
                i += run;
                continue;
            default:
                break;
        }
        if (value < 0) {
            out += tokens[i++];
            continue;
        }
        out += run >= 2 ? TwoDigits(value) : std::to_string(value);
        i += run;
    }
    return out;
}

std::string FormatShortDate(const LocaleFormats& f, TDateTime t) {
    return FormatDateTimeTokens(f.shortDate, t);
}

std::string FormatLongTime(const LocaleFormats& f, TDateTime t) {
    return FormatDateTimeTokens(f.longTime, t);
}

std::string FormatThousands(const LocaleFormats& f, double value) {
    const double rounded = std::round(value);
    const bool negative = rounded < 0;
    char digits[64];
    const double magnitude = std::fabs(rounded);
    std::string_view d;
    if (magnitude < 1e18) {
        // A whole number printed as an integer reads as "%.0f" does, faster.
        const auto end =
            std::to_chars(digits, digits + sizeof digits, static_cast<std::uint64_t>(magnitude))
                .ptr;
        d = std::string_view(digits, static_cast<std::size_t>(end - digits));
    } else {
        std::snprintf(digits, sizeof digits, "%.0f", magnitude);
        d = digits;
    }
    std::string out;
    for (std::size_t i = 0; i < d.size(); ++i) {
        if (i > 0 && (d.size() - i) % 3 == 0) out += f.thousandsSeparator;
        out += d[i];
    }
    return negative ? "-" + out : out;
}

std::string StrftimeToTokens(const std::string& pattern) {
    std::string out;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%' || i + 1 == pattern.size()) {
            out += pattern[i];
            continue;
        }
        char c = pattern[++i];
        if ((c == 'E' || c == 'O' || c == '-' || c == '_' || c == '0') && i + 1 < pattern.size())
            c = pattern[++i];
        switch (c) {
            case 'd':
                out += "dd";
                break;
            case 'e':
                out += "d";
                break;
            case 'm':
                out += "mm";
                break;
            case 'y':
                out += "yy";
                break;
            case 'Y':
                out += "yyyy";
                break;
            case 'H':
            case 'I':
                out += "hh";
                break;
            case 'k':
            case 'l':
                out += "h";
                break;
            case 'M':
                out += "nn";
                break;
            case 'S':
                out += "ss";
                break;
            case 'T':
                out += "hh:nn:ss";
                break;
            case 'R':
                out += "hh:nn";
                break;
            case 'D':
                out += "mm/dd/yy";
                break;
            case 'F':
                out += "yyyy-mm-dd";
                break;
            case '%':
                out += '%';
                break;
            default:
                break;  // zone names, AM/PM and the like are left out
        }
    }
    // Drop blanks left behind by removed fields at the end.
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

LocaleFormats LocaleFormats::FromCLocale() {
    LocaleFormats f;
    const char* date = nl_langinfo(D_FMT);
    const char* time = nl_langinfo(T_FMT);
    if (date && *date) f.shortDate = StrftimeToTokens(date);
    if (time && *time) f.longTime = StrftimeToTokens(time);
    const std::lconv* conv = std::localeconv();
    std::string sep = conv && conv->thousands_sep ? conv->thousands_sep : "";
    sep = Utf8ToAnsi(sep);
    // A separator without a Windows-1252 code (narrow no-break space) shows
    // as a plain no-break space.
    if (sep == "?") sep.assign(1, static_cast<char>(0xA0));
    f.thousandsSeparator = sep;
    return f;
}

}  // namespace lumora
