#include "archive/core/error_codes.h"

#include <array>
#include <utility>

namespace lumora::archive {

namespace {

// Windows-1252 bytes; a string break follows every \x escape so that no
// following letter is read as a further hex digit.
constexpr std::array<std::pair<int, std::string_view>, 36> kTexts = {{
    {ecode::BadFileHeader,
     "Ung\xFC"
     "ltiger File-Header"},
    {ecode::BadBlock, "Fehlerhafter Block"},
    {ecode::BadHuffmanCode, "Fehlerhafter Huffman Code"},
    {ecode::BadCode,
     "Ung\xFC"
     "ltiger Code"},
    {ecode::BadBitCount, "Falsche Bit-Anzahl"},
    {ecode::WriteError, "Fehler beim Schreiben"},
    {ecode::CloseError,
     "Fehler beim Schlie\xDF"
     "en der Datei"},
    {ecode::IncompleteCodeSet,
     "Unvollst\xE4"
     "ndiges Code Set"},
    {ecode::CrcError,
     "Fehler bei der CRC \xDC"
     "berpr\xFC"
     "fung"},
    {ecode::BadDecodingTree,
     "Datei enth\xE4"
     "lt ung\xFC"
     "ltigen Dekodierungs-Baum"},
    {ecode::FileNotFound, "Datei nicht gefunden"},
    {ecode::OpenError,
     "Fehler beim \xD6"
     "ffnen der Datei"},
    {ecode::ReadError, "Fehler beim Lesen oder unerwartetes EOF()"},
    {ecode::HeaderCrcError, "Header CRC Fehler"},
    {ecode::HeaderIdError, "Header ID Fehler"},
    {ecode::BadArchive,
     "Ung\xFC"
     "ltiges oder defektes Archiv"},
    {ecode::BadFileName,
     "Ung\xFC"
     "ltiger Dateiname"},
    {ecode::BadLengths,
     "Falsche L\xE4"
     "ngen"},
    {ecode::InconsistentHeader, "Inkonsistenter Header"},
    {ecode::TooManyVolumes, "Maximal 999 Volumes !"},
    {ecode::OutOfMemory, "Zu wenig Speicher"},
    {ecode::GzipMultipart,
     "Nicht unterst\xFC"
     "tzt : GZIP multipart"},
    {ecode::EventNotAssigned, "Event nicht zugewiesen"},
    {ecode::PasswordProtected,
     "Passwortgesch\xFC"
     "tzte Datei"},
    {ecode::SeekError, "Seek() Fehler"},
    {ecode::BadShannonFanoTree,
     "Ung\xFC"
     "ltiger Shannon-Fano Dekodierungs-Baum"},
    {ecode::StackOverflow, "Stack overflow"},
    {ecode::UnsupportedMethod,
     "Nicht unterst\xFC"
     "tzte Kompressionsmethode"},
    {ecode::UnknownFileType, "Unbekannter Dateityp"},
    {ecode::VersionError, "Versions - Fehler"},
    {ecode::NextDisk,
     "N\xE4"
     "chste Diskette"},
    {ecode::CabinetNotInSet,
     "Cabinet geh\xF6"
     "rt nicht zu diesem Set"},
    {ecode::InvalidPassword,
     "Ung\xFC"
     "ltiges Passwort"},
    {ecode::PasswordFailed, "Passwort fehlgeschlagen"},
    {ecode::FileSkipped,
     "Datei \xFC"
     "bersprungen"},
    {ecode::EmptyArchive, "Leeres Archiv ?!"},
}};

}  // namespace

std::string_view ErrorText(int code) {
    for (const auto& [c, text] : kTexts) {
        if (c == code) return text;
    }
    return {};
}

}  // namespace lumora::archive
