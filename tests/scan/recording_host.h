// A host with scripted answers that records every call of the scan engine,
// a description source with prepared results, and a Scan I job fixture.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "scan/host.h"
#include "scan/scan_job.h"
#include "support/temp_folder.h"

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
    void ProcessMessages() override {}
    void SetBusy() override { calls.push_back("busy"); }
    void SetIdle() override { calls.push_back("idle"); }
    void SetTotalField(const std::string& t) override {
        total = t;
        if (!t.empty()) totalHistory.push_back(t);
    }
    void SetProcessedField(const std::string&) override {}
    void SetCurrentFileField(const std::string&) override {}
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

    int BoxesWithCaption(const std::string& caption) const {
        int n = 0;
        for (const auto& b : boxes) n += b.caption == caption;
        return n;
    }
    bool HasBox(const std::string& text) const {
        for (const auto& b : boxes)
            if (b.text.find(text) != std::string::npos) return true;
        return false;
    }

    std::deque<MsgAnswer> answers;
    std::vector<RecordedBox> boxes;
    std::vector<std::string> calls;
    std::vector<std::string> totalHistory;
    std::vector<std::pair<std::string, LogKind>> log;
    std::optional<std::string> saveAnswer;
    std::optional<std::string> folderAnswer;
    std::deque<std::optional<ScanIIOptions>> optionsAnswers;
    std::vector<std::string> optionsNames;
    SaveDialogRequest saveRequest;
    std::string total, statusPanel1;
    int gaugeMax = -99, gaugePos = -99;
};

// Hands out prepared descriptions by archive file name: (member, bytes), or
// a failure text; archives in neither map have no description.
class ScriptedSource : public DescriptionSource {
public:
    ExtractionOutcome ExtractDescription(const std::string& archive,
                                         const std::vector<std::string>&,
                                         const std::string&) override {
        seen.push_back(archive);
        const std::string name = archive.substr(archive.rfind('/') + 1);
        if (onExtract) onExtract(name);
        if (failures.count(name)) return {"", true, failures[name], std::nullopt};
        const auto it = descriptions.find(name);
        if (it == descriptions.end()) return {};
        return {it->second.first, false, "", it->second.second};
    }
    std::map<std::string, std::pair<std::string, std::string>> descriptions;
    std::map<std::string, std::string> failures;
    std::vector<std::string> seen;
    std::function<void(const std::string&)> onExtract;
};

// Lines of a text, each of which must end in CR LF.
inline std::vector<std::string> SplitCrLf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t p; (p = text.find("\r\n", start)) != std::string::npos; start = p + 2)
        lines.push_back(text.substr(start, p - start));
    EXPECT_EQ(start, text.size()) << "every line ends in CR LF";
    return lines;
}

// A Scan I job over archives in `dir` with German formats, FILE_ID.DIZ as the
// only name, long names, no separator, and the list saved as dir/list.txt.
class ScanJobFixture : public ::testing::Test {
protected:
    ScanJobFixture() {
        config.InfoFileList = {"FILE_ID.DIZ"};
        config.settings.ShortName = false;
        config.settings.Divide = false;
        FillSeparatorLine(config);
        host.saveAnswer = dir / "list.txt";
    }
    ScanEnvironment Env(DescriptionSource* other = nullptr) {
        return {config,      formats, host,    log,    other ? *other : source,
                temp.path(), nullptr, nullptr, nullptr};
    }
    void RunJob(const std::vector<std::string>& archives, DescriptionSource* other = nullptr) {
        ScanJob(Env(other)).RunCommand(archives, dir.path());
    }
    // Archives of one byte each, made in `dir`.
    std::vector<std::string> Archives(const std::vector<std::string>& names) {
        std::vector<std::string> paths;
        for (const auto& n : names) paths.push_back(dir.Write(n, "x"));
        return paths;
    }
    std::vector<std::string> ListLines() { return SplitCrLf(ReadAll(dir / "list.txt")); }

    TempFolder dir, temp;
    Configuration config;
    LocaleFormats formats = LocaleFormats::German();
    RecordingHost host;
    JobLog log{host, formats};
    ScriptedSource source;
};

}  // namespace lumora::test
