#include "archive/formats/format_table.h"

#include <array>

#include "archive/formats/arc/arc_walker.h"
#include "archive/formats/arj/arj_walker.h"
#include "archive/formats/bh/bh_walker.h"
#include "archive/formats/cab/cab_walker.h"
#include "archive/formats/gzip/gzip_walker.h"
#include "archive/formats/ha/ha_walker.h"
#include "archive/formats/lha/lha_walker.h"
#include "archive/formats/rar/rar_walker.h"
#include "archive/formats/tar/tar_walker.h"
#include "archive/formats/zip/zip_walker.h"
#include "archive/formats/zoo/zoo_walker.h"

namespace lumora::archive {

namespace {

using F = MethodFamily;
using R = ReaderKind;
using D = DescriptionSource;

// In the order of TArcType; the static_assert below keeps it so.
constexpr std::array<FormatRow, kArcTypeCount> kFormats = {{
    {atNA, "atNA", F::None, nullptr, R::None, D::None, ""},
    {atUnsupported, "atUnsupported", F::None, nullptr, R::None, D::None, ""},
    {atFileError, "atFileError", F::None, nullptr, R::None, D::None, ""},
    {atUnknown, "atUnknown", F::None, nullptr, R::None, D::None, ""},
    {atARC, "atARC", F::ARC, MakeArcWalker, R::Arc, D::Reader, ""},
    {atArcExe, "atArcExe", F::ARC, MakeArcWalker, R::Arc, D::None, ".ARC"},
    {atARJ, "atARJ", F::ARJ, MakeArjWalker, R::Arj, D::Reader, ""},
    {atArjExe, "atArjExe", F::ARJ, MakeArjWalker, R::Arj, D::None, ".ARJ"},
    {atBH, "atBH", F::BH, MakeBhWalker, R::None, D::None, ""},
    {atBHExe, "atBHExe", F::BH, MakeBhWalker, R::None, D::None, ".BH"},
    {atCAB, "atCAB", F::CAB, MakeCabWalker, R::Cab, D::Reader, ""},
    {atGZip, "atGZip", F::GZIP, MakeGzipWalker, R::Gzip, D::Reader, ""},
    {atHA, "atHA", F::HA, MakeHaWalker, R::None, D::None, ""},
    {atLHA, "atLHA", F::LHA, MakeLhaWalker, R::Lha, D::Reader, ""},
    {atLhaExe, "atLhaExe", F::LHA, MakeLhaWalker, R::Lha, D::None, ""},
    {atLZH, "atLZH", F::LHA, MakeLhaWalker, R::Lha, D::None, ""},
    {atLzhExe, "atLzhExe", F::LHA, MakeLhaWalker, R::Lha, D::None, ""},
    {atPAK, "atPAK", F::PAK, MakePakWalker, R::Arc, D::None, ""},
    {atPakExe, "atPakExe", F::PAK, MakePakWalker, R::Arc, D::None, ".PAK"},
    {atRAR, "atRAR", F::RAR, MakeRarWalker, R::Rar, D::RarLibrary, ""},
    {atRarExe, "atRarExe", F::RAR, MakeRarWalker, R::None, D::None, ".RAR"},
    {atTAR, "atTAR", F::TAR, MakeTarWalker, R::Tar, D::Reader, ""},
    {atZIP, "atZIP", F::ZIP, MakeZipWalker, R::Zip, D::Reader, ""},
    {atZipExe, "atZipExe", F::ZIP, MakeZipWalker, R::Zip, D::None, ".ZIP"},
    {atZip250, "atZip250", F::ZIP, MakeZipWalker, R::Zip, D::None, ""},
    {atZip250Exe, "atZip250Exe", F::ZIP, MakeZipWalker, R::Zip, D::None, ".ZIP"},
    {atZOO, "atZOO", F::ZOO, MakeZooWalker, R::Zoo, D::Reader, ""},
}};

constexpr bool InTypeOrder() {
    for (std::size_t i = 0; i < kFormats.size(); ++i) {
        if (kFormats[i].type != i) return false;
    }
    return true;
}
static_assert(InTypeOrder(), "kFormats must list the types in the order of TArcType");

constexpr FormatRow kOutside = {atNA, "?", F::None, nullptr, R::None, D::None, ""};

}  // namespace

const FormatRow& FormatOf(TArcType type) {
    return type < kFormats.size() ? kFormats[type] : kOutside;
}

}  // namespace lumora::archive
