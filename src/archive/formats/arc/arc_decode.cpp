#include "archive/formats/arc/arc_decode.h"

#include <array>

#include "archive/decoders/arc_lzw.h"
#include "archive/decoders/arc_rle.h"
#include "archive/decoders/arc_squeeze.h"

namespace lumora::archive {

namespace {

void CopyAll(ByteSource& in, OutputSink& out) {
    std::array<std::uint8_t, 4096> buf;
    for (std::size_t n; (n = in.Read(buf.data(), buf.size())) > 0;) out.Write(buf.data(), n);
}

void Decode(int method, ByteSource& in, OutputSink& out) {
    switch (method) {
        case 1:
        case 2:
        case 3:
            CopyAll(in, out);
            break;
        case 4:
            Unsqueeze(in, out);
            break;
        case 5:
        case 6:
            DecodeArcLzw(in, out, ArcLzwKind::CrunchOldHash);
            break;
        case 7:
            DecodeArcLzw(in, out, ArcLzwKind::CrunchNewHash);
            break;
        case 8:
            DecodeArcLzw(in, out, ArcLzwKind::Dynamic12);
            break;
        case 9:
            DecodeArcLzw(in, out, ArcLzwKind::Dynamic13);
            break;
        default:
            break;
    }
}

bool UsesRunLength(int method) {
    return method == 3 || method == 4 || method == 6 || method == 7 || method == 8;
}

}  // namespace

void DecodeArcMember(int method, ByteSource& in, OutputSink& out) {
    if (!UsesRunLength(method)) {
        Decode(method, in, out);
        return;
    }
    ArcRleSink rle(out);
    try {
        Decode(method, in, rle);
    } catch (const DecodeError&) {
        rle.Flush();
        throw;
    }
    rle.Flush();
}

}  // namespace lumora::archive
