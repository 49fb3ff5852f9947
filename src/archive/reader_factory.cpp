#include "archive/reader_factory.h"

#include "archive/un_arc.h"
#include "archive/un_arj.h"
#include "archive/un_cab.h"
#include "archive/un_gzip.h"
#include "archive/un_lha.h"
#include "archive/un_tar.h"
#include "archive/un_zip.h"
#include "archive/un_zoo.h"

namespace lumora::archive {

namespace {

using ReaderFactory = std::unique_ptr<TUnBase> (*)();

template <typename Reader>
std::unique_ptr<TUnBase> Make() {
    return std::make_unique<Reader>();
}

struct ReaderRow {
    TArcType type;
    ReaderFactory make;
};

constexpr ReaderRow kReaders[] = {
    {atZIP, Make<TUnZIP>},
    {atZipExe, Make<TUnZIP>},
    {atZip250, Make<TUnZIP>},
    {atZip250Exe, Make<TUnZIP>},
    {atCAB, Make<TUnCAB>},
    {atARC, Make<TUnARC>},
    {atArcExe, Make<TUnARC>},
    {atPAK, Make<TUnARC>},
    {atPakExe, Make<TUnARC>},
    {atGZip, Make<TUnGZIP>},
    {atTAR, Make<TUnTAR>},
    {atARJ, Make<TUnARJ>},
    {atArjExe, Make<TUnARJ>},
    {atLHA, Make<TUnLHA>},
    {atLhaExe, Make<TUnLHA>},
    {atLZH, Make<TUnLHA>},
    {atLzhExe, Make<TUnLHA>},
    {atZOO, Make<TUnZOO>},
};

}  // namespace

std::unique_ptr<TUnBase> MakeReader(TArcType type) {
    for (const ReaderRow& row : kReaders) {
        if (row.type == type) return row.make();
    }
    return nullptr;
}

}  // namespace lumora::archive
