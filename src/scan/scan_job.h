// Scan I: from a set of archive files to the written list file.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_info.h"
#include "platform/locale_formats.h"
#include "scan/description_source.h"
#include "scan/host.h"
#include "scan/job_log.h"
#include "scan/layout.h"
#include "scan/list_text.h"
#include "scan/path_list.h"
#include "scan/read_ahead.h"
#include "scan/summary.h"
#include "settings/app_settings.h"

namespace lumora {

// State of the job when an unexpected error ended it.
struct CrashContext {
    std::string currentName;  // name column text, empty before the first archive
    int currentIndex = 0;
    int archiveCount = 0;
};

// Where the job puts the list as it makes it.
class ListSink {
public:
    virtual ~ListSink() = default;
    // One list item (several lines joined by CR LF where an item has more).
    virtual void Item(const std::string& item) = 0;
    // The list is complete; false with the reason when it cannot be saved.
    // A sink dropped without Finish leaves no list behind.
    virtual bool Finish(std::string* error) = 0;
};

// The list file at `path`, each item followed by CR LF, replacing the file
// by WriteWholeFile's rules when finished.
std::unique_ptr<ListSink> OpenListFile(const std::string& path);

struct ScanEnvironment {
    Configuration& config;
    const LocaleFormats& formats;
    ScanHost& host;
    JobLog& log;
    DescriptionSource& source;
    // Private temp folder, ends in "/"; empty when none could be made.
    std::string tempDir;
    // Opens the list the job writes into; the default is OpenListFile.
    std::function<std::unique_ptr<ListSink>(const std::string& path)> openList;
    // Cleans a description's lines in place; empty = no filtering.
    std::function<void(std::vector<std::string>& lines)> filterDescription;
    // Called with an unexpected error's message; the desktop program writes
    // the crash report and ends there.
    std::function<void(const std::string& message, const CrashContext& context)> onCrash;
    // Archives read at once by worker threads, each with a source of its own
    // from `makeSource`; with one (or no maker) `source` reads them in turn.
    int workers = 1;
    ReadAhead::MakeSource makeSource = nullptr;
};

// The archives of a job in list order, with their group marks.
struct SortedArchives {
    PathList paths;                    // host paths (UTF-8), as given
    std::vector<std::uint32_t> order;  // indexes into `paths`, in list order
    std::vector<GroupMark> marks;      // per list position
    std::size_t size() const { return order.size(); }
    std::string Path(std::size_t i) const { return std::string(paths[order[i]]); }
};

// Sorts case-insensitively (Windows-1252 folding, bytes as tie-break) and
// gives every entry its group mark.
SortedArchives SortAndMark(PathList hostPaths);

// One archive as the job found it, for lists in other formats.
struct ArchiveReport {
    enum class Status { Ok, NoDescription, Empty, Error };
    std::string path;  // host path (UTF-8)
    std::string name;  // name column text (Windows-1252)
    std::optional<std::uint64_t> size;
    std::optional<TDateTime> modified;
    Status status = Status::NoDescription;
    int errorCode = 0;                         // with Status::Error, 0 when unknown
    std::string errorText;                     // Windows-1252, with Status::Error
    std::vector<std::string> lines;            // the description after the filters, as stored
    std::optional<archive::TArcType> arcType;  // where the scan detected it
};

class ScanJob {
public:
    explicit ScanJob(ScanEnvironment env);

    // The Scan I command once the archives are chosen: the InfoFileList check,
    // busy state, save dialog, start log, sort and mark, the run, writing the
    // list, end log, completion message, idle. `sourceFolder` is the initial
    // folder of the save dialog and the summary's folder.
    void RunCommand(PathList archives, const std::string& sourceFolder);
    void RunCommand(const std::vector<std::string>& archives, const std::string& sourceFolder);

    // The per-archive loop, giving `list` its items; false when the user
    // cancelled or an error ended it.
    bool RunScanJob(const SortedArchives& archives, const std::string& sourceFolder,
                    ListSink& list);

    // The character set of the list; by default the one the OEM option chooses.
    void SetListText(ListText text) { listText_ = text; }
    // Told of the summary's figures before the first archive (they are known
    // then), and of every archive done.
    std::function<void(const ArchiveReport&)> onArchive;
    std::function<void(const SummaryInput&)> onSummary;

    // The Stop command: asked about at the start of the next archive.
    void RequestCancel();
    bool cancelRequested() const { return cancelRequested_; }
    // Closing the program: the job ends at the start of the next archive
    // without the cancel question and without the completion message.
    void RequestQuit();

private:
    struct Totals;
    Totals FirstPass(const SortedArchives& archives) const;
    // Reads `file` where it is open (the archive as opened for its size and
    // date), else the archive by its path.
    ExtractionOutcome ReadDescriptionOf(const std::string& path, std::size_t index,
                                        DescriptionSource& source,
                                        const archive::InputFile& file) const;
    ArchiveRead TakeRead(ReadAhead& ahead, std::size_t index);
    void ShowDeferredBoxes(const std::vector<DeferredBox>& boxes);
    bool AskCancel();
    void ProcessArchive(const SortedArchives& archives, int index, ReadAhead* ahead, ListSink& list,
                        double& processedKb, const EntryLayout& layout);
    std::string NameColumnText(const std::string& hostPath);
    bool FinishList(ListSink& list, const std::string& path);
    ListText Text() const;

    ScanEnvironment env_;
    std::atomic<bool> cancelRequested_{false};
    std::atomic<bool> quitRequested_{false};
    ShortNameCache shortNames_;  // made afresh for every job
    CrashContext crash_;
    bool crashed_ = false;
    int gaugeMax_ = 0;
    std::optional<ListText> listText_;
};

// Texts of the job.
inline constexpr const char* kNoDescriptionText = "LM : Keine FILE_ID gefunden";
inline constexpr const char* kEmptyDescriptionText = "LM : Leere FILE_ID";
inline constexpr const char* kUnknownField = "< ? >";
inline constexpr std::size_t kDescriptionReadLimit = 1 << 20;

}  // namespace lumora
