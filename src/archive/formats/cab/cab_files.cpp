#include "archive/formats/cab/cab_files.h"

#include <algorithm>

namespace lumora::archive {

void CabFileCutter::Add(const CabFileEntry& f) {
    if (cur_ + (open_ ? 1 : 0) < files_.size() && files_.back().offset > f.offset) sorted_ = false;
    files_.push_back(f);
}

void CabFileCutter::SortWaiting() {
    if (sorted_) return;
    const auto first = files_.begin() + static_cast<std::ptrdiff_t>(cur_ + (open_ ? 1 : 0));
    std::stable_sort(first, files_.end(), [](const CabFileEntry& a, const CabFileEntry& b) {
        return a.offset < b.offset;
    });
    sorted_ = true;
}

void CabFileCutter::Write(const std::uint8_t* data, std::size_t n) {
    Serve(data, n);
}

// Passes `n` bytes by, beginning, feeding and finishing the files they reach.
// Called with n == 0 it serves the files due at the current place.
void CabFileCutter::Serve(const std::uint8_t* data, std::size_t n) {
    SortWaiting();
    for (;;) {
        if (open_) {
            const CabFileEntry& f = files_[cur_];
            const std::uint64_t end = std::uint64_t{f.offset} + f.size;
            const auto take = static_cast<std::size_t>(std::min<std::uint64_t>(n, end - pos_));
            if (take > 0) target_.Write(f, pos_ - f.offset, data, take);
            data += take;
            n -= take;
            pos_ += take;
            if (pos_ < end) return;
            open_ = false;
            ++cur_;
            target_.Finish(f, true);
            continue;
        }
        if (cur_ == files_.size()) {
            pos_ += n;
            return;
        }
        const CabFileEntry& f = files_[cur_];
        if (f.size == 0 && f.offset <= pos_) {
            ++cur_;
            if (target_.Begin(f)) target_.Finish(f, true);
            continue;
        }
        if (f.offset < pos_) {
            ++cur_;
            target_.Misplaced(f);
            continue;
        }
        const auto skip = static_cast<std::size_t>(std::min<std::uint64_t>(n, f.offset - pos_));
        data += skip;
        n -= skip;
        pos_ += skip;
        if (pos_ < f.offset) return;
        if (target_.Begin(f)) {
            open_ = true;
        } else {
            ++cur_;
        }
    }
}

void CabFileCutter::End() {
    Serve(nullptr, 0);
    if (open_) target_.Misplaced(files_[cur_]);
    Abort();
    while (cur_ < files_.size()) target_.Misplaced(files_[cur_++]);
}

void CabFileCutter::Abort() {
    if (!open_) return;
    open_ = false;
    target_.Finish(files_[cur_++], false);
}

}  // namespace lumora::archive
