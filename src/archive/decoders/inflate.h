// Deflate decoder (raw RFC 1951 data, no zlib or gzip wrapper), also for the
// Deflate64 variant. The window (32 KB, or 64 KB for Deflate64) is also the
// output buffer: each time it is full it is handed to the sink.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "archive/core/error_codes.h"
#include "archive/decoders/decoder_io.h"

namespace lumora::archive {

enum class InflateStatus {
    kDone,         // the final block was decoded
    kTruncated,    // the input ended before the final block was complete
    kOutputLimit,  // maxOutput bytes were produced and more would have followed
    // Damaged data; errorCode tells which fault: ecode::BadBlock (stored
    // length, block type 3, a fixed-block code), ecode::IncompleteCodeSet (the
    // code set or a code of a dynamic block), ecode::BadLengths (more than
    // 288 / 32 codes announced).
    kDataError,
};

// Deflate64 widens the window to 64 KB, gives distance codes 30 and 31
// (distances 32769-65536, 14 extra bits each) and lets length code 285 carry
// 16 extra bits (lengths 3-65538). Codes 286 and 287 stay invalid in both.
enum class DeflateVariant { kDeflate, kDeflate64 };

struct InflateOptions {
    DeflateVariant variant = DeflateVariant::kDeflate;
    // Decoding stops once this many bytes were produced (0 = unlimited).
    std::uint64_t maxOutput = 0;
    // Called with the count of bytes read from the source so far: at most
    // once per 32 KB of input, and once more after the final block.
    std::function<void(std::uint64_t consumed)> onProgress;
    // Bytes that precede this stream's output (a preset window): matches may
    // reach back into their last window size. They are not written to the sink.
    std::span<const std::uint8_t> history;
    // Decode with the loop built for any CPU even where a faster build
    // runs, so that both builds can be checked on one machine.
    bool portableLoop = false;
};

struct InflateResult {
    InflateStatus status = InflateStatus::kDone;
    int errorCode = 0;            // with kDataError: one of the ecode values above
    std::uint64_t produced = 0;   // bytes handed to the sink
    std::uint64_t inputRead = 0;  // bytes pulled from the source
    std::uint64_t inputUsed = 0;  // bytes of the stream decoded (exact when kDone)
    bool finalBlockSeen = false;  // the header of the last block was read

    bool Complete() const { return status == InflateStatus::kDone; }
};

// Decodes raw Deflate streams one after another through one window: the
// matches of each stream may reach back into the output of the streams
// before it (blocks that share their history, as in cabinet folders). The
// variant is fixed at construction (opt.variant is not used); opt.history
// counts only before the first stream. After a stream that did not end with
// kDone the window holds what it produced.
class InflateChain {
public:
    explicit InflateChain(DeflateVariant variant = DeflateVariant::kDeflate);
    ~InflateChain();
    InflateChain(const InflateChain&) = delete;
    InflateChain& operator=(const InflateChain&) = delete;

    // Decodes the next stream, as Inflate does.
    InflateResult Next(ByteSource& in, OutputSink& out, const InflateOptions& opt = {});

    // The decoder behind the chain (defined with it).
    struct Impl {
        virtual ~Impl() = default;
        virtual InflateResult Run(ByteSource& in, OutputSink& out, const InflateOptions& opt) = 0;
    };

private:
    std::unique_ptr<Impl> impl_;
};

// Decodes one raw Deflate stream from `in` into `out`. Never throws for bad
// data: whatever the status, all output produced before the stop has been
// written to `out`. Exceptions of the source or sink pass through.
InflateResult Inflate(ByteSource& in, OutputSink& out, const InflateOptions& opt = {});

}  // namespace lumora::archive
