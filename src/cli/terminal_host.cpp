#include "cli/terminal_host.h"

#include <unistd.h>

#include <cstdio>

#include "cli/stop_signals.h"
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

TerminalHost::TerminalHost(std::string listFile)
    : listFile_(std::move(listFile)), progress_(isatty(STDERR_FILENO) != 0) {}

MsgAnswer TerminalHost::MessageBox(const std::string& caption, const std::string& text,
                                   MsgIcon icon, MsgButtons buttons) {
    if (progressShown_) {
        std::fputs("\r\033[K", stderr);
        progressShown_ = false;
    }
    const bool question = buttons != MsgButtons::Ok;
    if (!(quietCompletion && icon == MsgIcon::Information && !question))
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
    if (progressShown_) std::fputs("\r\033[K", stderr);
    progressShown_ = false;
}

void TerminalHost::LogLineAdded(const std::string& text, LogKind kind) {
    if (!echoFailedLogLines || kind != LogKind::Failure) return;
    if (progressShown_) std::fputs("\r\033[K", stderr);
    progressShown_ = false;
    std::fprintf(stderr, "lumora-cli: %s\n", TerminalText(text).c_str());
}

std::optional<ScanIIOptions> TerminalHost::AskScanIIOptions(const std::string&,
                                                            const std::vector<std::string>&) {
    if (optionsGiven_) return std::nullopt;
    optionsGiven_ = true;
    return scanIIOptions;
}

void TerminalHost::SetCurrentFileField(const std::string& text) {
    if (!progress_ || text.empty()) return;
    std::fprintf(stderr, "\r\033[K[%d/%d] %s", gaugePos_ + 1, gaugeMax_ + 1,
                 TerminalText(text).c_str());
    progressShown_ = true;
}

}  // namespace lumora::cli
