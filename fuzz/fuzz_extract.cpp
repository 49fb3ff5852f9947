// Extraction of every member of any file by the reader of its detected type,
// into a private folder, with stored folders on (the riskier path for
// names) and the description limit.
#include <cstddef>
#include <cstdint>
#include <exception>

#include "archive/core/un_base.h"
#include "archive/formats/make_reader.h"
#include "fuzz_file.h"

using namespace lumora::archive;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto& folder = lumora::fuzz::Folder();
    const auto& path = folder.Write(data, size);
    const auto& out = folder.FreshOutput();
    TZipCommon probe;
    probe.SetArchiveFile(path);
    auto reader = MakeReader(probe.ArcType());
    if (!reader) return 0;
    reader->UseStoredDirs = true;
    reader->MaxOutputBytes = 1 << 20;
    reader->Passwords = {"secret"};
    reader->OnFileExists = [](TZipCommon&, const std::string&, lumora::TDateTime, bool& accept) {
        accept = true;
    };
    reader->SetArchiveFile(path);
    reader->SetExtractDir(out);
    reader->SetFileSpec("*.*");
    try {
        reader->Extract();
    } catch (const std::exception&) {
        // Reported errors leave Extract as exceptions; the caller goes on.
    }
    return 0;
}
