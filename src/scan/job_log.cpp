#include "scan/job_log.h"

#include "platform/file_io.h"
#include "platform/text.h"

namespace lumora {

namespace {

const std::string kDashes(27, '-');

}  // namespace

void JobLog::AddLogLine(const std::string& text, LogKind kind) {
    if (!shown_) return;
    if (sink_) {
        sink_(text);
    } else {
        lines_.push_back(text);
        kinds_.push_back(kind);
    }
    host_.LogLineAdded(text, kind);
}

void JobLog::LogJobStart() {
    if (!shown_) return;
    const TDateTime now = NowLocal();
    AddLogLine("Neuer Job gestartet : " + FormatShortDate(formats_, now) + ", " +
                   FormatLongTime(formats_, now) + " Uhr",
               LogKind::Neutral);
    AddLogLine(kDashes, LogKind::Neutral);
    host_.SelectLastLogLine();
}

void JobLog::LogJobEnd() {
    if (!shown_) return;
    const TDateTime now = NowLocal();
    AddLogLine(kDashes, LogKind::Neutral);
    AddLogLine("Job beendet : " + FormatShortDate(formats_, now) + ", " +
                   FormatLongTime(formats_, now) + " Uhr",
               LogKind::Neutral);
    host_.SelectLastLogLine();
}

void JobLog::LogArchive(const std::string& folder, const std::string& name,
                        const std::string& member, const std::string& status, bool failure) {
    if (!shown_) return;
    CheckLimit();
    AddLogLine(folder + name + ", " + member + "... " + status,
               failure ? LogKind::Failure : LogKind::Success);
    host_.SelectLastLogLine();
}

void JobLog::CheckLimit() {
    if (!shown_ || static_cast<long>(lines_.size()) < lineLimit_) return;
    host_.MessageBox("Hinweis",
                     Utf8ToAnsi("Das Protokoll hat die definierte Zeilenanzahl erreicht und wird "
                                "nun gelöscht."),
                     MsgIcon::None, MsgButtons::Ok);
    ClearWithQuestion();
}

bool JobLog::ClearWithQuestion() {
    const MsgAnswer answer =
        host_.MessageBox("Protokoll", Utf8ToAnsi("Den Inhalt des Protokolls wirklich löschen ?"),
                         MsgIcon::Question, MsgButtons::YesNoDefaultNo);
    if (answer != MsgAnswer::Yes) return false;
    lines_.clear();
    kinds_.clear();
    host_.LogCleared();
    return true;
}

std::string JobLog::SavedText() const {
    std::string out;
    for (const auto& line : lines_) out += line + "\r\n";
    return out;
}

bool JobLog::SaveTo(const std::string& path, std::string* error) const {
    return WriteWholeFile(path, SavedText(), error);
}

bool JobLog::SaveWithDialog(const std::string& programDir) {
    // The dialog keeps its default extension for this command.
    const auto path =
        host_.AskSaveFileName({"Protokoll speichern", programDir, "", kListFileTypes});
    if (!path) return false;
    std::string error;
    if (SaveTo(*path, &error)) return true;
    host_.MessageBox("Fehler", Utf8ToAnsi(error), MsgIcon::Error, MsgButtons::Ok);
    return false;
}

}  // namespace lumora
