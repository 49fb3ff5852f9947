// lumora-cli scan in other character sets and formats, its progress line,
// and paths read from standard input.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cli/cli_runner.h"
#include "platform/code_pages.h"
#include "support/builders/zip_builder.h"
#include "support/corpus.h"

namespace lumora {
namespace {

using test::ReadAll;
using test::RunResult;
using ::testing::HasSubstr;
using ::testing::Not;

const std::string kSource = LUMORA_SAMPLES_DIR "/..";
const std::string kChecks = kSource + "/tests/cli/list_checks.py";
// Descriptions unfiltered, so they can be compared with the archives'.
const std::string kRaw = "--no-use-filter --no-remove --no-remove-empty ";

std::string Zip(const std::string& description) {
    return archive::test::ZipBuilder()
        .Add(archive::test::Member("FILE_ID.DIZ", description))
        .Build();
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

class CliListFormatsTest : public test::CliTest {
protected:
    CliListFormatsTest() {
        UseProgramCopy();
        program.Write("LM_IDS.DAT", "FILE_ID.DIZ\r\n");
    }
    // Runs `command` (a shell line) with the test's tools; its exit status.
    int Shell(const std::string& command) {
        return std::system(("cd '" + work.path() + "' && " + command).c_str());
    }
};

// A UTF-8 list decodes each description in its own code page: MS-DOS box
// art and umlauts, Windows-1252 umlauts, text already in UTF-8; every line
// keeps its width in characters. The Windows-1252 list is the default one.
TEST_F(CliListFormatsTest, Utf8ListDecodesEachDescriptionInItsOwnCodePage) {
    work.Write("A437.ZIP", Zip("\xC9\xCD\xCD\xBB Gr\x81\xE1"
                               "e\r\n\xC8\xCD\xCD\xBC\r\n"));
    work.Write("B1252.ZIP", Zip("Spiel f\xFCr zwei\r\nGr\xF6\xDF"
                                "e\r\n"));
    work.Write("CUTF8.ZIP", Zip("\xE2\x94\x8C\xE2\x94\x80\xE2\x94\x90 f\xC3\xBCr\r\n"));
    const RunResult r =
        Run("scan --design 2 --no-divide --encoding utf-8 A437.ZIP B1252.ZIP CUTF8.ZIP");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("╔══╗ Grüße"));
    EXPECT_THAT(r.out, HasSubstr("╚══╝"));
    EXPECT_THAT(r.out, HasSubstr("Spiel für zwei"));
    EXPECT_THAT(r.out, HasSubstr("Größe"));
    EXPECT_THAT(r.out, HasSubstr("┌─┐ für"));
    for (const auto& line : SplitLines(r.out)) EXPECT_EQ(Utf8Length(line), 90u) << line;

    const RunResult given = Run("scan --design 2 --encoding windows-1252 A437.ZIP B1252.ZIP");
    const RunResult byDefault = Run("scan --design 2 A437.ZIP B1252.ZIP");
    EXPECT_EQ(given.out, byDefault.out);
    EXPECT_THAT(given.out, HasSubstr("Spiel f\xFCr zwei"));

    // cp437 draws both descriptions in the MS-DOS set.
    const RunResult dos = Run("scan --design 2 --encoding cp437 A437.ZIP B1252.ZIP");
    EXPECT_THAT(dos.out, HasSubstr("\xC9\xCD\xCD\xBB Gr\x81\xE1"
                                   "e"));
    EXPECT_THAT(dos.out, HasSubstr("Spiel f\x81r zwei"));
}

// scan2 converts the loose files and its own "Quelle" lines alike; without
// --encoding the files are written as read.
TEST_F(CliListFormatsTest, Scan2ListInUtf8) {
    work.Write("d/FILE_ID.DIZ", "Spiel f\xFCr zwei\r\n");
    work.Write("d/\xC3\xA4/FILE_ID.DIZ",
               "\xC9\xCD\xBB Gr\x81\xE1"
               "e\r\n");
    const RunResult utf8 = Run("scan2 --subdirs --encoding utf-8 d");
    ASSERT_EQ(utf8.status, 0) << utf8.err;
    EXPECT_THAT(utf8.out, HasSubstr("Spiel für zwei\r\n"));
    EXPECT_THAT(utf8.out, HasSubstr("╔═╗ Grüße\r\nQuelle : " + work / "d/ä/FILE_ID.DIZ"));
    EXPECT_THAT(Run("scan2 --subdirs d").out, HasSubstr("\xC9\xCD\xBB Gr\x81\xE1"
                                                        "e\r\n"));
}

// The JSON list is valid JSON, conforms to the shipped schema and carries
// every sample's description as Python decodes it; the error, empty and
// missing cases get their status.
TEST_F(CliListFormatsTest, JsonConformsToTheSchemaAndRoundTripsDescriptions) {
    work.Write("BAD.ZIP", "PK\x03\x04 broken");
    work.Write("EMPTY.ZIP", Zip(""));
    const RunResult r = Run("scan --format json -o list.json " + kRaw + "'" + LUMORA_SAMPLES_DIR +
                            "' BAD.ZIP EMPTY.ZIP");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Shell("python3 -m json.tool list.json >/dev/null"), 0);
    EXPECT_EQ(Shell("'" + kSource + "/scripts/check-json-schema' '" + kSource +
                    "/docs/list.schema.json' list.json"),
              0);
    EXPECT_EQ(Shell("python3 '" + kChecks + "' roundtrip list.json >count"), 0);
    EXPECT_GE(std::stoi(ReadAll(work / "count")), 5);
    const std::string json = ReadAll(work / "list.json");
    EXPECT_THAT(json, HasSubstr("\"status\": \"empty\""));
    EXPECT_THAT(json, HasSubstr("\"status\": \"no-description\""));
    EXPECT_THAT(json, HasSubstr("\"status\": \"error\",\n      \"error\": {\"code\": 25"));
}

// The corpus ZIPs' descriptions come through the JSON list as their
// reference copies read (TWODIZ.ZIP's reference is the copy in a folder,
// which Scan I does not take).
TEST_F(CliListFormatsTest, CorpusDescriptionsRoundTripThroughJson) {
    LUMORA_REQUIRE_CORPUS();
    const std::string corpus = test::CorpusDir().string();
    ASSERT_EQ(Shell("ls '" + corpus + "'/zip/*.ZIP | grep -v TWODIZ >paths"), 0);
    const RunResult r = Run("scan --format json -o list.json " + kRaw + "- <paths");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Shell("'" + kSource + "/scripts/check-json-schema' '" + kSource +
                    "/docs/list.schema.json' list.json"),
              0);
    ASSERT_EQ(
        Shell("python3 '" + kChecks + "' roundtrip list.json '" + corpus + "/expected/zip' >count"),
        0);
    EXPECT_GE(std::stoi(ReadAll(work / "count")), 20);
}

// The HTML page is well-formed, and markup in a description is text.
TEST_F(CliListFormatsTest, HtmlIsWellFormedAndEscapesDescriptions) {
    work.Write("A.ZIP", Zip("<b>Tom & Jerry</b>\r\n\xC9\xCD\xBB\r\n"));
    work.Write("B.ZIP", "no archive");
    const RunResult r = Run("scan --format html -o list.html A.ZIP B.ZIP");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string page = ReadAll(work / "list.html");
    EXPECT_THAT(page, HasSubstr("&lt;b&gt;Tom &amp; Jerry&lt;/b&gt;"));
    EXPECT_THAT(page, Not(HasSubstr("<script")));
    ASSERT_EQ(Shell("python3 '" + kChecks + "' html list.html >pre"), 0);
    EXPECT_EQ(ReadAll(work / "pre"), "<b>Tom & Jerry</b>\n╔═╗\n");
}

// The document without its creation time, which has seconds.
std::string Timeless(std::string list) {
    const auto at = list.find("\"created\": ");
    if (at != std::string::npos) list.erase(at, list.find('\n', at) - at);
    return list;
}

// Each format, written to a file or to standard output, is the same bytes,
// whichever number of readers made it.
TEST_F(CliListFormatsTest, EveryFormatIsTheSameOnStandardOutputAndForAnyReaders) {
    work.Write("A.ZIP", Zip("Eins\r\nZwei\r\n"));
    work.Write("B.ZIP", "no archive");
    work.Write("C.ZIP", Zip(""));
    for (const std::string format : {"text", "json", "html"}) {
        SCOPED_TRACE(format);
        const std::string common = "scan --resume --format " + format + " ";
        const RunResult toFile = Run(common + "-j 1 -o list A.ZIP B.ZIP C.ZIP");
        ASSERT_EQ(toFile.status, 0) << toFile.err;
        const std::string bytes = Timeless(ReadAll(work / "list"));
        EXPECT_THAT(bytes, HasSubstr("Zwei"));
        for (const std::string jobs : {"1", "2"}) {
            const RunResult toStdout = Run(common + "-j " + jobs + " A.ZIP B.ZIP C.ZIP");
            ASSERT_EQ(toStdout.status, 0) << toStdout.err;
            EXPECT_EQ(Timeless(toStdout.out), bytes) << "-j " << jobs;
        }
    }
}

// The progress line appears on a terminal, not in a file or with -q.
TEST_F(CliListFormatsTest, ProgressOnlyOnATerminal) {
    work.Write("A.ZIP", Zip("Eins"));
    work.Write("B.ZIP", Zip("Zwei"));
    const struct {
        std::string args;
        bool shown;
    } cases[] = {{"", true}, {"-q ", false}};
    for (const auto& c : cases) {
        ASSERT_EQ(Shell("XDG_CONFIG_HOME='" + config.path() + "' script -qec \"'" + binary +
                        "' scan " + c.args + "-o list.txt A.ZIP B.ZIP\" /dev/null </dev/null >tty"),
                  0);
        const std::string tty = ReadAll(work / "tty");
        EXPECT_EQ(tty.find("\r\033[K1/2  0/0 KB  0:0") != std::string::npos, c.shown) << tty;
        EXPECT_EQ(tty.find("B.ZIP") != std::string::npos, c.shown) << tty;
    }
    const RunResult piped = Run("scan -o list.txt A.ZIP B.ZIP");
    EXPECT_EQ(piped.err, "");
}

// "-" reads the paths from standard input, a line each or NUL-separated.
TEST_F(CliListFormatsTest, PathsFromStandardInput) {
    work.Write("A.ZIP", Zip("Eins"));
    work.Write("dir/B.ZIP", Zip("Zwei"));
    const RunResult given = Run("scan A.ZIP dir");
    work.Write("list.in", "A.ZIP\n\ndir\r\n");
    work.Write("list0.in", std::string("A.ZIP\0dir\0", 10));
    for (const std::string args : {"scan - < list.in", "scan -0 - < list0.in"}) {
        const RunResult r = Run(args);
        ASSERT_EQ(r.status, 0) << args << r.err;
        EXPECT_EQ(r.out, given.out) << args;
    }
}

// contents --json: the TSV's fields for every member, as JSON.
TEST_F(CliListFormatsTest, ContentsAsJson) {
    const RunResult r = Run(std::string("contents --json '") + LUMORA_SAMPLES_DIR + "/GAME1.ZIP'");
    ASSERT_EQ(r.status, 0) << r.err;
    work.Write("c.json", r.out);
    EXPECT_EQ(Shell("python3 -m json.tool c.json >/dev/null"), 0);
    EXPECT_THAT(r.out, HasSubstr("{\"FileName\": \"FILE_ID.DIZ\", \"UnpackedSize\": 210, "
                                 "\"PackedSize\": 177, \"Ratio\": 15, \"FileDate\": "
                                 "\"1995-12-24T12:00:00\", \"MethodName\": \"DeflateN\", "
                                 "\"Crc\": \"0DD77FB7\", \"Encrypted\": false}"));
}

}  // namespace
}  // namespace lumora
