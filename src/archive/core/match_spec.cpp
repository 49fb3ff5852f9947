#include "archive/core/match_spec.h"

#include <string>
#include <vector>

#include "archive/core/stored_name.h"
#include "platform/text.h"

namespace lumora::archive {

namespace {

bool SameChar(char a, char b) {
    return AnsiUpper(static_cast<unsigned char>(a)) == AnsiUpper(static_cast<unsigned char>(b));
}

// tail[i] is true when text[i..] holds only "*" (true at the end).
std::vector<char> StarTails(std::string_view text) {
    std::vector<char> tail(text.size() + 1, 1);
    for (std::size_t i = text.size(); i-- > 0;) tail[i] = text[i] == '*' && tail[i + 1];
    return tail;
}

void ApplyDotRule(std::string& text, std::string_view other) {
    if (!text.empty() && text.back() == '.') {
        text.pop_back();
    } else if (text.find('.') == std::string::npos && other.find(".*") != std::string_view::npos) {
        text += ".*";
    }
}

}  // namespace

// W(i, j) tells whether name[i..] matches spec[j..] under the walk's rules:
// "?" on either side takes one character of each (tested before "*"); a "*"
// in the name that is its last character matches the rest; otherwise the rest
// of the name after the "*" must match some suffix of the pattern from j (and
// symmetrically for a "*" in the pattern); other characters compare equal
// without case; when one text is used up, trailing "*" of the other are
// skipped. The table is filled from the ends backwards, one row at a time,
// with running ORs over the suffixes the two "*" cases try.
bool MatchWalk(std::string_view name, std::string_view spec) {
    const std::size_t n = name.size(), m = spec.size();
    const std::vector<char> nameTail = StarTails(name), specTail = StarTails(spec);

    // Row i + 1: W, and OR over k >= j of W(i + 1, k).
    std::vector<char> below(m + 1), belowRowOr(m + 2, 0);
    // OR over k >= i + 1 of W(k, j), per column j.
    std::vector<char> colOr(m + 1, 0);
    std::vector<char> cur(m + 1), curRowOr(m + 2, 0);

    for (std::size_t j = m + 1; j-- > 0;) {
        below[j] = specTail[j];  // row n: the name is used up
        belowRowOr[j] = below[j] || belowRowOr[j + 1];
        colOr[j] = below[j];
    }
    for (std::size_t i = n; i-- > 0;) {
        cur[m] = nameTail[i];  // the pattern is used up
        curRowOr[m] = cur[m];
        for (std::size_t j = m; j-- > 0;) {
            const char a = name[i], b = spec[j];
            bool w;
            if (a == '?' || b == '?') {
                w = below[j + 1];
            } else if (a == '*') {
                w = i + 1 == n || belowRowOr[j];
            } else if (b == '*') {
                w = j + 1 == m || cur[j + 1] || colOr[j + 1];
            } else {
                w = SameChar(a, b) && below[j + 1];
            }
            cur[j] = w;
            curRowOr[j] = w || curRowOr[j + 1];
        }
        for (std::size_t j = 0; j <= m; ++j) colOr[j] = colOr[j] || cur[j];
        below.swap(cur);
        belowRowOr.swap(curRowOr);
    }
    return below[0];
}

bool MatchSpec(std::string_view nameIn, std::string_view specIn, bool namesOnly) {
    std::string name = ToBackslashes(nameIn), spec = ToBackslashes(specIn);
    if (namesOnly) {
        name = std::string(StoredFileNamePart(name));
        spec = std::string(StoredFileNamePart(spec));
        if ((!nameIn.empty() && name.empty()) || (!specIn.empty() && spec.empty())) return false;
    }
    ApplyDotRule(name, spec);
    ApplyDotRule(spec, name);
    if (name.empty()) return !spec.empty() && spec.front() == '*';
    if (spec.empty()) return name.front() == '*';
    return MatchWalk(name, spec);
}

}  // namespace lumora::archive
