// The archive lister: reads the directory of an archive of any detected type
// without extracting anything and reports every member that matches FileSpec
// through OnRead, with the member's data in the current member record while
// the event runs. OnTotals closes a listing that ran to its end.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "archive/core/awk_main.h"

namespace lumora::archive {

// The current member record, valid while OnRead runs.
struct TListerMember {
    std::uint64_t PackedSize = 0;
    std::uint64_t UnpackedSize = 0;
    std::uint8_t Ratio = 0;  // CompressionRatio(PackedSize, UnpackedSize)
    std::uint32_t Crc = 0;   // 16-bit checksums zero-extended
    std::uint16_t MethodCode = 0;
    std::string MethodName;
    std::uint8_t MethodOption = 0;  // ZIP: 6, 4 or 2 from flag bits 1-2
    TDateTime FileDate = 0;
    std::uint16_t VersionMadeBy = 0;
    std::uint16_t VersionNeeded = 0;
    std::uint16_t InternalAttr = 0;
    std::uint32_t ExternalAttr = 0;
    bool Encrypted = false;
    std::string MemberComment;  // ZIP only; released after the member
};

class TZipTV;

// Offset: file offset of the member's header (ZIP: of its local header);
// filenum: FileCount after counting this member.
using TOnRead = std::function<void(TZipTV& sender, std::uint64_t offset, int filenum)>;
using TOnTotals = std::function<void(TZipTV& sender, int numFiles)>;

class TZipTV : public TZipCommon {
public:
    TZipTV();

    // Directory entries are reported too (with the current FileCount, not
    // counted themselves).
    bool ShowBlankDirs = false;
    TOnRead OnRead;
    TNotifyEvent OnReadBegin;
    TNotifyEvent OnReadEnd;
    TOnTotals OnTotals;

    // A non-empty path also resets FileCount.
    void SetArchiveFile(const std::string& path) override;
    void SetOpenArchiveFile(const std::string& path, const InputFile& open) override;

    // Lists ArchiveFile: true when the listing ran to its end or ArchiveFile
    // is empty; false when an error ended it (reported through OnError, with
    // OnDeactivate and without OnTotals) or any other exception left it.
    virtual bool Activate();

    // FileName() holds the member's stored name with "/" turned into "\".
    const TListerMember& Member() const { return member_; }

    int FileCount() const { return fileCount_; }
    std::uint64_t TotalPacked() const { return totalPacked_; }
    std::uint64_t TotalUnpacked() const { return totalUnpacked_; }
    std::uint8_t TotalRatio() const { return totalRatio_; }
    // The archive comment (ZIP end record, ARJ main header, a fixed text for
    // RAR archives with a long main header); valid until the listing ends.
    const std::string& ArchiveComment() const { return archiveComment_; }

private:
    friend class ListerRun;

    TListerMember member_;
    int fileCount_ = 0;
    std::uint64_t totalPacked_ = 0;
    std::uint64_t totalUnpacked_ = 0;
    std::uint8_t totalRatio_ = 0;
    std::string archiveComment_;
};

}  // namespace lumora::archive
