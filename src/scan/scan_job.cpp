#include "scan/scan_job.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <exception>

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
};

namespace {

// Results read ahead per worker: enough to keep every worker busy while the
// job writes, few enough that memory stays flat.
constexpr std::size_t kReadsAheadPerWorker = 2;
// How long the job waits for a result before it lets the host handle events.
constexpr std::chrono::milliseconds kTakeWait{20};

}  // namespace

std::vector<ArchiveEntry> SortAndMark(const std::vector<std::string>& hostPaths) {
    std::vector<ArchiveEntry> entries;
    entries.reserve(hostPaths.size());
    for (const auto& p : hostPaths) entries.push_back({p, Utf8ToAnsi(p), GroupMark::Single});
    std::stable_sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        return AnsiCompareOrder(a.ansiPath, b.ansiPath) < 0;
    });
    if (entries.empty()) return entries;
    std::vector<std::string> paths;
    for (const auto& e : entries) paths.push_back(e.ansiPath);
    const auto marks = MarkSimilarGroups(paths);
    for (std::size_t i = 0; i < entries.size(); ++i) entries[i].mark = marks[i];
    return entries;
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
            const auto sorted = SortAndMark(archives);
            const auto items = RunScanJob(sorted, sourceFolder);
            if (crashed_) return;
            const bool written = !items || WriteList(*listFile, *items);
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

ScanJob::Totals ScanJob::FirstPass(const std::vector<ArchiveEntry>& archives) const {
    Totals t;
    bool any = false;
    for (const auto& a : archives) {
        const auto st = StatArchiveFile(a.path);
        if (!st) continue;
        t.kilobytes += static_cast<double>(st->size / 1024);
        if (!any || st->modified < t.oldest) t.oldest = st->modified;
        if (!any || st->modified > t.newest) t.newest = st->modified;
        any = true;
    }
    if (!any) t.oldest = t.newest = std::floor(NowLocal());
    return t;
}

bool ScanJob::AskCancel() {
    const MsgAnswer answer = env_.host.MessageBox("Abbruch", "Den Vorgang wirklich abbrechen ?",
                                                  MsgIcon::Question, MsgButtons::YesNo);
    if (answer == MsgAnswer::Yes) return true;
    cancelRequested_ = false;
    return false;
}

std::optional<std::vector<std::string>> ScanJob::RunScanJob(
    const std::vector<ArchiveEntry>& archives, const std::string& sourceFolder) {
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
        const EntryLayout layout(env_.config.settings, FormatShortDate(env_.formats, today).size(),
                                 Text());
        std::vector<std::string> output;
        double processedKb = 0;
        std::optional<ReadAhead> ahead;
        if (env_.workers > 1 && env_.makeSource && archives.size() > 1) {
            const auto workers = static_cast<std::size_t>(env_.workers);
            ahead.emplace(archives.size(), env_.workers, workers * kReadsAheadPerWorker,
                          env_.makeSource,
                          [this, &archives](std::size_t i, DescriptionSource& src) {
                              ArchiveRead r;
                              archive::InputFile file;
                              r.stat = OpenArchiveOnce(archives[i].path, file);
                              r.outcome = ReadDescriptionOf(archives[i], i, src, file);
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
                return std::nullopt;
            }
            ProcessArchive(archives[i], static_cast<int>(i), ahead ? &*ahead : nullptr, output,
                           processedKb, layout);
        }
        const SummaryInput in{static_cast<int>(archives.size()),
                              totals.kilobytes,
                              totals.oldest,
                              totals.newest,
                              today,
                              Utf8ToAnsi(sourceFolder)};
        if (onSummary) onSummary(in);
        if (env_.config.settings.Resume) {
            output.emplace_back();
            output.push_back(Text().Program(BuildSummary(in, env_.formats)));
        }
        return output;
    } catch (const std::exception& e) {
        crashed_ = true;
        if (env_.onCrash) env_.onCrash(e.what(), crash_);
    } catch (...) {
        crashed_ = true;
        if (env_.onCrash) env_.onCrash("Unbekannter Fehler", crash_);
    }
    return std::nullopt;
}

std::string ScanJob::NameColumnText(const std::string& hostPath) {
    const std::string name = NamePart(hostPath);
    if (env_.config.settings.ShortName) return shortNames_.AliasFor(FolderPart(hostPath), name);
    return UpperAZ(Utf8ToAnsi(name));
}

ExtractionOutcome ScanJob::ReadDescriptionOf(const ArchiveEntry& entry, std::size_t index,
                                             DescriptionSource& source,
                                             const archive::InputFile& file) const {
    // Each archive has its own place in the private folder for what has to
    // pass through files, so nothing of one archive can pass for another's.
    const std::string folder = env_.tempDir + "a" + std::to_string(index) + "/";
    if (!file.IsOpen())
        return source.ExtractDescription(entry.path, env_.config.InfoFileList, folder);
    return source.ExtractOpenDescription(entry.path, file, env_.config.InfoFileList, folder);
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

void ScanJob::ProcessArchive(const ArchiveEntry& entry, int index, ReadAhead* ahead,
                             std::vector<std::string>& output, double& processedKb,
                             const EntryLayout& layout) {
    ScanHost& host = env_.host;
    const AppSettings& s = env_.config.settings;
    const ListText text = Text();
    ArchiveReport report{
        entry.path, "", std::nullopt, std::nullopt, ArchiveReport::Status::NoDescription, 0,
        {},         {}};
    EntryColumns columns;
    columns.name = NameColumnText(entry.path);
    crash_.currentName = columns.name;
    host.SetCurrentFileField(columns.name);
    host.ProcessMessages();

    const auto at = static_cast<std::size_t>(index);
    std::optional<ArchiveRead> ready;
    if (ahead) ready = TakeRead(*ahead, at);
    archive::InputFile file;  // read in turn: opened once for all that follows
    if (const auto st = ready ? ready->stat : OpenArchiveOnce(entry.path, file)) {
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
        ready ? std::move(ready->outcome) : ReadDescriptionOf(entry, at, env_.source, file));
    file.Close();
    const std::string& member = description.outcome.memberName;

    std::string status;
    bool failure = true;
    if (description.found) {
        std::vector<std::string> lines = SplitTextLines(description.bytes);
        if (env_.filterDescription) env_.filterDescription(lines);
        if (lines.empty()) {
            output.push_back(layout.FormatEntryLine(columns, text.Program(kEmptyDescriptionText)));
            status = "Leere FILE_ID";
            report.status = ArchiveReport::Status::Empty;
        } else {
            layout.AppendDescription(output, columns, lines, entry.mark);
            status = "O.K.";
            failure = false;
            report.status = ArchiveReport::Status::Ok;
            report.lines = std::move(lines);
        }
    } else {
        // The error text of a failed listing or extraction, or that none was found.
        const std::string& shown =
            description.outcome.listerFailed ? description.statusText : kNoDescriptionText;
        output.push_back(layout.FormatEntryLine(columns, text.Program(shown)));
        status = description.statusText;
        if (description.outcome.listerFailed) {
            report.status = ArchiveReport::Status::Error;
            report.errorCode = description.outcome.listerCode;
            report.errorText = description.statusText;
        }
    }

    if (s.Divide && (entry.mark == GroupMark::Single || entry.mark == GroupMark::Last))
        output.push_back(text.Separator(SeparatorText(env_.config)));
    report.name = columns.name;
    if (onArchive) onArchive(report);
    host.SetGaugePosition(std::min(index + 1, gaugeMax_));
    host.SetStatusPanel(1, "Bearbeitet : " + std::to_string(index + 1) + " Dateien");
    env_.log.LogArchive(Utf8ToAnsi(FolderPart(entry.path)), columns.name, member, status, failure);
    host.ProcessMessages();
}

bool ScanJob::WriteList(const std::string& path, const std::vector<std::string>& items) {
    // Sized once: a list of many archives is not held twice while it grows.
    std::size_t size = 0;
    for (const auto& item : items) size += item.size() + 2;
    std::string bytes;
    bytes.reserve(size);
    for (const auto& item : items) bytes.append(item).append("\r\n");
    std::string error;
    const bool ok =
        env_.writeList ? env_.writeList(path, bytes, &error) : WriteWholeFile(path, bytes, &error);
    if (!ok)
        env_.host.MessageBox("Fehler",
                             "Die Liste kann nicht gespeichert werden:\r" + Utf8ToAnsi(path) +
                                 "\r" + Utf8ToAnsi(error),
                             MsgIcon::Error, MsgButtons::Ok);
    return ok;
}

}  // namespace lumora
