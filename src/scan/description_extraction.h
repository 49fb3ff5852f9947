// Description extraction per archive: the lister establishes which members an
// archive holds, the first InfoFileList name present is chosen, and the
// reader of the archive's type decodes that one member into memory. Only the
// RAR library, which writes files, uses the job's private folder.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive/core/arc_type.h"
#include "archive/formats/rar/rar_extract.h"
#include "scan/description_source.h"
#include "scan/host.h"

namespace lumora::archive {
class TZipTV;
class TUnBase;
namespace unrar {
class UnrarLibrary;
}
}  // namespace lumora::archive

namespace lumora {

// Hooks that go to the front end.
ExtractionHooks HostHooks(ScanHost& host);

// Bytes written for one description at most; the member then counts as
// extracted and its first part is used.
inline constexpr std::uint64_t kDescriptionOutputLimit = 1 << 20;

class DescriptionExtraction final : public DescriptionSource {
public:
    explicit DescriptionExtraction(ExtractionHooks hooks = {});
    ~DescriptionExtraction() override;

    ExtractionOutcome ExtractDescription(const std::string& archivePath,
                                         const std::vector<std::string>& infoFileList,
                                         const std::string& destFolder) override;
    ExtractionOutcome ExtractOpenDescription(const std::string& archivePath,
                                             const archive::InputFile& open,
                                             const std::vector<std::string>& infoFileList,
                                             const std::string& destFolder) override;
    // Replaceable parts (the defaults: a TZipTV, the reader factory, the RAR
    // library found at start).
    std::function<std::unique_ptr<archive::TZipTV>()> makeLister;
    std::function<std::unique_ptr<archive::TUnBase>(archive::TArcType)> makeReader;
    std::function<archive::unrar::RarExtractResult(
        const std::string& archive, const std::string& member, const std::string& destFolder)>
        extractRar;

private:
    // A member the lister reported, with the checksum it gave for it.
    struct Found {
        std::string name;  // file-name part as stored
        std::uint32_t crc = 0;
        std::uint64_t size = 0;
    };
    struct Search {
        int code = -3;  // 0 found, -2 lister error, -3 no InfoFileList name present
        Found member;
    };
    struct MemberResult {
        bool failed = false;
        int code = 0;
        std::optional<std::string> bytes;  // the member, when it was extracted
    };

    archive::TZipTV& Lister();
    // The extraction once the lister holds the archive (and its type).
    ExtractionOutcome ExtractFromLister(const std::string& archivePath,
                                        const std::vector<std::string>& infoFileList,
                                        const std::string& destFolder);
    Search FindInfoFile(const std::vector<std::string>& names);
    void CollectMember(const archive::TZipTV& tv);
    MemberResult ExtractWithReader(archive::TUnBase& reader, const std::string& member,
                                   const std::string& destFolder);
    MemberResult ExtractRar(const std::string& archivePath, const Found& member,
                            const std::string& destFolder);
    MemberResult ExtractRarFile(const std::string& archivePath, const Found& member,
                                const std::string& destFolder);

    ExtractionHooks hooks_;
    std::unique_ptr<archive::TZipTV> lister_;
    std::unique_ptr<archive::unrar::UnrarLibrary> rarLibrary_;
    // State of the listing running now.
    const std::vector<std::string>* names_ = nullptr;
    std::vector<Found> firstMatch_;  // per InfoFileList name, the first member found
    bool listerFailed_ = false;
    std::string listerMessage_;
    int listerCode_ = 0;
};

// What Scan I makes of one archive's description.
struct DescriptionResult {
    bool found = false;      // a description file was extracted (it may be empty)
    std::string bytes;       // its first MiB
    std::string statusText;  // without one: "Keine FILE_ID gefunden" or the error text
    ExtractionOutcome outcome;
};

// The description of one archive as the job uses it; `folder` is a place in
// the private folder, ending in "/", free for this archive.
DescriptionResult ReadDescription(DescriptionSource& source, const std::string& archivePath,
                                  const std::vector<std::string>& infoFileList,
                                  const std::string& folder);
// What the job makes of a source's outcome.
DescriptionResult DescriptionOf(ExtractionOutcome outcome);

}  // namespace lumora
