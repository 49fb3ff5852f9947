// The LZ window of the RAR unpackers, which is also their output buffer:
// decoded bytes are handed to the sink straight from the ring in large
// pieces. It lives across the members of a solid archive; positions count
// every byte decoded since the first member. Shared by the RAR 2.0, 5 and
// 1.5 unpackers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "archive/decoders/decoder_io.h"
#include "archive/decoders/rar_unpack.h"

namespace lumora::archive {

class RarWindow {
public:
    // `dictionary`: the size the archive asks for; the ring grows towards it
    // as data arrives and never allocates more than the data needs.
    explicit RarWindow(std::size_t dictionary) : dictionary_(dictionary) {}

    // False (kNoMemory) when the dictionary is above kRarMaxWindow. Keeps the
    // bytes of a solid archive's earlier members when `solid`.
    bool StartMember(OutputSink* out, const RarUnpackRequest& request);
    // Makes room for `bytes` of history plus unwritten data; false above
    // kRarMaxWindow.
    bool Reserve(std::uint64_t bytes);

    std::uint64_t Pos() const { return pos_; }
    std::uint64_t MemberLeft() const { return end_ - pos_; }
    std::uint64_t MemberStart() const { return start_; }
    std::uint64_t MemberSize() const { return end_ - start_; }
    std::uint64_t Flushed() const { return flushed_; }

    void Put(std::uint8_t b) { buf_[pos_++ & mask_] = b; }
    std::uint8_t At(std::uint64_t distance) const { return buf_[(pos_ - distance) & mask_]; }
    // Copies a match; stops at the member's end.
    void Copy(std::uint64_t distance, std::uint64_t length);

    // True when the decoder should write out what it has (see Emit).
    bool WantsFlush() const { return pos_ >= nextFlush_ || pos_ >= end_; }
    // Writes [Flushed(), upTo) to the sink. False once the output limit was
    // reached (the caller stops with kOutputLimit unless the member is done).
    bool Emit(std::uint64_t upTo);
    // Writes bytes from elsewhere (a filtered block) in place of the
    // window's next `n` bytes.
    bool EmitBytes(const std::uint8_t* data, std::size_t n);
    // Copies `n` window bytes starting at position `from` into `dst`.
    void Extract(std::uint64_t from, std::size_t n, std::uint8_t* dst) const;
    // Where the next flush check fires; `blockedUntil` delays it while a
    // filtered block is incomplete.
    void ScheduleFlush(std::uint64_t blockedUntil = 0);
    std::uint64_t Written() const { return written_; }
    bool LimitReached() const { return limit_ != 0 && written_ >= limit_; }
    std::size_t Capacity() const { return buf_.size(); }

private:
    std::size_t dictionary_;
    std::vector<std::uint8_t> buf_;
    std::uint64_t mask_ = 0;
    std::uint64_t pos_ = 0;
    std::uint64_t start_ = 0;
    std::uint64_t end_ = 0;
    std::uint64_t flushed_ = 0;
    std::uint64_t nextFlush_ = 0;
    OutputSink* out_ = nullptr;
    std::uint64_t limit_ = 0;
    std::uint64_t written_ = 0;
};

// The result of a member once the decoder stopped with `why`, and the bytes
// written or decoded.
RarUnpackResult RarFinish(const RarWindow& w, RarUnpackStatus why);

}  // namespace lumora::archive
