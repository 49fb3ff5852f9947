#include "archive/formats/zip/zip_decompress.h"

#include <algorithm>
#include <string>
#include <vector>

#include "archive/core/error_codes.h"
#include "archive/decoders/implode.h"
#include "archive/decoders/inflate.h"
#include "archive/decoders/reduce.h"
#include "archive/decoders/shrink.h"

namespace lumora::archive {

namespace {

constexpr std::size_t kChunk = 32768;

// Stored: the input goes through buffer by buffer.
void CopyStoredMethod(ZipByteReader& in, MemberOutput& out, const ZipMemberData&) {
    std::vector<std::uint8_t> buf(kChunk);
    while (const std::size_t got = in.Read(buf.data(), buf.size())) out.Write(buf.data(), got);
}

// Deflate stops silently at damaged or missing data; the CRC check that
// follows reports the damage.
void InflateMethod(ZipByteReader& in, MemberOutput& out, const ZipMemberData&) {
    Inflate(in, out);  // the byte limit is enforced by `out`, which throws
    in.Progress().Test(in.Total(), in.Consumed(), false);
}

// The legacy methods stop at the member's uncompressed size; their data
// errors throw DecodeError.
void ShrinkMethod(ZipByteReader& in, MemberOutput& out, const ZipMemberData& m) {
    DecodeShrink(in, out, m.unpackedSize);
}

void ReduceMethod(ZipByteReader& in, MemberOutput& out, const ZipMemberData& m) {
    DecodeReduce(in, out, m.unpackedSize, m.method - 1u);
}

void ImplodeMethod(ZipByteReader& in, MemberOutput& out, const ZipMemberData& m) {
    DecodeImplode(in, out, m.unpackedSize, ImplodeParamsFromFlags(m.flags));
}

using ZipMethodFn = void (*)(ZipByteReader&, MemberOutput&, const ZipMemberData&);

struct ZipMethod {
    std::uint16_t first, last;  // method codes served
    ZipMethodFn run;
};

constexpr ZipMethod kMethods[] = {
    {0, 0, CopyStoredMethod},  // stored
    {1, 1, ShrinkMethod},      // LZW with partial clearing
    {2, 5, ReduceMethod},      // compression factors 1 to 4
    {6, 6, ImplodeMethod},     // 4 or 8 KB window, two or three trees
    {8, 8, InflateMethod},     // Deflate
};

const ZipMethod* FindMethod(std::uint16_t code) {
    for (const ZipMethod& m : kMethods) {
        if (code >= m.first && code <= m.last) return &m;
    }
    return nullptr;
}

void ShowError(const TOnMessageBox& box, int code) {
    if (box) box(kInfoCaption, std::string(ErrorText(code)));
}

}  // namespace

ZipByteReader::ZipByteReader(const InputFile& file, std::uint64_t offset, std::uint64_t count,
                             std::optional<ZipCryptoKeys> keys, ProgressMeter& progress,
                             bool everyChange)
    : file_(file),
      pos_(offset),
      total_(count),
      end_(count),
      keys_(keys),
      progress_(progress),
      everyChange_(everyChange) {}

std::size_t ZipByteReader::Read(std::uint8_t* dst, std::size_t n) {
    const std::uint64_t remaining = end_ - consumed_;
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>({n, remaining, kChunk}));
    if (want == 0) return 0;
    const std::size_t got = file_.ReadAt(pos_, dst, want);
    if (got < want) end_ = consumed_ + got;  // a short read ends the data
    if (keys_) keys_->Decrypt(dst, got);
    pos_ += got;
    consumed_ += got;
    progress_.Test(total_, consumed_, everyChange_);
    return got;
}

bool DecompressMember(const ZipMemberData& member, ZipByteReader& in, MemberOutput& out,
                      const TOnMessageBox& messageBox) {
    bool cut = false;
    const ZipMethod* method = FindMethod(member.method);
    if (method == nullptr) {
        ShowError(messageBox, ecode::UnsupportedMethod);
    } else {
        try {
            method->run(in, out, member);
        } catch (const E_RAISE& e) {
            ShowError(messageBox, e.Code());
        } catch (const DecodeError& e) {
            ShowError(messageBox, e.code);
        } catch (const OutputLimitReached&) {
            cut = true;
        }
    }
    out.Flush();
    return cut;
}

}  // namespace lumora::archive
