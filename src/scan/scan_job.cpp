#include "scan/scan_job.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <exception>
#include <thread>

#include "platform/app_dirs.h"
#include "platform/file_info.h"
#include "platform/file_io.h"
#include "platform/text.h"
#include "scan/description_extraction.h"
#include "scan/summary.h"

namespace lumora {

namespace {

std::string FolderPart(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string NamePart(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Opens the archive for its size, date and description: nullopt, with
// `file` not open, where StatArchiveFile would give none.
std::optional<ArchiveFileStat> OpenArchiveOnce(const std::string& path, archive::InputFile& file) {
    if (!file.Open(path)) return std::nullopt;
    return ArchiveFileStat{file.Size(),
                           UnixToLocalDateTime(static_cast<std::int64_t>(file.ModifiedTime()))};
}

}  // namespace

struct ScanJob::Totals {
    double kilobytes = 0;
    TDateTime oldest = 0;
    TDateTime newest = 0;
    bool any = false;
    void Add(const ArchiveFileStat& st);
    void Add(const Totals& other);
};

namespace {

// Results read ahead per worker: enough to keep every worker busy while the
// job writes, few enough that memory stays flat.
constexpr std::size_t kReadsAheadPerWorker = 8;
// Archives per thread of the first pass below which more threads do not pay.
constexpr std::size_t kFirstPassShare = 64;
// How long the job waits for a result before it lets the host handle events.
constexpr std::chrono::milliseconds kTakeWait{20};

}  // namespace

namespace {

class ListFileSink final : public ListSink {
public:
    explicit ListFileSink(const std::string& path) : file_(path) {}
    void Item(const std::string& item) override {
        file_.Write(item);
        file_.Write("\r\n");
    }
    bool Finish(std::string* error) override { return file_.Commit(error); }

private:
    WholeFileWriter file_;
};

}  // namespace

std::unique_ptr<ListSink> OpenListFile(const std::string& path) {
    return std::make_unique<ListFileSink>(path);
}

SortedArchives SortAndMark(PathList hostPaths) {
    SortedArchives sorted;
    sorted.paths = std::move(hostPaths);
    const std::size_t n = sorted.paths.size();
    // The Windows-1252 forms are needed for sorting and grouping only; their
    // upper-case forms are made once, not at every comparison. Comparing
    // those, then the forms themselves, is AnsiCompareOrder.
    PathList ansi, upper;
    for (std::size_t i = 0; i < n; ++i) {
        ansi.Add(Utf8ToAnsi(sorted.paths[i]));
        upper.Add(AnsiUpperCase(ansi[i]));
    }
    sorted.order.resize(n);
    for (std::size_t i = 0; i < n; ++i) sorted.order[i] = static_cast<std::uint32_t>(i);
    std::stable_sort(sorted.order.begin(), sorted.order.end(),
                     [&](std::uint32_t a, std::uint32_t b) {
                         const int folded = upper[a].compare(upper[b]);
                         return folded != 0 ? folded < 0 : ansi[a] < ansi[b];
                     });
    sorted.marks = MarkSimilarGroups(n, [&](std::size_t i) { return ansi[sorted.order[i]]; });
    return sorted;
}

ScanJob::ScanJob(ScanEnvironment env) : env_(std::move(env)) {}

ListText ScanJob::Text() const {
    return listText_ ? *listText_ : ListText::FromSettings(env_.config.settings);
}

void ScanJob::RequestCancel() {
    cancelRequested_ = true;
}

void ScanJob::RequestQuit() {
    quitRequested_ = true;
}

void ScanJob::RunCommand(const std::vector<std::string>& archives,
                         const std::string& sourceFolder) {
    PathList paths;
    for (const auto& a : archives) paths.Add(a);
    RunCommand(std::move(paths), sourceFolder);
}

void ScanJob::RunCommand(PathList archives, const std::string& sourceFolder) {
    ScanHost& host = env_.host;
    if (env_.config.InfoFileList.empty()) {
        host.MessageBox(
            "Warnung",
            Utf8ToAnsi("Sie haben noch keine Info-Dateien definiert, nach denen Lumora in den "
                       "Archiven suchen soll.\rBevor Sie eine Liste erstellen können, muß "
                       "mindestens eine Info-Datei definiert sein ( z.B. \"FILE_ID.DIZ\" )"),
            MsgIcon::Warning, MsgButtons::Ok);
        return;
    }
    if (env_.tempDir.empty()) {
        // Without a private folder descriptions would land beside the archives.
        host.MessageBox("Fehler", "Temp - Verzeichnis kann nicht ermittelt werden !",
                        MsgIcon::Error, MsgButtons::Ok);
        return;
    }
    host.SetBusy();
    if (!archives.empty()) {
        host.ProcessMessages();
        const auto listFile = host.AskSaveFileName(
            {"Dateiliste speichern unter", sourceFolder, "txt", kListFileTypes});
        if (listFile) {
            env_.log.LogJobStart();
            const SortedArchives sorted = SortAndMark(std::move(archives));
            const std::unique_ptr<ListSink> list =
                env_.openList ? env_.openList(*listFile) : OpenListFile(*listFile);
            const bool complete = RunScanJob(sorted, sourceFolder, *list);
            if (crashed_) return;
            const bool written = !complete || FinishList(*list, *listFile);
            env_.log.LogJobEnd();
            host.SelectLastLogLine();
            host.SetIdle();
            host.SetTotalField("");
            host.SetProcessedField("");
            host.SetCurrentFileField("");
            host.SetGaugePosition(0);
            if (written && !quitRequested_)
                host.MessageBox("Hinweis", "Die Erstellung der Liste ist abgeschlossen !",
                                MsgIcon::Information, MsgButtons::Ok);
        }
    }
    host.ProcessMessages();
    host.SetIdle();
}

void ScanJob::Totals::Add(const ArchiveFileStat& st) {
    kilobytes += static_cast<double>(st.size / 1024);
    if (!any || st.modified < oldest) oldest = st.modified;
    if (!any || st.modified > newest) newest = st.modified;
    any = true;
}

void ScanJob::Totals::Add(const Totals& other) {
    // Whole kilobytes add up exactly in a double, in any order.
    kilobytes += other.kilobytes;
    if (other.any) {
        Add(ArchiveFileStat{0, other.oldest});
        Add(ArchiveFileStat{0, other.newest});
    }
}

// The sizes and dates of all archives before the first is read. With
// several workers each looks at its share of the archives, so this pass
// is not left to one thread while the others wait.
ScanJob::Totals ScanJob::FirstPass(const SortedArchives& archives) const {
    const std::size_t n = archives.size();
    const std::size_t threads = std::clamp<std::size_t>(
        n / kFirstPassShare, 1, static_cast<std::size_t>(std::max(env_.workers, 1)));
    std::vector<Totals> parts(threads);
    std::vector<std::exception_ptr> errors(threads);
    const auto pass = [&](std::size_t t) {
        try {
            for (std::size_t i = t * n / threads; i < (t + 1) * n / threads; ++i) {
                if (const auto st = StatArchiveFile(archives.Path(i))) parts[t].Add(*st);
            }
        } catch (...) {
            errors[t] = std::current_exception();
        }
    };
    {
        std::vector<std::jthread> helpers;
        for (std::size_t t = 1; t < threads; ++t) helpers.emplace_back(pass, t);
        pass(0);
    }
    Totals total;
    for (std::size_t t = 0; t < threads; ++t) {
        if (errors[t]) std::rethrow_exception(errors[t]);
        total.Add(parts[t]);
    }
    if (!total.any) total.oldest = total.newest = std::floor(NowLocal());
    return total;
}

bool ScanJob::AskCancel() {
    const MsgAnswer answer = env_.host.MessageBox("Abbruch", "Den Vorgang wirklich abbrechen ?",
                                                  MsgIcon::Question, MsgButtons::YesNo);
    if (answer == MsgAnswer::Yes) return true;
    cancelRequested_ = false;
    return false;
}

bool ScanJob::RunScanJob(const SortedArchives& archives, const std::string& sourceFolder,
                         ListSink& list) {
    ScanHost& host = env_.host;
    crash_ = CrashContext{"", 0, static_cast<int>(archives.size())};
    crashed_ = false;
    shortNames_ = ShortNameCache();
    gaugeMax_ = static_cast<int>(archives.size()) - 1;
    try {
        cancelRequested_ = false;
        const Totals totals = FirstPass(archives);
        host.SetTotalField(FormatThousands(env_.formats, totals.kilobytes));
        host.SetGaugeMax(gaugeMax_);
        host.SetGaugePosition(0);
        host.ProcessMessages();

        const TDateTime today = NowLocal();
        const SummaryInput summary{static_cast<int>(archives.size()),
                                   totals.kilobytes,
                                   totals.oldest,
                                   totals.newest,
                                   today,
                                   Utf8ToAnsi(sourceFolder)};
        if (onSummary) onSummary(summary);
        const EntryLayout layout(env_.config.settings, FormatShortDate(env_.formats, today).size(),
                                 Text());
        double processedKb = 0;
        std::optional<ReadAhead> ahead;
        if (env_.workers > 1 && env_.makeSource && archives.size() > 1) {
            const auto workers = static_cast<std::size_t>(env_.workers);
            ahead.emplace(archives.size(), env_.workers, workers * kReadsAheadPerWorker,
                          env_.makeSource,
                          [this, &archives](std::size_t i, DescriptionSource& src) {
                              const std::string path = archives.Path(i);
                              ArchiveRead r;
                              archive::InputFile file;
                              r.stat = OpenArchiveOnce(path, file);
                              r.outcome = ReadDescriptionOf(path, i, src, file);
                              return r;
                          });
        }
        for (std::size_t i = 0; i < archives.size(); ++i) {
            crash_.currentIndex = static_cast<int>(i);
            if (quitRequested_ || (cancelRequested_ && AskCancel())) {
                host.SetTotalField("");
                host.SetProcessedField("");
                host.SetCurrentFileField("");
                host.SetGaugePosition(0);
                return false;
            }
            ProcessArchive(archives, static_cast<int>(i), ahead ? &*ahead : nullptr, list,
                           processedKb, layout);
        }
        if (env_.config.settings.Resume) {
            list.Item("");
            list.Item(Text().Program(BuildSummary(summary, env_.formats)));
        }
        return true;
    } catch (const std::exception& e) {
        crashed_ = true;
        if (env_.onCrash) env_.onCrash(e.what(), crash_);
    } catch (...) {
        crashed_ = true;
        if (env_.onCrash) env_.onCrash("Unbekannter Fehler", crash_);
    }
    return false;
}

std::string ScanJob::NameColumnText(const std::string& hostPath) {
    const std::string name = NamePart(hostPath);
    if (env_.config.settings.ShortName) return shortNames_.AliasFor(FolderPart(hostPath), name);
    return UpperAZ(Utf8ToAnsi(name));
}

ExtractionOutcome ScanJob::ReadDescriptionOf(const std::string& path, std::size_t index,
                                             DescriptionSource& source,
                                             const archive::InputFile& file) const {
    // Each archive has its own place in the private folder for what has to
    // pass through files, so nothing of one archive can pass for another's.
    const std::string folder = env_.tempDir + "a" + std::to_string(index) + "/";
    if (!file.IsOpen()) return source.ExtractDescription(path, env_.config.InfoFileList, folder);
    return source.ExtractOpenDescription(path, file, env_.config.InfoFileList, folder);
}

// A worker's result for the archive; the host handles its events while the
// job waits for it.
ArchiveRead ScanJob::TakeRead(ReadAhead& ahead, std::size_t index) {
    std::optional<ArchiveRead> read;
    while (!(read = ahead.TryTake(index, kTakeWait))) env_.host.ProcessMessages();
    return std::move(*read);
}

// The boxes a worker's reading asked for, shown where reading in turn would
// have shown them.
void ScanJob::ShowDeferredBoxes(const std::vector<DeferredBox>& boxes) {
    if (boxes.empty()) return;
    const ExtractionHooks hooks = HostHooks(env_.host);
    for (const DeferredBox& box : boxes) {
        if (box.exception) {
            hooks.showException(box.text);
        } else {
            hooks.messageBox(box.caption, box.text);
        }
    }
}

void ScanJob::ProcessArchive(const SortedArchives& archives, int index, ReadAhead* ahead,
                             ListSink& list, double& processedKb, const EntryLayout& layout) {
    ScanHost& host = env_.host;
    const AppSettings& s = env_.config.settings;
    const ListText text = Text();
    const auto at = static_cast<std::size_t>(index);
    const std::string path = archives.Path(at);
    const GroupMark mark = archives.marks[at];
    ArchiveReport report;
    report.path = path;
    EntryColumns columns;
    columns.name = NameColumnText(path);
    crash_.currentName = columns.name;
    host.SetCurrentFileField(columns.name);
    host.ProcessMessages();

    std::optional<ArchiveRead> ready;
    if (ahead) ready = TakeRead(*ahead, at);
    archive::InputFile file;  // read in turn: opened once for all that follows
    if (const auto st = ready ? ready->stat : OpenArchiveOnce(path, file)) {
        report.size = st->size;
        report.modified = st->modified;
        columns.size = std::to_string(st->size);
        processedKb += static_cast<double>(st->size / 1024);
        host.SetProcessedField(FormatThousands(env_.formats, processedKb));
        host.ProcessMessages();
        columns.date = FormatShortDate(env_.formats, st->modified);
    } else {
        columns.size = columns.date = kUnknownField;
    }

    if (ready) ShowDeferredBoxes(ready->boxes);
    const DescriptionResult description = DescriptionOf(
        ready ? std::move(ready->outcome) : ReadDescriptionOf(path, at, env_.source, file));
    file.Close();
    const std::string& member = description.outcome.memberName;

    std::string status;
    bool failure = true;
    if (description.found) {
        std::vector<std::string> lines = SplitTextLines(description.bytes);
        if (env_.filterDescription) env_.filterDescription(lines);
        if (lines.empty()) {
            list.Item(layout.FormatEntryLine(columns, text.Program(kEmptyDescriptionText)));
            status = "Leere FILE_ID";
            report.status = ArchiveReport::Status::Empty;
        } else {
            std::vector<std::string> items;
            layout.AppendDescription(items, columns, lines, mark);
            for (const auto& item : items) list.Item(item);
            status = "O.K.";
            failure = false;
            report.status = ArchiveReport::Status::Ok;
            report.lines = std::move(lines);
        }
    } else {
        // The error text of a failed listing or extraction, or that none was found.
        const std::string& shown =
            description.outcome.listerFailed ? description.statusText : kNoDescriptionText;
        list.Item(layout.FormatEntryLine(columns, text.Program(shown)));
        status = description.statusText;
        if (description.outcome.listerFailed) {
            report.status = ArchiveReport::Status::Error;
            report.errorCode = description.outcome.listerCode;
            report.errorText = description.statusText;
        }
    }

    if (s.Divide && (mark == GroupMark::Single || mark == GroupMark::Last))
        list.Item(text.Separator(SeparatorText(env_.config)));
    report.name = columns.name;
    report.arcType = description.outcome.arcType;
    if (onArchive) onArchive(report);
    host.SetGaugePosition(std::min(index + 1, gaugeMax_));
    host.SetStatusPanel(1, "Bearbeitet : " + std::to_string(index + 1) + " Dateien");
    env_.log.LogArchive(Utf8ToAnsi(FolderPart(path)), columns.name, member, status, failure);
    host.ProcessMessages();
}

bool ScanJob::FinishList(ListSink& list, const std::string& path) {
    std::string error;
    const bool ok = list.Finish(&error);
    if (!ok)
        env_.host.MessageBox("Fehler",
                             "Die Liste kann nicht gespeichert werden:\r" + Utf8ToAnsi(path) +
                                 "\r" + Utf8ToAnsi(error),
                             MsgIcon::Error, MsgButtons::Ok);
    return ok;
}

}  // namespace lumora
