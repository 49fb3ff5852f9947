#include "archive/decoders/member_decode.h"

#include <system_error>

#include "archive/core/copy_stored.h"
#include "archive/core/error_codes.h"
#include "archive/core/member_source.h"
#include "archive/decoders/arj_method4.h"
#include "archive/decoders/lh1.h"
#include "archive/decoders/lz5.h"
#include "archive/decoders/zoo_lzw.h"

namespace lumora::archive {

namespace {

void Decode(const InputFile& in, const LzhMember& m, MemberOutput& out, ProgressMeter& progress) {
    if (m.coding == LzhCoding::Stored) {
        CopyStored(in, m.offset, m.packedSize, out, progress);
        return;
    }
    // The input ends with the member's packed bytes; a decoder that needs
    // more fails with 25135.
    MemberByteSource src(in, m.offset, m.packedSize, progress, false);
    switch (m.coding) {
        case LzhCoding::Lh1:
            DecodeLh1(src, out, m.originalSize);
            break;
        case LzhCoding::StaticHuffman:
            DecodeStaticHuffman(src, out, m.params, m.originalSize);
            break;
        case LzhCoding::ArjMethod4:
            DecodeArjMethod4(src, out, m.originalSize);
            break;
        case LzhCoding::ZooLzw:
            DecodeZooLzw(src, out, m.originalSize);
            break;
        case LzhCoding::Lz5:
            DecodeLz5(src, out, m.originalSize);
            break;
        case LzhCoding::Stored:
            break;
    }
}

}  // namespace

bool DecodeLzhMember(const InputFile& in, const LzhMember& m, MemberOutput& out,
                     ProgressMeter& progress) {
    bool cut = false;
    int failure = 0;
    try {
        Decode(in, m, out, progress);
    } catch (const OutputLimitReached&) {
        cut = true;
    } catch (const DecodeError& e) {
        failure = e.code;
    } catch (const E_RAISE& e) {
        failure = e.Code();
    } catch (const std::system_error&) {
        failure = ecode::WriteError;
    }
    try {
        out.Flush();
    } catch (const std::system_error&) {
        if (failure == 0) failure = ecode::WriteError;
    }
    if (failure != 0) throw E_RAISE(failure);
    return cut;
}

}  // namespace lumora::archive
