// The GZIP reader: the corpus files against zlib, the header variants
// (names, extra field, comment, header CRC, multi-part, encrypted, other
// methods), damaged data, exceptions that must not leave, and a
// decompression bomb held to the byte limit.
#include <gtest/gtest.h>
#include <zlib.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <optional>
#include <stdexcept>

#include "archive/error_codes.h"
#include "archive/reader_factory.h"
#include "archive/un_gzip.h"
#include "archive_test_support.h"
#include "corpus_manifest.h"
#include "legacy_test_support.h"
#include "zip_builder.h"

namespace lumora::archive {
namespace {

namespace fs = std::filesystem;
using Events = std::vector<std::string>;

std::string RawDeflate(const std::string& data) {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, data.size()), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// zlib's reading of a one-member gzip file.
std::string Gunzip(const std::string& gz) {
    z_stream z{};
    inflateInit2(&z, 16 + 15);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(gz.data()));
    z.avail_in = static_cast<uInt>(gz.size());
    std::string out;
    char buf[65536];
    int rc = Z_OK;
    while (rc == Z_OK) {
        z.next_out = reinterpret_cast<Bytef*>(buf);
        z.avail_out = sizeof buf;
        rc = inflate(&z, Z_NO_FLUSH);
        out.append(buf, sizeof buf - z.avail_out);
    }
    inflateEnd(&z);
    return out;
}

// A gzip file written field by field.
struct GzipSpec {
    std::uint8_t flags = 0;
    std::uint8_t method = 8;
    std::string extra, name, comment;
    std::string data;                  // the plain member data
    std::optional<std::string> raw;    // the compressed bytes as they are
    std::optional<std::uint32_t> crc;  // default: the CRC of `data`
    bool goodHeaderCrc = true;

    std::string Build() const {
        std::string h = "\x1F\x8B";
        h += static_cast<char>(method);
        h += static_cast<char>(flags);
        test::Put32(h, 818899200);
        h += "\x02\x03";
        if (flags & 4) {
            test::Put16(h, static_cast<std::uint32_t>(extra.size()));
            h += extra;
        }
        if (flags & 8) h += name + '\0';
        if (flags & 16) h += comment + '\0';
        if (flags & 2) test::Put16(h, (test::CrcOf(h) & 0xFFFF) ^ (goodHeaderCrc ? 0 : 1));
        h += raw ? *raw : method == 0 ? data : RawDeflate(data);
        test::Put32(h, crc.value_or(test::CrcOf(data)));
        test::Put32(h, static_cast<std::uint32_t>(data.size()));
        return h;
    }
};

const std::string kText = "Lumora description line\r\nSecond line of the text\r\n";

class GzipTest : public test::TempDirTest {
protected:
    void SetUp() override {
        test::TempDirTest::SetUp();
        log_.Attach(gz_);
    }
    void Extract(const fs::path& archive) {
        gz_.SetArchiveFile(archive.string());
        gz_.SetExtractDir(Path("out").string());
        gz_.SetFileSpec("FILE_ID.DIZ");  // a gzip file's one member is taken whatever it says
        EXPECT_NO_THROW(gz_.Extract());
    }
    void ExtractBytes(const std::string& fileName, const std::string& bytes) {
        test::WriteFile(Path("in") / fileName, bytes);
        Extract(Path("in") / fileName);
    }
    static Events Passed(const std::string& name, const std::vector<std::string>& middle = {}) {
        Events e{"Activate", "Begin " + name + " 1"};
        e.insert(e.end(), middle.begin(), middle.end());
        e.push_back("End " + name + " pass");
        e.push_back("Deactivate");
        return e;
    }

    TUnGZIP gz_;
    test::EventLog log_;
};

TEST_F(GzipTest, CorpusFilesMatchZlibAndTheExpectedDescriptions) {
    LUMORA_REQUIRE_CORPUS();
    const std::map<std::string, std::string> names = {
        {"gzip/DIZNAME.GZ", "FILE_ID.DIZ"},  {"gzip/NONAME.GZ", "NONAME"},
        {"gzip/EXTRA.GZ", "FILE_ID.DIZ"},    {"gzip/COMMENT.GZ", "file_id.diz"},
        {"gzip/GAMETGZ.TGZ", "GAMETGZ.TAR"}, {"gzip/README.Z", "README"},
    };
    int seen = 0;
    for (const test::CorpusRow& r : test::CorpusRowsOf({"gzip", "compress"})) {
        SCOPED_TRACE(r.path);
        ASSERT_TRUE(names.count(r.path));
        const std::string name = names.at(r.path);
        fs::remove_all(Path("out"));
        log_ = {};
        log_.Attach(gz_);
        Extract(test::CorpusDir() / r.path);
        EXPECT_EQ(gz_.ArcType(), atGZip);
        const std::string got = test::ReadFile(Path("out") / name);
        if (r.format == "compress") {
            EXPECT_EQ(log_.lines, Passed(name, {"Box"}));
            EXPECT_EQ(log_.boxes, std::vector<std::string>{std::string(ErrorText(25200))});
            EXPECT_TRUE(fs::exists(Path("out") / name));
            EXPECT_EQ(got, "");
        } else {
            EXPECT_EQ(log_.lines, Passed(name));
            EXPECT_EQ(got, Gunzip(test::ReadFile(test::CorpusDir() / r.path)));
        }
        if (!r.descSha.empty()) {
            EXPECT_EQ(got, test::ReadFile(test::CorpusDir() / "expected" / r.path / r.descMember));
        }
        ++seen;
    }
    EXPECT_EQ(seen, 6);
}

struct HeaderCase {
    const char* title;
    const char* fileName;
    GzipSpec spec;
    const char* member;  // output file name
    Events middle;       // events between Begin and End
    bool written;        // the member's file exists
    std::string content;
    bool crcPass = true;
};

GzipSpec Spec(std::uint8_t flags, std::string name = "", std::string extra = "",
              std::string comment = "") {
    GzipSpec s;
    s.flags = flags;
    s.name = std::move(name);
    s.extra = std::move(extra);
    s.comment = std::move(comment);
    s.data = kText;
    return s;
}

std::vector<HeaderCase> HeaderCases() {
    std::vector<HeaderCase> c;
    c.push_back({"no stored name", "README.TXT.GZ", Spec(0), "README.TXT", {}, true, kText});
    c.push_back({"name and extra field",
                 "A.GZ",
                 Spec(4 | 8, "FILE_ID.DIZ", std::string("AB\x04\0wxyz", 8)),
                 "FILE_ID.DIZ",
                 {},
                 true,
                 kText});
    c.push_back({"comment",
                 "B.GZ",
                 Spec(8 | 16, "DESC.SDI", "", "a comment\nwith two lines"),
                 "DESC.SDI",
                 {},
                 true,
                 kText});
    c.push_back({"header CRC",
                 "C.GZ",
                 Spec(2 | 4 | 8 | 16, "C.TXT", "xy", "note"),
                 "C.TXT",
                 {},
                 true,
                 kText});
    GzipSpec multipart = Spec(2 | 8, "D.TXT");
    multipart.goodHeaderCrc = false;
    c.push_back({"multi-part", "D.GZ", multipart, "D.TXT", {"Error 25162 D.TXT"}, false, ""});
    c.push_back(
        {"encrypted", "E.GZ", Spec(0x20 | 8, "E.TXT"), "E.TXT", {"Error 25190 E.TXT"}, false, ""});
    GzipSpec stored = Spec(8, "F.TXT");
    stored.method = 0;
    c.push_back({"stored", "F.GZ", stored, "F.TXT", {}, true, kText});
    GzipSpec other = Spec(8, "G.TXT");
    other.method = 7;
    other.raw = "xxxx";
    c.push_back({"method 7", "G.GZ", other, "G.TXT", {"Box"}, true, ""});
    GzipSpec badCrc = Spec(8, "H.TXT");
    badCrc.crc = 1234;
    c.push_back({"CRC", "H.GZ", badCrc, "H.TXT", {"Error 25117 H.TXT"}, true, kText, false});
    GzipSpec cut = Spec(8, "I.TXT");
    std::uint32_t seed = 1;
    cut.data.clear();
    for (int i = 0; i < 20000; ++i) {
        seed = seed * 1103515245u + 12345u;
        cut.data += static_cast<char>('a' + (seed >> 16) % 26);
    }
    cut.raw = RawDeflate(cut.data);
    cut.raw->resize(cut.raw->size() / 2);
    c.push_back({"truncated data", "I.GZ", cut, "I.TXT", {"Error 25117 I.TXT"}, true, "", false});
    return c;
}

TEST_F(GzipTest, HeaderVariantsAndDamagedData) {
    for (const HeaderCase& c : HeaderCases()) {
        SCOPED_TRACE(c.title);
        fs::remove_all(Path("out"));
        log_.lines.clear();
        ExtractBytes(c.fileName, c.spec.Build());
        Events expected{"Activate", std::string("Begin ") + c.member + " 1"};
        expected.insert(expected.end(), c.middle.begin(), c.middle.end());
        expected.push_back(std::string("End ") + c.member + (c.crcPass ? " pass" : " fail"));
        expected.push_back("Deactivate");
        EXPECT_EQ(log_.lines, expected);
        EXPECT_EQ(fs::exists(Path("out") / c.member), c.written);
        if (c.title != std::string("truncated data")) {
            EXPECT_EQ(test::ReadFile(Path("out") / c.member), c.content);
        } else {
            EXPECT_GT(test::ReadFile(Path("out") / c.member).size(), 0u);  // what there was
        }
    }
}

TEST_F(GzipTest, CompressFileFromNcompress) {
    if (std::system("command -v compress >/dev/null 2>&1") != 0) GTEST_SKIP() << "no compress";
    test::WriteFile(Path("in/X.TXT"), kText + kText + kText);
    ASSERT_EQ(std::system(("compress -f '" + Path("in/X.TXT").string() + "'").c_str()), 0);
    Extract(Path("in/X.TXT.Z"));
    EXPECT_EQ(gz_.ArcType(), atGZip);
    EXPECT_EQ(log_.lines, Passed("X.TXT", {"Box"}));
    EXPECT_EQ(log_.boxes, std::vector<std::string>{"Nicht unterst\xFCtzte Kompressionsmethode"});
    EXPECT_EQ(fs::file_size(Path("out/X.TXT")), 0u);
}

TEST_F(GzipTest, RunsThatEndBeforeTheMember) {
    ExtractBytes("SHORT.GZ", std::string("\x1F\x8B\x08\x00\x00\x00\x00\x00", 8));
    EXPECT_EQ(log_.lines, (Events{"Activate", "Error 26999 SHORT.GZ", "Deactivate"}));
    log_.lines.clear();
    ExtractBytes("TEXT.GZ", "not a gzip file at all");
    EXPECT_EQ(log_.lines, (Events{"Error 25139 TEXT.GZ", "Deactivate"}));
}

TEST_F(GzipTest, NoExceptionLeavesExtract) {
    const std::string gz = Spec(8, "A.TXT").Build();
    gz_.OnBegin = [](TZipCommon&, const std::string&, int, bool&) {
        throw std::runtime_error("from the host");
    };
    ExtractBytes("A.GZ", gz);
    EXPECT_EQ(log_.lines, (Events{"Activate", "Deactivate"}));
    // An output file that cannot be made: no event before OnEnd.
    log_.Attach(gz_);
    log_.lines.clear();
    fs::create_directories(Path("out/A.TXT/keep"));
    ExtractBytes("A.GZ", gz);
    EXPECT_EQ(log_.lines, Passed("A.TXT"));
}

// A small file of blanks that expands to 2 GB stops at the byte limit in
// well under the time it would take to write it all.
TEST_F(GzipTest, DecompressionBombStopsAtTheByteLimit) {
    test::LsbBitWriter w;
    auto code = [&w](std::uint32_t c, unsigned n) {  // Huffman codes go MSB first
        for (unsigned i = n; i-- > 0;) w.Bit((c >> i) & 1);
    };
    w.Bits(1, 1);  // final block
    w.Bits(1, 2);  // fixed codes
    code(0x30 + ' ', 8);
    const std::uint64_t total = 2'000'000'000;
    for (std::uint64_t made = 1; made + 258 <= total; made += 258) {
        code(0xC5, 8);  // length 258
        code(0, 5);     // distance 1
    }
    code(0, 7);  // end of block
    GzipSpec bomb = Spec(8, "FILE_ID.DIZ");
    bomb.raw = std::string(w.bytes.begin(), w.bytes.end());
    bomb.data = "";
    const std::string bytes = bomb.Build();
    EXPECT_GT(bytes.size(), 10'000'000u);
    gz_.MaxOutputBytes = 1 << 20;
    const auto start = std::chrono::steady_clock::now();
    ExtractBytes("FILE_ID.DIZ.GZ", bytes);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(log_.lines, Passed("FILE_ID.DIZ"));
    EXPECT_EQ(test::ReadFile(Path("out/FILE_ID.DIZ")), std::string(1 << 20, ' '));
}

TEST_F(GzipTest, ReaderTableKnowsGzip) {
    EXPECT_NE(dynamic_cast<TUnGZIP*>(MakeReader(atGZip).get()), nullptr);
}

}  // namespace
}  // namespace lumora::archive
