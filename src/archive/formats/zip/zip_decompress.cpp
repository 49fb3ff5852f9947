#include "archive/formats/zip/zip_decompress.h"

#include <algorithm>
#include <memory>
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

// The member's bytes decrypted as they are read.
class DecryptingSource final : public ByteSource {
public:
    DecryptingSource(MemberByteSource& in, const ZipCryptoKeys& keys) : in_(in), keys_(keys) {}

    std::size_t Read(std::uint8_t* dst, std::size_t n) override {
        const std::size_t got = in_.Read(dst, n);
        keys_.Decrypt(dst, got);
        return got;
    }

private:
    MemberByteSource& in_;
    ZipCryptoKeys keys_;
};

// What a method decodes from: `bytes` (plain or decrypted) over `source`,
// which keeps the count and the progress.
struct MethodInput {
    ByteSource& bytes;
    MemberByteSource& source;
};

// Stored: the input goes through buffer by buffer.
void CopyStoredMethod(const MethodInput& in, MemberOutput& out, const ZipMemberData&) {
    // Only the bytes each read delivers are used: the buffer is not cleared.
    const std::unique_ptr<std::uint8_t[]> buf(new std::uint8_t[kChunk]);
    while (const std::size_t got = in.bytes.Read(buf.get(), kChunk)) out.Write(buf.get(), got);
}

// Deflate and Deflate64 stop silently at damaged or missing data; the CRC
// check that follows reports the damage.
void InflateMethod(const MethodInput& in, MemberOutput& out, const ZipMemberData& m) {
    InflateOptions opt;
    if (m.method == 9) opt.variant = DeflateVariant::kDeflate64;
    Inflate(in.bytes, out, opt);  // the byte limit is enforced by `out`, which throws
    in.source.Progress().Test(in.source.Total(), in.source.Consumed(), false);
}

// The legacy methods stop at the member's uncompressed size; their data
// errors throw DecodeError.
void ShrinkMethod(const MethodInput& in, MemberOutput& out, const ZipMemberData& m) {
    DecodeShrink(in.bytes, out, m.unpackedSize);
}

void ReduceMethod(const MethodInput& in, MemberOutput& out, const ZipMemberData& m) {
    DecodeReduce(in.bytes, out, m.unpackedSize, m.method - 1u);
}

void ImplodeMethod(const MethodInput& in, MemberOutput& out, const ZipMemberData& m) {
    DecodeImplode(in.bytes, out, m.unpackedSize, ImplodeParamsFromFlags(m.flags));
}

using ZipMethodFn = void (*)(const MethodInput&, MemberOutput&, const ZipMemberData&);

struct ZipMethod {
    std::uint16_t first, last;  // method codes served
    ZipMethodFn run;
};

constexpr ZipMethod kMethods[] = {
    {0, 0, CopyStoredMethod},  // stored
    {1, 1, ShrinkMethod},      // LZW with partial clearing
    {2, 5, ReduceMethod},      // compression factors 1 to 4
    {6, 6, ImplodeMethod},     // 4 or 8 KB window, two or three trees
    {8, 9, InflateMethod},     // Deflate, Deflate64
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

bool DecompressMember(const ZipMemberData& member, MemberByteSource& in,
                      std::optional<ZipCryptoKeys> keys, MemberOutput& out,
                      const TOnMessageBox& messageBox) {
    bool cut = false;
    std::optional<DecryptingSource> decrypted;
    if (keys) decrypted.emplace(in, *keys);
    const MethodInput input{decrypted ? static_cast<ByteSource&>(*decrypted) : in, in};
    const ZipMethod* method = FindMethod(member.method);
    if (method == nullptr) {
        ShowError(messageBox, ecode::UnsupportedMethod);
    } else {
        try {
            method->run(input, out, member);
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
