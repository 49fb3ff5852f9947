#include "cli/terminal_host.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>

#include "cli/stop_signals.h"
#include "platform/code_pages.h"
#include "platform/text.h"

namespace lumora::cli {

std::string TerminalText(const std::string& ansi) {
    std::string out;
    for (std::size_t i = 0; i < ansi.size(); ++i) {
        if (ansi[i] == '\r') {
            out += '\n';
            if (i + 1 < ansi.size() && ansi[i + 1] == '\n') ++i;
        } else {
            out += ansi[i];
        }
    }
    return AnsiToUtf8(out);
}

TerminalHost::TerminalHost(std::string listFile, bool quiet)
    : listFile_(std::move(listFile)), quiet_(quiet), progress_(!quiet && isatty(STDERR_FILENO)) {}

void TerminalHost::ClearProgress() {
    if (progressShown_) std::fputs("\r\033[K", stderr);
    progressShown_ = false;
}

void TerminalHost::ShowProgress() {
    if (!progress_ || gaugeMax_ < 0) return;
    const auto now = std::chrono::steady_clock::now();
    if (!started_) started_ = now;
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(now - *started_).count();
    std::string line = std::to_string(gaugePos_) + "/" + std::to_string(gaugeMax_ + 1);
    if (!totalKb_.empty())
        line += "  " + (processedKb_.empty() ? "0" : processedKb_) + "/" + totalKb_ + " KB";
    char elapsed[32];
    std::snprintf(elapsed, sizeof elapsed, "  %lld:%02lld", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
    line += elapsed;
    if (!current_.empty()) line += "  " + TerminalText(current_);
    // A line longer than the terminal would wrap, and the next one could not
    // replace it.
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 1)
        line = std::string(Utf8Prefix(line, size.ws_col - 1u));
    std::fprintf(stderr, "\r\033[K%s", line.c_str());
    std::fflush(stderr);
    progressShown_ = true;
}

MsgAnswer TerminalHost::MessageBox(const std::string& caption, const std::string& text,
                                   MsgIcon icon, MsgButtons buttons) {
    ClearProgress();
    const bool question = buttons != MsgButtons::Ok;
    const bool problem = icon == MsgIcon::Error || icon == MsgIcon::Warning;
    if (!(quietCompletion && icon == MsgIcon::Information && !question) && (!quiet_ || problem))
        std::fprintf(stderr, "lumora-cli: %s: %s\n", TerminalText(caption).c_str(),
                     TerminalText(text).c_str());
    // The only question a terminal run meets is the stop question after
    // a stop signal; every other question keeps what is there.
    if (!question) return MsgAnswer::Ok;
    return caption == "Abbruch" ? MsgAnswer::Yes : MsgAnswer::No;
}

void TerminalHost::ProcessMessages() {
    if (!stopForwarded_ && ReceivedStopSignal() != 0) {
        stopForwarded_ = true;
        if (onStop) onStop();
    }
}

std::optional<std::string> TerminalHost::AskSaveFileName(const SaveDialogRequest&) {
    if (ReceivedStopSignal() != 0) return std::nullopt;
    return listFile_;
}

void TerminalHost::SetIdle() {
    ClearProgress();
    started_.reset();
    current_.clear();
    totalKb_.clear();
    processedKb_.clear();
}

void TerminalHost::LogLineAdded(const std::string& text, LogKind kind) {
    if (!echoFailedLogLines || kind != LogKind::Failure) return;
    ClearProgress();
    std::fprintf(stderr, "lumora-cli: %s\n", TerminalText(text).c_str());
}

std::optional<ScanIIOptions> TerminalHost::AskScanIIOptions(const std::string&,
                                                            const std::vector<std::string>&) {
    if (optionsGiven_) return std::nullopt;
    optionsGiven_ = true;
    return scanIIOptions;
}

void TerminalHost::SetCurrentFileField(const std::string& text) {
    current_ = text;
    if (!text.empty()) ShowProgress();
}

void TerminalHost::SetProcessedField(const std::string& text) {
    processedKb_ = text;
    if (!text.empty()) ShowProgress();
}

void TerminalHost::SetGaugePosition(int pos) {
    gaugePos_ = pos;
    if (pos > 0) ShowProgress();
}

}  // namespace lumora::cli
