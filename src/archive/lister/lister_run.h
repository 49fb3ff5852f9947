// One listing of TZipTV: the open archive, the header walk and the per-member
// reporting that every type's header step uses. The walk reads a fixed window
// at each header position and hands it to the type's step, which fills the
// member record, reports the member and names the next header position.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/core/input_file.h"
#include "archive/lister/zip_tv.h"

namespace lumora::archive {

class ListerRun;

// How a reported entry takes part in the listing.
enum class EntryKind {
    Member,     // matched against FileSpec, counted
    Unmatched,  // counted without a FileSpec test (the one gzip member)
    Directory,  // reported only with ShowBlankDirs, never counted
};

class HeaderWalker {
public:
    // `window`: the bytes read at each header position.
    explicit HeaderWalker(std::size_t window = 0) : window_(window) {}
    virtual ~HeaderWalker() = default;
    // Sets the window size and the first header position, and reads what
    // lies before the first header. By default the walker's window at the
    // first header offset (after a self-extractor's stub or a volume label).
    virtual void Prepare(ListerRun& run);
    // False for walkers whose header parser reads the file itself: the walk
    // then only keeps its window's end rule and reads nothing for them.
    virtual bool ReadsWindow() const { return true; }
    // One header at `at`; `w` holds run.Window() bytes read from there
    // (null when ReadsWindow() is false).
    virtual void Step(ListerRun& run, std::uint64_t at, const std::uint8_t* w) = 0;
    // After the walk of one volume: moves the run on to the next volume of
    // a multi-volume set (OpenVolume, SetPosition) and gives true, or gives
    // false when the archive ends here. By default archives are one file.
    virtual bool NextVolume(ListerRun&) { return false; }
    // After the walk, before the totals.
    virtual void Finish(ListerRun&) {}

private:
    std::size_t window_;
};

class ListerRun {
public:
    explicit ListerRun(TZipTV& tv) : tv_(tv) {}

    // Checks, opens, walks and fires OnTotals; errors raise E_RAISE after
    // OnError.
    void Execute();
    // Releases the comment, fires OnDeactivate when OnActivate fired, closes.
    void CleanUp();

    TZipTV& Lister() { return tv_; }
    const InputFile& File() const { return file_; }
    std::uint64_t Size() const { return size_; }
    std::size_t Window() const { return window_; }
    void SetWindow(std::size_t window) { window_ = window; }
    std::uint64_t Position() const { return pos_; }
    void SetPosition(std::uint64_t pos) { pos_ = pos; }
    void EndWalk() { ended_ = true; }
    bool Ended() const { return ended_; }
    int FileCount() const { return tv_.fileCount_; }
    bool AnythingReported() const { return reported_; }
    void SetArchiveComment(std::string text) { tv_.archiveComment_ = std::move(text); }

    // Up to `n` bytes at `at` (fewer at the end of the file).
    std::string ReadBytes(std::uint64_t at, std::size_t n) const;
    // Exactly `n` bytes at `at`; fewer ends the listing with `code`.
    std::string ReadExact(std::uint64_t at, std::size_t n, int code);
    // The text at `at` up to its zero byte, which must come within `max`
    // bytes; otherwise the listing ends with `code`. `end` gets the position
    // after the zero byte.
    std::string ReadCString(std::uint64_t at, std::size_t max, int code, std::uint64_t* end);

    // The next header position: it must lie after `headerStart` and inside
    // the file, otherwise the listing ends with the header error.
    void MoveTo(std::uint64_t next, std::uint64_t headerStart);

    // A fresh member record for the header being read.
    TListerMember& NewMember();
    // Reports the current member record under `storedName` ("/" becomes "\")
    // with the header offset given to OnRead.
    void Report(const std::string& storedName, std::uint64_t offset, EntryKind kind);

    // Closes the file walked so far and opens `path` in its place, the
    // position at its start; an open error ends the listing, reported for
    // `path` with `volumeId`.
    void OpenVolume(const std::string& path, const std::string& volumeId);

    [[noreturn]] void Fail(int code);
    // An error of the file `path` rather than of ArchiveFile.
    [[noreturn]] void FailOn(const std::string& path, int code, const std::string& volumeId);
    void Warn(int code);

private:
    void Walk(HeaderWalker& walker);
    void Fire(std::uint64_t offset);

    TZipTV& tv_;
    InputFile file_;
    std::uint64_t size_ = 0;
    std::size_t window_ = 0;
    std::uint64_t pos_ = 0;
    bool ended_ = false;
    bool activated_ = false;
    bool reported_ = false;
};

// a + b, or the largest value when the sum does not fit.
inline std::uint64_t SaturatingAdd(std::uint64_t a, std::uint64_t b) {
    return a + b < a ? ~std::uint64_t{0} : a + b;
}

}  // namespace lumora::archive
