#include "archive/formats/make_reader.h"

#include <array>

#include "archive/formats/arc/un_arc.h"
#include "archive/formats/arj/un_arj.h"
#include "archive/formats/cab/un_cab.h"
#include "archive/formats/format_table.h"
#include "archive/formats/gzip/un_gzip.h"
#include "archive/formats/lha/un_lha.h"
#include "archive/formats/rar/un_rar.h"
#include "archive/formats/tar/un_tar.h"
#include "archive/formats/zip/un_zip.h"
#include "archive/formats/zoo/un_zoo.h"

namespace lumora::archive {

namespace {

using ReaderMaker = std::unique_ptr<TUnBase> (*)();

struct ReaderRow {
    ReaderKind kind;
    ReaderMaker make;
};

template <typename Reader>
std::unique_ptr<TUnBase> Make() {
    return std::make_unique<Reader>();
}

using R = ReaderKind;

// In the order of ReaderKind; the static_assert below keeps it so.
constexpr std::array<ReaderRow, kReaderKindCount> kMakers = {{
    {R::None, nullptr},
    {R::Zip, Make<TUnZIP>},
    {R::Lha, Make<TUnLHA>},
    {R::Arj, Make<TUnARJ>},
    {R::Cab, Make<TUnCAB>},
    {R::Zoo, Make<TUnZOO>},
    {R::Arc, Make<TUnARC>},
    {R::Gzip, Make<TUnGZIP>},
    {R::Tar, Make<TUnTAR>},
    {R::Rar, Make<TUnRAR>},
}};

constexpr bool InKindOrder() {
    for (std::size_t i = 0; i < kMakers.size(); ++i) {
        if (static_cast<std::size_t>(kMakers[i].kind) != i) return false;
    }
    return true;
}
static_assert(InKindOrder(), "kMakers must list the readers in the order of ReaderKind");

}  // namespace

std::unique_ptr<TUnBase> MakeReader(TArcType type) {
    const ReaderMaker make = kMakers[static_cast<std::size_t>(FormatOf(type).reader)].make;
    return make ? make() : nullptr;
}

}  // namespace lumora::archive
