// Checked reading of archive header fields. Every header parser reads its
// fields through a FieldReader over the bytes that really arrived, so a field
// beyond them is seen in one place: it reads as zero and marks the reader
// short, and the parser answers HeaderResult::Bad (or End) instead of using it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "archive/core/input_file.h"

namespace lumora::archive {

// What a header parser found at a position.
enum class HeaderResult {
    Ok,   // a header, filled in
    End,  // the archive's end marker, or the end of the file where one may end
    Bad,  // damaged, cut short or out of bounds
};

class FieldReader {
public:
    FieldReader() = default;
    FieldReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    explicit FieldReader(std::string_view bytes)
        : FieldReader(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()) {}

    std::uint8_t U8() { return static_cast<std::uint8_t>(Take(1)); }
    std::uint16_t U16() { return static_cast<std::uint16_t>(Take(2)); }
    std::uint32_t U32() { return static_cast<std::uint32_t>(Take(4)); }
    std::uint64_t U64() { return Take(8); }
    // A fixed-size field as stored (empty when it does not fit).
    std::string Text(std::size_t n);
    // A text up to its zero byte, which must come within `max` bytes;
    // otherwise the reader is short and the text empty.
    std::string CString(std::size_t max);
    void Skip(std::size_t n);
    void Seek(std::size_t pos);

    std::size_t Pos() const { return pos_; }
    std::size_t Size() const { return size_; }
    std::size_t Remaining() const { return pos_ < size_ ? size_ - pos_ : 0; }
    // True when any field reached beyond the bytes.
    bool Short() const { return short_; }
    const std::uint8_t* Data() const { return data_; }

private:
    // `n` bytes little-endian at the position (n <= 8), then past them.
    std::uint64_t Take(std::size_t n);
    bool Fits(std::size_t n) const { return n <= Remaining() && pos_ <= size_; }

    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t pos_ = 0;
    bool short_ = false;
};

// Up to `n` bytes of `in` at `offset`: fewer at the end of the file. Never
// holds more than the file has there, so a size taken from a header cannot
// make it allocate more.
std::string ReadBlock(const InputFile& in, std::uint64_t offset, std::uint64_t n);

// The bytes of a string as header bytes.
inline const std::uint8_t* BytesOf(const std::string& s) {
    return reinterpret_cast<const std::uint8_t*>(s.data());
}

}  // namespace lumora::archive
