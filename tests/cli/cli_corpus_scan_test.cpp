// lumora-cli scan over the shared corpus ZIPs with the summary and every
// filter on: each line of the list is traced back to its origin, an entry
// line, a kept line of that archive's reference description, a separator or
// the summary block.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>

#include "support/corpus.h"
#include "support/temp_folder.h"

namespace lumora {
namespace {

namespace fs = std::filesystem;
using test::ReadAll;
using test::TempFolder;

const fs::path kCorpus = test::CorpusDir();
constexpr std::size_t kTextColumn = 30;  // 12 name + 7 size + 8 date + 3 blanks (C locale)
constexpr std::size_t kWidth = 50;       // --width 50

std::string RightTrim(std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

std::vector<std::string> Split(const std::string& text, const std::string& sep) {
    std::vector<std::string> parts;
    std::size_t at = 0;
    for (std::size_t end; (end = text.find(sep, at)) != std::string::npos; at = end + sep.size())
        parts.push_back(text.substr(at, end - at));
    parts.push_back(text.substr(at));
    return parts;
}

bool HasPhrase(std::string line) {
    std::transform(line.begin(), line.end(), line.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return line.find("registered version") != std::string::npos;
}

// The reference description as the list must show it: read up to the first
// zero byte, split at CR, LF or CR LF, lines with the filter phrase dropped,
// box-drawing bytes B0-DF removed, then blank lines dropped, cut to Width.
std::vector<std::string> ExpectedLines(const std::string& bytes) {
    const std::string text = bytes.substr(0, bytes.find('\0'));
    std::vector<std::string> out;
    std::string line;
    auto finish = [&] {
        if (!HasPhrase(line)) {
            std::erase_if(line, [](char c) { return (c & 0xFF) >= 0xB0 && (c & 0xFF) <= 0xDF; });
            if (!std::all_of(line.begin(), line.end(), [](char c) { return (c & 0xFF) <= 32; }))
                out.push_back(RightTrim(line.substr(0, kWidth)));
        }
        line.clear();
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            finish();
        } else {
            line += text[i];
        }
    }
    if (!line.empty()) finish();
    return out;
}

struct ZipRow {
    std::string descMember;
    std::string expected;  // reference bytes, empty when there are none
};

std::map<std::string, ZipRow> ReadZipRows() {
    std::map<std::string, ZipRow> rows;
    for (const std::string& line : Split(ReadAll(kCorpus / "MANIFEST.tsv"), "\n")) {
        if (line.rfind("zip/", 0) != 0) continue;
        const std::vector<std::string> f = Split(line, "\t");
        const std::string name = f[0].substr(4);
        ZipRow row{f.size() > 5 ? f[5] : "", ""};
        if (!row.descMember.empty())
            row.expected = ReadAll(kCorpus / "expected/zip" / name / row.descMember);
        rows[name] = row;
    }
    return rows;
}

// The text lines an archive's entry must show.
std::vector<std::string> ExplainedLines(const std::string& name, const ZipRow& row) {
    // A description inside a folder is not taken; TWODIZ.ZIP's reference
    // bytes are its DOC/ copy, the list shows the copy in the root.
    if (name == "TWODIZ.ZIP")
        return {"TWODIZ - SECOND copy of FILE_ID.DIZ", "This one is in the archive root"};
    // SPLIT.ZIP is the last part of a spanned set; its members are not read.
    if (row.descMember.empty() || row.descMember.find('/') != std::string::npos ||
        name == "SPLIT.ZIP")
        return {"LM : Keine FILE_ID gefunden"};
    if (name == "CRYPT.ZIP") return {"Passwort fehlgeschlagen"};  // Scan I asks for none
    std::vector<std::string> lines = ExpectedLines(row.expected);
    if (lines.empty()) return {"LM : Leere FILE_ID"};
    return lines;
}

TEST(CliCorpusScan, EveryLineOfTheFilteredListIsExplained) {
    LUMORA_REQUIRE_CORPUS();
    TempFolder program, config, work;
    const std::string copy = "cp '" LUMORA_BIN_DIR "/lumora-cli' '" + program.path() + "'";
    ASSERT_EQ(std::system(copy.c_str()), 0);
    program.Write("LM_IDS.DAT", "FILE_ID.DIZ\r\nDESC.SDI\r\n");
    program.Write("filter2.cfg", "REGISTERED VERSION\r\n");
    std::string marks;  // rows B to D of filter.cfg: every box-drawing byte marked
    for (int row = 0; row < 16; ++row)
        marks += (row >= 0xB && row <= 0xD ? std::string(16, '0') : std::string(16, '1')) + "\r\n";
    program.Write("filter.cfg", marks + "\r\n; box drawing\r\n; off\r\n");

    const std::string cmd =
        "cd '" + work.path() + "' && LC_ALL=C XDG_CONFIG_HOME='" + config.path() + "' '" +
        program.path() +
        "lumora-cli' scan -o list.txt --width 50 --design 2 --resume --use-filter "
        "--no-case --filter-mode contains --remove --remove-char "
        "--remove-empty '" +
        (kCorpus / "zip").string() + "' 2>err.txt";
    const int raw = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << ReadAll(work / "err.txt");
    const std::vector<std::string> lines = Split(ReadAll(work / "list.txt"), "\r\n");

    const std::map<std::string, ZipRow> rows = ReadZipRows();
    std::vector<std::string> listed;
    std::size_t i = 0;
    bool phraseSeen = false, boxSeen = false;
    long long kilobytes = 0;
    while (i < lines.size() && !lines[i].empty()) {
        const std::string& entry = lines[i++];
        if (RightTrim(entry).empty()) continue;  // separator between groups
        ASSERT_GE(entry.size(), kTextColumn) << entry;
        const std::string name = entry.substr(0, 12).substr(entry.find_first_not_of(' '));
        ASSERT_TRUE(rows.count(name)) << "line " << i << " names no corpus ZIP: " << entry;
        listed.push_back(name);
        struct stat st {};
        ASSERT_EQ(::stat((kCorpus / "zip" / name).c_str(), &st), 0);
        EXPECT_EQ(std::stoll(entry.substr(12)), st.st_size) << name;
        kilobytes += st.st_size / 1024;

        const ZipRow& row = rows.at(name);
        std::vector<std::string> shown{RightTrim(entry.substr(kTextColumn))};
        for (; i < lines.size() && lines[i].rfind(std::string(kTextColumn, ' '), 0) == 0 &&
               !RightTrim(lines[i]).empty();
             ++i)
            shown.push_back(RightTrim(lines[i].substr(kTextColumn)));
        EXPECT_EQ(shown, ExplainedLines(name, row)) << name;
        phraseSeen = phraseSeen || row.expected.find("Registered version") != std::string::npos;
        boxSeen = boxSeen || row.expected.find('\xB3') != std::string::npos;
    }
    EXPECT_TRUE(phraseSeen && boxSeen) << "the filters were not exercised";

    // Every ZIP of the folder once, in name order; SPLIT.z01 is no archive.
    std::vector<std::string> all;
    for (const auto& [name, row] : rows) all.push_back(name);
    EXPECT_EQ(listed, all);

    // Then the summary block: three empty lines, the box, one empty line.
    ASSERT_EQ(lines.size(), i + 3 + 10 + 2);  // the last "" follows the final CR LF
    EXPECT_EQ(lines[i + 3].front(), '+');
    EXPECT_NE(lines[i + 6].find("Liste wurde erstellt am"), std::string::npos);
    EXPECT_NE(lines[i + 8].find(" " + std::to_string(all.size()) + " |"), std::string::npos)
        << lines[i + 8];
    EXPECT_NE(lines[i + 9].find(" " + std::to_string(kilobytes) + " |"), std::string::npos)
        << lines[i + 9];
    EXPECT_EQ(lines[lines.size() - 2], "");
}

}  // namespace
}  // namespace lumora
