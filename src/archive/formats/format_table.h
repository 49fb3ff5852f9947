// One row per archive type: everything the library knows about a type in one
// place. The lister takes its walker from here, MakeReader its reader, Scan I
// whether a description can come from it, TUnSFX the extension of the archive
// inside a self-extractor. Adding a format means adding its folder and its row.
#pragma once

#include <memory>
#include <string_view>

#include "archive/core/arc_type.h"
#include "archive/lister/lister_methods.h"

namespace lumora::archive {

class HeaderWalker;

// Which reader extracts a type's members (kept apart from the reader classes,
// so that the lister and LMTools need no reader code).
enum class ReaderKind : std::uint8_t { None, Zip, Lha, Arj, Cab, Zoo, Arc, Gzip, Tar, Rar };
inline constexpr int kReaderKindCount = static_cast<int>(ReaderKind::Rar) + 1;

// Where Scan I takes a description from.
enum class DescriptionSource : std::uint8_t {
    None,        // nothing: self-extractors, HA, BH, PAK and the non-archives
    Reader,      // the type's reader
    RarLibrary,  // the UnRAR interface
};

using WalkerMaker = std::unique_ptr<HeaderWalker> (*)();

struct FormatRow {
    TArcType type;
    std::string_view name;  // "atZIP", "atArjExe", ...
    MethodFamily family;
    WalkerMaker makeWalker;  // null: the lister cannot read the type
    ReaderKind reader;
    DescriptionSource description;
    std::string_view sfxExtension;  // self-extractors: the archive's own extension
};

// The row of `type`; a value outside the enumeration gets the row of atNA
// with the name "?".
const FormatRow& FormatOf(TArcType type);

}  // namespace lumora::archive
