#include "archive/formats/cab/cab_folder.h"

#include <algorithm>

#include "archive/core/error_codes.h"
#include "archive/decoders/inflate.h"
#include "archive/decoders/memory_source.h"
#include "archive/formats/cab/cab_header.h"

namespace lumora::archive {

namespace {

constexpr std::size_t kMsZipWindow = 32768;
// A block joined from parts in several cabinets never legitimately grows
// beyond two full blocks.
constexpr std::size_t kMaxJoined = 2 * 65535;

// Passes a block's output on and keeps it as history for the next block.
class HistorySink final : public OutputSink {
public:
    HistorySink(OutputSink& out, std::vector<std::uint8_t>& history)
        : out_(out), history_(history) {}
    void Write(const std::uint8_t* data, std::size_t n) override {
        history_.insert(history_.end(), data, data + n);
        out_.Write(data, n);
    }

private:
    OutputSink& out_;
    std::vector<std::uint8_t>& history_;
};

}  // namespace

void CabFolderDecoder::Block(std::span<const std::uint8_t> data, bool split, OutputSink& out) {
    if (type_ == kCabStored) {
        out.Write(data.data(), data.size());
        return;
    }
    if (split || !pending_.empty()) {
        if (pending_.size() + data.size() > kMaxJoined) throw DecodeError{ecode::BadBlock};
        pending_.insert(pending_.end(), data.begin(), data.end());
        if (split) return;
        const std::vector<std::uint8_t> joined = std::move(pending_);
        pending_.clear();
        MsZipBlock(joined, out);
        return;
    }
    MsZipBlock(data, out);
}

// A block is "CK" followed by one Deflate stream of at most 32 KB of output.
void CabFolderDecoder::MsZipBlock(std::span<const std::uint8_t> block, OutputSink& out) {
    if (block.size() < 2) throw DecodeError{ecode::BadBlock};
    MemorySource src(block.subspan(2));
    const std::vector<std::uint8_t> history = std::move(history_);
    history_.clear();
    HistorySink sink(out, history_);
    InflateOptions opt;
    opt.maxOutput = kMsZipWindow;
    opt.history = history;
    const InflateResult r = Inflate(src, sink, opt);
    if (history_.size() < kMsZipWindow) {
        // A short block: the older history still counts.
        const std::size_t keep = std::min(history.size(), kMsZipWindow - history_.size());
        history_.insert(history_.begin(), history.end() - static_cast<std::ptrdiff_t>(keep),
                        history.end());
    }
    if (r.status == InflateStatus::kDataError) throw DecodeError{r.errorCode};
    if (r.status != InflateStatus::kDone) throw DecodeError{ecode::BadBlock};
}

}  // namespace lumora::archive
