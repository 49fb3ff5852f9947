// A host with scripted answers that records every call of the scan engine.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "scan/host.h"

namespace lumora::test {

struct RecordedBox {
    std::string caption;
    std::string text;
    MsgIcon icon;
    MsgButtons buttons;
};

class RecordingHost : public ScanHost {
public:
    MsgAnswer MessageBox(const std::string& caption, const std::string& text, MsgIcon icon,
                         MsgButtons buttons) override {
        boxes.push_back({caption, text, icon, buttons});
        if (buttons == MsgButtons::Ok) return MsgAnswer::Ok;
        if (answers.empty()) return MsgAnswer::No;
        const MsgAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
    void ProcessMessages() override {
        ++processed;
        if (onProcess) onProcess();
    }
    void SetBusy() override { calls.push_back("busy"); }
    void SetIdle() override { calls.push_back("idle"); }
    void SetTotalField(const std::string& t) override {
        total = t;
        if (!t.empty()) totalHistory.push_back(t);
    }
    void SetProcessedField(const std::string& t) override { processedField = t; }
    void SetCurrentFileField(const std::string& t) override {
        current = t;
        if (!t.empty()) currentHistory.push_back(t);
    }
    void SetGaugeMax(int m) override { gaugeMax = m; }
    void SetGaugePosition(int p) override { gaugePos = p; }
    void SetStatusPanel(int panel, const std::string& t) override {
        if (panel == 1) statusPanel1 = t;
    }
    void LogLineAdded(const std::string& t, LogKind k) override { log.push_back({t, k}); }
    void LogCleared() override { log.clear(); }
    void SelectLastLogLine() override {}
    std::optional<std::string> AskSaveFileName(const SaveDialogRequest& r) override {
        saveRequest = r;
        calls.push_back("save dialog");
        return saveAnswer;
    }
    std::optional<std::string> AskFolder(const std::string& title,
                                         const std::string& caption) override {
        calls.push_back("folder browser " + caption + ": " + title);
        return folderAnswer;
    }
    // Answers from `optionsAnswers` in turn; cancel when they run out.
    std::optional<ScanIIOptions> AskScanIIOptions(const std::string& caption,
                                                  const std::vector<std::string>& names) override {
        calls.push_back("options " + caption);
        optionsNames = names;
        if (optionsAnswers.empty()) return std::nullopt;
        const auto a = optionsAnswers.front();
        optionsAnswers.pop_front();
        return a;
    }

    std::deque<MsgAnswer> answers;
    std::vector<RecordedBox> boxes;
    std::vector<std::string> calls;
    std::vector<std::string> currentHistory, totalHistory;
    std::vector<std::pair<std::string, LogKind>> log;
    std::function<void()> onProcess;
    std::optional<std::string> saveAnswer;
    std::optional<std::string> folderAnswer;
    std::deque<std::optional<ScanIIOptions>> optionsAnswers;
    std::vector<std::string> optionsNames;
    SaveDialogRequest saveRequest;
    std::string total, processedField, current, statusPanel1;
    int gaugeMax = -99, gaugePos = -99, processed = 0;
};

}  // namespace lumora::test
