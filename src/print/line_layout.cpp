#include "print/line_layout.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace lumora::print {

double ToInches(double value, TMeasureUnit unit) {
    return unit == TMeasureUnit::muMillimeters ? value / kMillimetresPerInch : value;
}

double FromInches(double inches, TMeasureUnit unit) {
    return unit == TMeasureUnit::muMillimeters ? inches * kMillimetresPerInch : inches;
}

PaperInfo FallbackPaper(TMeasureUnit unit) {
    if (unit == TMeasureUnit::muMillimeters) {
        const double mm = 1 / kMillimetresPerInch;
        return {210 * mm, 297 * mm, 198 * mm, 284 * mm, 6 * mm, 6 * mm, 300, 300};
    }
    return {8.5, 11, 8, 10.5, 0.25, 0.25, 300, 300};
}

namespace {

double RoundedPixels(double value, TMeasureUnit unit, int dpi) {
    return std::round(ToInches(value, unit) * dpi);
}

}  // namespace

Margins MinimumMargins(const PaperInfo& paper, TMeasureUnit unit) {
    Margins m;
    m.left = FromInches(paper.offsetLeft, unit);
    m.top = FromInches(paper.offsetTop, unit);
    m.right = FromInches(paper.physicalWidth - paper.printableWidth - paper.offsetLeft, unit);
    m.bottom = FromInches(paper.physicalHeight - paper.printableHeight - paper.offsetTop, unit);
    return m;
}

Margins ClampMargins(const Margins& wanted, const PaperInfo& paper, TMeasureUnit unit) {
    const Margins low = MinimumMargins(paper, unit);
    const double width = FromInches(paper.physicalWidth, unit);
    const double height = FromInches(paper.physicalHeight, unit);
    auto clamp = [](double v, double lowest, double highest) {
        return std::min(std::max(v, lowest), highest);
    };
    Margins m;
    m.top = clamp(wanted.top, low.top, height - low.bottom);
    m.bottom = clamp(wanted.bottom, low.bottom, height - low.top);
    m.left = clamp(wanted.left, low.left, width - low.right);
    m.right = clamp(wanted.right, low.right, width - low.left);
    return m;
}

int ToPixels(double value, TMeasureUnit unit, int dpi) {
    const double pixels = RoundedPixels(value, unit, dpi);
    if (!(pixels >= std::numeric_limits<int>::min() && pixels <= std::numeric_limits<int>::max()))
        return 0;
    return static_cast<int>(pixels);
}

namespace {

// The printable length less both offsets, or 0 when that is negative or
// leaves the int range.
int UsableLength(double printable, double before, double after) {
    const double r = printable - before - after;
    return r >= 0 && r <= std::numeric_limits<int>::max() ? static_cast<int>(r) : 0;
}

}  // namespace

TextArea ComputeTextArea(const PaperInfo& paper, const Margins& margins, TMeasureUnit unit) {
    const Margins low = MinimumMargins(paper, unit);
    const double left = RoundedPixels(margins.left - low.left, unit, paper.dpiX);
    const double top = RoundedPixels(margins.top - low.top, unit, paper.dpiY);
    const double right = RoundedPixels(margins.right - low.right, unit, paper.dpiX);
    const double bottom = RoundedPixels(margins.bottom - low.bottom, unit, paper.dpiY);
    TextArea a;
    a.left = ToPixels(margins.left - low.left, unit, paper.dpiX);
    a.top = ToPixels(margins.top - low.top, unit, paper.dpiY);
    a.right = ToPixels(margins.right - low.right, unit, paper.dpiX);
    a.bottom = ToPixels(margins.bottom - low.bottom, unit, paper.dpiY);
    a.width = UsableLength(RoundedPixels(paper.printableWidth, TMeasureUnit::muInches, paper.dpiX),
                           left, right);
    a.height = UsableLength(
        RoundedPixels(paper.printableHeight, TMeasureUnit::muInches, paper.dpiY), top, bottom);
    return a;
}

int LineAdvance(int baseHeight, TLineSpacing spacing) {
    switch (spacing) {
        case TLineSpacing::lsHalfSpace:
            return baseHeight / 2;
        case TLineSpacing::lsSingleAndAHalf:
            return baseHeight / 2 + baseHeight;
        case TLineSpacing::lsDoubleSpace:
            return 2 * baseHeight;
        case TLineSpacing::lsSingleSpace:
            break;
    }
    return baseHeight;
}

std::u16string ExpandTabs(std::u16string_view text, int tabSize) {
    const std::size_t step = static_cast<std::size_t>(std::max(tabSize, 1));
    std::u16string out;
    out.reserve(text.size());
    for (char16_t c : text) {
        if (c == u'\t')
            out.append(step - out.size() % step, u' ');
        else
            out.push_back(c);
    }
    return out;
}

std::size_t LongestFittingPrefix(std::size_t length, int space,
                                 const std::function<int(std::size_t)>& widthOf) {
    if (length == 0) return 0;
    std::size_t best = 1;
    std::size_t low = 1;
    std::size_t high = length;
    while (low <= high) {
        const std::size_t mid = low + (high - low) / 2;
        const int width = widthOf(mid);
        if (width == space) return mid;
        if (width < space) {
            best = mid;
            low = mid + 1;
        } else {
            high = mid - 1;
        }
    }
    return best;
}

WrapPiece WrapAt(std::u16string_view text, std::size_t fit) {
    if (fit >= text.size()) return {text.size(), text.size()};
    auto isBreak = [](char16_t c) { return c < 33; };
    // The blank right after the piece goes with it but is not printed, so a
    // right-aligned piece keeps to the margin.
    if (isBreak(text[fit])) return {fit, fit + 1};
    for (std::size_t i = fit; i > 0; --i) {
        if (isBreak(text[i - 1])) return {i, i};
    }
    return {fit, fit};
}

namespace {

template <typename Char>
std::vector<std::basic_string_view<Char>> SplitAtBar(std::basic_string_view<Char> text) {
    std::vector<std::basic_string_view<Char>> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t bar = text.find(Char('|'), start);
        if (bar == std::basic_string_view<Char>::npos) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, bar - start));
        start = bar + 1;
    }
}

// A decimal number with "." or "," as the separator, blanks around it allowed.
bool ParseWidth(std::string_view text, double& width) {
    std::string s(text);
    std::replace(s.begin(), s.end(), ',', '.');
    const auto first = s.find_first_not_of(' ');
    const auto last = s.find_last_not_of(' ');
    if (first == std::string::npos) return false;
    const char* begin = s.data() + first;
    const char* end = s.data() + last + 1;
    const auto [ptr, ec] = std::from_chars(begin, end, width);
    return ec == std::errc() && ptr == end && std::isfinite(width);
}

}  // namespace

std::vector<ColumnSpec> ParseTableFormat(std::string_view format, double defaultWidth) {
    std::vector<ColumnSpec> columns;
    for (std::string_view spec : SplitAtBar(format)) {
        ColumnSpec column;
        column.width = defaultWidth;
        if (!spec.empty()) {
            switch (spec.front()) {
                case '>':
                    column.alignment = TPrintAlignment::taRightJustify;
                    spec.remove_prefix(1);
                    break;
                case '^':
                    column.alignment = TPrintAlignment::taCenter;
                    spec.remove_prefix(1);
                    break;
                case '<':
                    spec.remove_prefix(1);
                    break;
                default:
                    break;
            }
        }
        double width = 0;
        if (ParseWidth(spec, width)) column.width = std::max(width, 0.0);
        columns.push_back(column);
    }
    return columns;
}

std::vector<std::u16string> SplitCells(std::u16string_view line) {
    std::vector<std::u16string> cells;
    for (std::u16string_view cell : SplitAtBar(line)) cells.emplace_back(cell);
    return cells;
}

namespace {

std::u16string Digits(int n) {
    const std::string s = std::to_string(n);
    return std::u16string(s.begin(), s.end());
}

void ReplaceAll(std::u16string& text, std::u16string_view macro, const std::u16string& by) {
    if (by.find(macro) != std::u16string::npos) return;
    for (std::size_t at = text.find(macro); at != std::u16string::npos;
         at = text.find(macro, at + by.size()))
        text.replace(at, macro.size(), by);
}

}  // namespace

std::u16string ExpandMacros(std::u16string text, const MacroValues& values) {
    ReplaceAll(text, u"{$LINE}", Digits(values.line));
    ReplaceAll(text, u"{$PAGE}", Digits(values.page));
    ReplaceAll(text, u"{$DATE}", values.date);
    ReplaceAll(text, u"{$TIME}", values.time);
    ReplaceAll(text, u"{$TITLE}", values.title);
    return text;
}

}  // namespace lumora::print
