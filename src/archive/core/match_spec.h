// Matching of stored member names against a file pattern with "*" and
// "?" (both texts may hold wildcards), case-insensitive for Windows-1252
// letters.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace lumora::archive {

// One side of a match made ready once: "/" as "\" and letters upper-cased
// (Windows-1252), so matching many texts against a fixed pattern folds the
// pattern only once. Short texts are kept without allocating.
class PreparedMatchText {
public:
    PreparedMatchText() = default;
    explicit PreparedMatchText(std::string_view text);

    std::string_view Text() const {
        return size_ <= short_.size() ? std::string_view(short_.data(), size_)
                                      : std::string_view(long_);
    }

private:
    std::size_t size_ = 0;
    std::array<char, 64> short_{};
    std::string long_;
};

// With `namesOnly` both texts are reduced to their file-name part first.
// A text ending in "." loses that dot; a text without "." gets ".*" when the
// other holds ".*" (the name is adjusted first, then the pattern). The wildcard
// walk itself never re-applies these rules. Runs in time proportional to the
// product of the two lengths.
bool MatchSpec(std::string_view name, std::string_view spec, bool namesOnly);
bool MatchSpec(const PreparedMatchText& name, const PreparedMatchText& spec, bool namesOnly);

// The wildcard walk alone, on texts already prepared.
bool MatchWalk(std::string_view name, std::string_view spec);

}  // namespace lumora::archive
