#include "archive/core/match_spec.h"

#include <string>
#include <vector>

#include "archive/core/stored_name.h"
#include "platform/text.h"

namespace lumora::archive {

namespace {

char FoldChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x80) return static_cast<unsigned>(u - 'a') < 26u ? static_cast<char>(u - 0x20) : c;
    return static_cast<char>(AnsiUpper(u));
}

// A text after the dot rule: the text itself, perhaps shortened by its final
// ".", and whether ".*" follows it.
struct DotForm {
    std::string_view text;
    bool addDotStar = false;
    bool HoldsDotStar() const { return addDotStar || text.find(".*") != std::string_view::npos; }
    bool Empty() const { return text.empty() && !addDotStar; }
    char Front() const { return text.empty() ? '.' : text.front(); }
};

DotForm ApplyDotRule(std::string_view text, bool otherHoldsDotStar) {
    if (!text.empty() && text.back() == '.') return {text.substr(0, text.size() - 1), false};
    return {text, text.find('.') == std::string_view::npos && otherHoldsDotStar};
}

// The text to walk: the form's own bytes where nothing is appended, else a
// copy in `store`.
std::string_view Spelled(const DotForm& form, std::string& store) {
    if (!form.addDotStar) return form.text;
    store.assign(form.text);
    store += ".*";
    return store;
}

bool HasWildcard(std::string_view text) {
    return text.find_first_of("*?") != std::string_view::npos;
}

// W(i, j) tells whether name[i..] matches spec[j..] under the walk's rules:
// "?" on either side takes one character of each (tested before "*"); a "*"
// in the name that is its last character matches the rest; otherwise the rest
// of the name after the "*" must match some suffix of the pattern from j (and
// symmetrically for a "*" in the pattern); other characters compare equal;
// when one text is used up, trailing "*" of the other are skipped. The table
// is filled from the ends backwards, one row at a time, with running ORs over
// the suffixes the two "*" cases try. Both texts are already folded.
bool WalkFolded(std::string_view name, std::string_view spec) {
    const std::size_t n = name.size(), m = spec.size();
    // Without wildcards the walk compares character by character.
    if (!HasWildcard(name) && !HasWildcard(spec)) return name == spec;

    // Five rows of the table in one block, on the stack for usual lengths.
    const std::size_t row = m + 2;
    std::array<char, 768> small;
    std::vector<char> large;
    char* block = small.data();
    if (5 * row > small.size()) {
        large.resize(5 * row);
        block = large.data();
    }
    // Row i + 1: W, and OR over k >= j of W(i + 1, k).
    char* below = block;
    char* belowRowOr = block + row;
    // OR over k >= i + 1 of W(k, j), per column j.
    char* colOr = block + 2 * row;
    char* cur = block + 3 * row;
    char* curRowOr = block + 4 * row;

    bool specTail = true;  // spec[j..] holds only "*"
    belowRowOr[m + 1] = curRowOr[m + 1] = 0;
    for (std::size_t j = m + 1; j-- > 0;) {
        if (j < m) specTail = specTail && spec[j] == '*';
        below[j] = specTail;  // row n: the name is used up
        belowRowOr[j] = below[j] || belowRowOr[j + 1];
        colOr[j] = below[j];
    }
    bool nameTail = true;  // name[i..] holds only "*"
    for (std::size_t i = n; i-- > 0;) {
        nameTail = nameTail && name[i] == '*';
        cur[m] = nameTail;  // the pattern is used up
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
                w = a == b && below[j + 1];
            }
            cur[j] = w;
            curRowOr[j] = w || curRowOr[j + 1];
        }
        for (std::size_t j = 0; j <= m; ++j) colOr[j] = colOr[j] || cur[j];
        std::swap(below, cur);
        std::swap(belowRowOr, curRowOr);
    }
    return below[0];
}

}  // namespace

PreparedMatchText::PreparedMatchText(std::string_view text) : size_(text.size()) {
    char* out = short_.data();
    if (size_ > short_.size()) {
        long_.resize(size_);
        out = long_.data();
    }
    for (const char c : text) *out++ = c == '/' ? '\\' : FoldChar(c);
}

bool MatchWalk(std::string_view name, std::string_view spec) {
    return WalkFolded(AnsiUpperCase(name), AnsiUpperCase(spec));
}

bool MatchSpec(std::string_view name, std::string_view spec, bool namesOnly) {
    return MatchSpec(PreparedMatchText(name), PreparedMatchText(spec), namesOnly);
}

bool MatchSpec(const PreparedMatchText& nameIn, const PreparedMatchText& specIn, bool namesOnly) {
    std::string_view name = nameIn.Text(), spec = specIn.Text();
    if (namesOnly) {
        name = StoredFileNamePart(name);
        spec = StoredFileNamePart(spec);
        if ((!nameIn.Text().empty() && name.empty()) || (!specIn.Text().empty() && spec.empty()))
            return false;
    }
    const DotForm n = ApplyDotRule(name, spec.find(".*") != std::string_view::npos);
    const DotForm s = ApplyDotRule(spec, n.HoldsDotStar());
    if (n.Empty()) return !s.Empty() && s.Front() == '*';
    if (s.Empty()) return n.Front() == '*';
    std::string nameStore, specStore;
    return WalkFolded(Spelled(n, nameStore), Spelled(s, specStore));
}

}  // namespace lumora::archive
