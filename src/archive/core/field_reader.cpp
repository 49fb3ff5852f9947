#include "archive/core/field_reader.h"

#include <algorithm>

namespace lumora::archive {

std::uint64_t FieldReader::Take(std::size_t n) {
    if (!Fits(n)) {
        short_ = true;
        pos_ = size_;
        return 0;
    }
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < n; ++i) v |= std::uint64_t{data_[pos_ + i]} << (8 * i);
    pos_ += n;
    return v;
}

std::string FieldReader::Text(std::size_t n) {
    if (!Fits(n)) {
        short_ = true;
        pos_ = size_;
        return {};
    }
    std::string s(reinterpret_cast<const char*>(data_ + pos_), n);
    pos_ += n;
    return s;
}

std::string FieldReader::CString(std::size_t max) {
    const std::size_t room = std::min(Remaining(), max + 1);
    const std::uint8_t* start = data_ + std::min(pos_, size_);
    const std::uint8_t* end = std::find(start, start + room, std::uint8_t{0});
    if (end == start + room) {
        short_ = true;
        pos_ = size_;
        return {};
    }
    std::string s(reinterpret_cast<const char*>(start), static_cast<std::size_t>(end - start));
    pos_ += s.size() + 1;
    return s;
}

void FieldReader::Skip(std::size_t n) {
    if (!Fits(n)) {
        short_ = true;
        pos_ = size_;
        return;
    }
    pos_ += n;
}

void FieldReader::Seek(std::size_t pos) {
    if (pos > size_) {
        short_ = true;
        pos_ = size_;
        return;
    }
    pos_ = pos;
}

std::string ReadBlock(const InputFile& in, std::uint64_t offset, std::uint64_t n) {
    const std::uint64_t left = offset < in.Size() ? in.Size() - offset : 0;
    const auto want = static_cast<std::size_t>(std::min(n, left));
    // Up to a block is copied once from the block read ahead; more is read
    // into the string.
    if (want <= InputFile::kBlockSize) return std::string(in.Peek(offset, want));
    std::string s(want, '\0');
    s.resize(in.ReadAt(offset, s.data(), s.size()));
    return s;
}

}  // namespace lumora::archive
