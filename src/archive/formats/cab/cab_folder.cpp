#include "archive/formats/cab/cab_folder.h"

#include <algorithm>
#include <memory>

#include "archive/core/error_codes.h"
#include "archive/decoders/memory_source.h"
#include "archive/formats/cab/cab_header.h"

namespace lumora::archive {

namespace {

constexpr std::size_t kMsZipWindow = 32768;
// A block joined from parts in several cabinets never legitimately grows
// beyond two full blocks.
constexpr std::size_t kMaxJoined = 2 * 65535;

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

// A block is "CK" followed by one Deflate stream of at most 32 KB of output;
// the chain keeps the folder's output as the next block's history.
void CabFolderDecoder::MsZipBlock(std::span<const std::uint8_t> block, OutputSink& out) {
    if (block.size() < 2) throw DecodeError{ecode::BadBlock};
    MemorySource src(block.subspan(2));
    if (!chain_) chain_ = std::make_unique<InflateChain>();
    InflateOptions opt;
    opt.maxOutput = kMsZipWindow;
    const InflateResult r = chain_->Next(src, out, opt);
    if (r.status == InflateStatus::kDataError) throw DecodeError{r.errorCode};
    if (r.status != InflateStatus::kDone) throw DecodeError{ecode::BadBlock};
}

}  // namespace lumora::archive
