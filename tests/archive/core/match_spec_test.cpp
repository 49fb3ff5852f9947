// Member-name matching and output names: the worked examples, a differential
// test against a literal recursive walk, and names that must stay inside the
// extraction folder.
#include "archive/core/match_spec.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/core/output_name.h"
#include "archive/formats/zip/un_zip.h"
#include "platform/text.h"

namespace lumora::archive {
namespace {

struct MatchCase {
    std::string name;
    std::string pattern;
    bool namesOnly;
    bool expected;
};

// The dot rules (a name without a dot gets ".*", a pattern ending in "." loses
// it), names-only matching, "?" and "*" on both sides, Windows-1252 folding.
TEST(MatchSpecTest, WorkedExamples) {
    const MatchCase cases[] = {
        {"FILE_ID.DIZ", "file_id.diz", false, true},
        {"README", "*.*", false, true},  // the name becomes README.*
        {"A.TXT", "*.DOC", false, false},
        {"DIR\\X.TXT", "X.TXT", false, false},
        {"DIR\\X.TXT", "X.TXT", true, true},
        {"DIR/X.TXT", "x.txt", true, true},
        {"README.TXT", "*.", false, true},  // the pattern becomes *
        {"FILE.", "FILE", false, true},
        {"FILE", "FILE.*", false, true},
        {"A.B", "A", false, false},
        {"AB", "?*", false, true},
        {"A", "?*", false, true},  // a trailing * is skipped
        {"FILE_ID.DIZ", "*ID.D?Z", false, true},
        {"", "*.*", false, true},  // the empty name becomes .*
        {"", "*A", false, true},
        {"", "A", false, false},
        {"A", "", false, false},
        {"*", "", false, true},
        {"X.TXT", "*", false, true},  // "?" against "*" and "*" against text
        {"?", "*", false, true},
        {"*", "?", false, true},
        {"ABCDEF.TXT", "A*F.T*", false, true},  // "*" in the middle of both texts
        {"A*F.TXT", "AB*.TXT", false, true},
        {"A*X.TXT", "AB*Y.TXT", false, false},
        {"README", "*", false, true},  // names without dots against "*.*" and "*"
        {"MAKEFILE", "*.*", false, true},
        {"MAKEFILE", "*.DIZ", false, false},
        {"\xE4rger.txt", "\xC4RGER.TXT", false, true},  // Windows-1252 letters fold
        {"README.", "*.*", false, false},               // the walk never re-applies the dot rules
        {"DIR\\", "*.*", true, false},                  // a name that becomes empty
        {"\x9A"
         "ECHT.TXT",
         "\x8A"
         "ECHT.TXT",
         false, true},                           // Windows-1252 š folds to Š
        {"\xFF.TXT", "\x9F.*", false, true},     // ÿ to Ÿ
        {"\xF7.TXT", "\xD7.TXT", false, false},  // ÷ is no lower-case ×
        {"\x81"
         "BER.TXT",
         "\x9A"
         "BER.TXT",
         false, false},  // CP437 ü and Ü do not fold
        {"DIR/CAF\xE9", "caf\xC9.*", true, true},
        {std::string(70, 'a') + "/X", "A*\\x", false, true},  // texts too long to keep inline
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MatchSpec(c.name, c.pattern, c.namesOnly), c.expected)
            << '"' << c.name << "\" vs \"" << c.pattern << "\" namesOnly " << c.namesOnly;
    }
}

// The walk exactly as described: recursion over every suffix, exponential.
bool LiteralWalk(const std::string& n, const std::string& s) {
    std::size_t i = 0, j = 0;
    while (i < n.size() && j < s.size()) {
        if (n[i] == '?' || s[j] == '?') {
            ++i, ++j;
        } else if (n[i] == '*') {
            if (i + 1 == n.size()) return true;
            for (std::size_t k = j; k <= s.size(); ++k) {
                if (LiteralWalk(n.substr(i + 1), s.substr(k))) return true;
            }
            return false;
        } else if (s[j] == '*') {
            if (j + 1 == s.size()) return true;
            for (std::size_t k = i; k <= n.size(); ++k) {
                if (LiteralWalk(n.substr(k), s.substr(j + 1))) return true;
            }
            return false;
        } else if (std::toupper(n[i]) != std::toupper(s[j])) {
            return false;
        } else {
            ++i, ++j;
        }
    }
    while (i < n.size() && n[i] == '*') ++i;
    while (j < s.size() && s[j] == '*') ++j;
    return i == n.size() && j == s.size();
}

// Every pair of texts up to five characters over "A.*?": the linear walk
// must agree with the exponential recursion it replaces.
TEST(MatchSpecTest, WalkAgreesWithTheLiteralRecursion) {
    const std::string alphabet = "A.*?";
    std::vector<std::string> texts{""};
    for (std::size_t from = 0, len = 1; len <= 5; ++len) {
        const std::size_t to = texts.size();
        for (std::size_t t = from; t < to; ++t) {
            for (char c : alphabet) texts.push_back(texts[t] + c);
        }
        from = to;
    }
    int mismatches = 0;
    for (const auto& n : texts) {
        for (const auto& s : texts) {
            if (MatchWalk(n, s) != LiteralWalk(n, s) && ++mismatches <= 5) {
                ADD_FAILURE() << '"' << n << "\" vs \"" << s << '"';
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

// Every pair of bytes compares as AnsiUpper folds it, whether the texts are
// compared whole, walked around a wildcard, or matched by a reader against its
// prepared FileSpec.
TEST(MatchSpecTest, EveryByteFoldsAsAnsiUpper) {
    TUnZIP reader;
    int mismatches = 0;
    for (int a = 1; a < 256; ++a) {
        for (int b = 1; b < 256; ++b) {
            const std::string x(1, static_cast<char>(a)), y(1, static_cast<char>(b));
            if (std::string_view("*?./\\:").find(x[0]) != std::string_view::npos ||
                std::string_view("*?./\\:").find(y[0]) != std::string_view::npos)
                continue;
            const bool same = AnsiUpper(static_cast<unsigned char>(a)) ==
                              AnsiUpper(static_cast<unsigned char>(b));
            reader.SetFileSpec(y + "B.TXT");
            const bool got[] = {MatchSpec(x + "B.TXT", y + "b.txt", false),
                                MatchSpec("Q" + x + ".TXT", "?" + y + ".T*", false),
                                reader.MatchesFileSpec(x + "b.txt", false)};
            for (const bool g : got) {
                if (g != same && ++mismatches <= 5) ADD_FAILURE() << a << " vs " << b;
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

// Many stars and long names must not make the match exponential.
TEST(MatchSpecTest, SixtyStarsFinishQuickly) {
    std::string name;
    for (int i = 0; i < 60; ++i) name += "*a";
    const std::string longName(65535, 'a');
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(MatchSpec(name + "b", std::string(80, 'a') + "c", false));
    EXPECT_TRUE(MatchSpec(name, std::string(80, 'a'), false));
    EXPECT_TRUE(MatchSpec(longName, "*A", false));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_LT(elapsed, std::chrono::milliseconds(500));
}

// Stored folders are used only with UseStoredDirs; a relative extraction
// folder is made absolute.
TEST(OutputNameTest, StoredFoldersAndExtractDir) {
    TUnZIP z;
    z.SetExtractDir("/tmp/x");
    EXPECT_EQ(z.ExtractDir(), "/tmp/x/");
    z.MakeOutputName("docs/read.me");
    EXPECT_EQ(z.FileName(), "/tmp/x/read.me");
    z.UseStoredDirs = true;
    z.MakeOutputName("docs/read.me");
    EXPECT_EQ(z.FileName(), "/tmp/x/docs/read.me");
    z.MakeOutputName("");
    EXPECT_EQ(z.FileName(), "");
    z.SetExtractDir("out");
    EXPECT_EQ(z.ExtractDir(), std::filesystem::current_path().string() + "/out/");
}

// Parent steps, absolute paths, drive letters and UNC names never lead out
// of the extraction folder; names are written as UTF-8.
TEST(OutputNameTest, NothingLeavesTheExtractionFolder) {
    struct Case {
        const char* stored;
        bool storedDirs;
        const char* expected;
    };
    const Case cases[] = {
        {"../x", false, "/e/x"},
        {"../x", true, "/e/x"},
        {"../../a/../b/x", true, "/e/a/b/x"},
        {"/etc/passwd", true, "/e/etc/passwd"},
        {"\\\\server\\share\\x", true, "/e/server/share/x"},
        {"C:\\WINDOWS\\x.ini", true, "/e/WINDOWS/x.ini"},
        {"C:x.ini", true, "/e/x.ini"},
        {"C:\\x.ini", false, "/e/x.ini"},
        {"./a/./x", true, "/e/a/x"},
        {"a/..", true, "/e/a/"},  // no file part: nothing to write
        {"..", false, "/e/"},
        {"d\xFC/\xE4.txt", true, "/e/d\xC3\xBC/\xC3\xA4.txt"},  // bytes become UTF-8
    };
    for (const auto& c : cases) {
        const OutputTarget t = BuildOutputTarget(c.stored, "/e/", c.storedDirs);
        EXPECT_EQ(t.FullPath(), c.expected) << c.stored;
        for (const auto& d : t.dirs) EXPECT_TRUE(d != ".." && d != "." && !d.empty()) << c.stored;
        EXPECT_TRUE(t.name != ".." && t.name != ".") << c.stored;
    }
    // A zero byte ends the name, as it would for the system calls.
    EXPECT_EQ(BuildOutputTarget(std::string_view("x\0/../y", 7), "/e/", true).FullPath(), "/e/x");
}

}  // namespace
}  // namespace lumora::archive
