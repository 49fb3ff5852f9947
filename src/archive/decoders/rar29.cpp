#include "archive/decoders/rar29.h"

namespace lumora::archive {

namespace {

// Stand-in until the method is implemented.
class Unsupported final : public RarUnpacker {
public:
    RarUnpackResult Unpack(ByteSource&, OutputSink*, const RarUnpackRequest&) override {
        return {RarUnpackStatus::kUnsupported, 0};
    }
};

}  // namespace

std::unique_ptr<RarUnpacker> MakeRar29Unpacker(std::size_t) {
    return std::make_unique<Unsupported>();
}

}  // namespace lumora::archive
