// The GZIP reader: the corpus files against zlib, the header variants
// (names, extra field, comment, header CRC, multi-part, encrypted, other
// methods), damaged data, exceptions that must not leave, and a
// decompression bomb held to the byte limit.
#include <gtest/gtest.h>
#include <zlib.h>

#include <chrono>
#include <map>
#include <optional>
#include <stdexcept>

#include "archive/archive_test_support.h"
#include "archive/corpus_manifest.h"
#include "archive/formats/gzip/gzip_header.h"
#include "archive/formats/gzip/un_gzip.h"
#include "archive/lister/zip_tv.h"
#include "support/builders/cab_builder.h"
#include "support/builders/zip_builder.h"

namespace lumora::archive::test {
namespace {

using Events = std::vector<std::string>;

// zlib's reading of a one-member gzip file.
std::string Gunzip(const std::string& gz) {
    z_stream z{};
    inflateInit2(&z, 16 + 15);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(gz.data()));
    z.avail_in = static_cast<uInt>(gz.size());
    std::string out(1 << 24, '\0');
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    inflate(&z, Z_FINISH);
    out.resize(z.total_out);
    inflateEnd(&z);
    return out;
}

const std::string kText = "Lumora description line\r\nSecond line of the text\r\n";

// A gzip file written field by field.
struct GzipSpec {
    std::uint8_t flags = 0;
    std::string name, extra, comment;
    std::uint8_t method = 8;
    std::string data = kText;          // the plain member data
    std::optional<std::string> raw;    // the compressed bytes as they are
    std::optional<std::uint32_t> crc;  // default: the CRC of `data`
    bool goodHeaderCrc = true;

    std::string Build() const {
        std::string h = "\x1F\x8B";
        h += static_cast<char>(method);
        h += static_cast<char>(flags);
        Put32(h, 818899200);
        h += "\x02\x03";
        if (flags & 4) {
            Put16(h, static_cast<std::uint32_t>(extra.size()));
            h += extra;
        }
        if (flags & 8) h += name + '\0';
        if (flags & 16) h += comment + '\0';
        if (flags & 2) Put16(h, (CrcOf(h) & 0xFFFF) ^ (goodHeaderCrc ? 0 : 1));
        h += raw ? *raw : method == 0 ? data : cabarc::RawDeflate(data, "");
        Put32(h, crc.value_or(CrcOf(data)));
        Put32(h, static_cast<std::uint32_t>(data.size()));
        return h;
    }
};

GzipSpec Spec(std::uint8_t flags, std::string name = "", std::string extra = "",
              std::string comment = "") {
    GzipSpec s;
    s.flags = flags;
    s.name = std::move(name);
    s.extra = std::move(extra);
    s.comment = std::move(comment);
    return s;
}

class GzipTest : public ReaderTest {
protected:
    // A gzip file's one member is taken whatever FileSpec says.
    void Extract(const fs::path& archive) {
        TUnGZIP gz;
        EXPECT_NO_THROW(Run(gz, archive, "FILE_ID.DIZ"));
        EXPECT_EQ(thrown, 0);
    }
    static Events Passed(const std::string& name, const Events& middle = {}) {
        Events e{"Activate", "Begin " + name + " 1"};
        e.insert(e.end(), middle.begin(), middle.end());
        e.insert(e.end(), {"End " + name + " pass", "Deactivate"});
        return e;
    }
};

// Each corpus file yields zlib's bytes under its stored name (or the file's
// name less its extension); compress files give an empty member and a box.
TEST_F(GzipTest, CorpusFilesMatchZlibAndTheExpectedDescriptions) {
    LUMORA_REQUIRE_CORPUS();
    const std::map<std::string, std::string> names = {
        {"gzip/DIZNAME.GZ", "FILE_ID.DIZ"},  {"gzip/NONAME.GZ", "NONAME"},
        {"gzip/EXTRA.GZ", "FILE_ID.DIZ"},    {"gzip/COMMENT.GZ", "file_id.diz"},
        {"gzip/GAMETGZ.TGZ", "GAMETGZ.TAR"}, {"gzip/README.Z", "README"},
    };
    int seen = 0;
    for (const CorpusRow& r : CorpusRowsOf({"gzip", "compress"})) {
        SCOPED_TRACE(r.path);
        ASSERT_TRUE(names.count(r.path));
        const std::string name = names.at(r.path);
        Reset();
        Extract(CorpusDir() / r.path);
        EXPECT_EQ(OutFiles(), Events{name});
        if (r.format == "compress") {
            EXPECT_EQ(log.lines, Passed(name, {"Box"}));
            EXPECT_EQ(log.boxes, Events{std::string(ErrorText(ecode::UnsupportedMethod))});
            EXPECT_EQ(Out(name), "");
        } else {
            EXPECT_EQ(log.lines, Passed(name));
            EXPECT_EQ(Out(name), Gunzip(ReadFile(CorpusDir() / r.path)));
        }
        if (!r.descSha.empty()) {
            EXPECT_EQ(Out(name), ReadFile(CorpusDir() / "expected" / r.path / r.descMember));
        }
        ++seen;
    }
    EXPECT_EQ(seen, 6);
}

// The optional header fields are passed over; multi-part and encrypted
// files are refused, other methods get a box and an empty file, and damaged
// data fails its CRC keeping what was decoded.
TEST_F(GzipTest, HeaderVariantsAndDamagedData) {
    GzipSpec multipart = Spec(2 | 8, "D.TXT"), stored = Spec(8, "F.TXT");
    GzipSpec other = Spec(8, "G.TXT"), badCrc = Spec(8, "H.TXT"), cut = Spec(8, "I.TXT");
    multipart.goodHeaderCrc = false;
    stored.method = 0;
    other.method = 7;
    other.raw = "xxxx";
    badCrc.crc = 1234;
    cut.data.clear();
    for (std::uint32_t seed = 1; cut.data.size() < 20000;) {
        seed = seed * 1103515245u + 12345u;
        cut.data += static_cast<char>('a' + (seed >> 16) % 26);
    }
    cut.raw = cabarc::RawDeflate(cut.data, "");
    cut.raw->resize(cut.raw->size() / 2);
    struct Case {
        const char* file;
        GzipSpec spec;
        const char* member;  // output file name
        Events middle;       // events between Begin and End
        std::optional<std::string> content;
        bool pass = true;
    };
    const Case cases[] = {
        {"README.TXT.GZ", Spec(0), "README.TXT", {}, kText},
        {"A.GZ",
         Spec(4 | 8, "FILE_ID.DIZ", std::string("AB\x04\0wxyz", 8)),
         "FILE_ID.DIZ",
         {},
         kText},
        {"B.GZ", Spec(8 | 16, "DESC.SDI", "", "a comment\nwith two lines"), "DESC.SDI", {}, kText},
        {"C.GZ", Spec(2 | 4 | 8 | 16, "C.TXT", "xy", "note"), "C.TXT", {}, kText},
        {"D.GZ", multipart, "D.TXT", {"Error 25162 D.TXT"}, std::nullopt},
        {"E.GZ", Spec(0x20 | 8, "E.TXT"), "E.TXT", {"Error 25190 E.TXT"}, std::nullopt},
        {"F.GZ", stored, "F.TXT", {}, kText},
        {"G.GZ", other, "G.TXT", {"Box"}, ""},
        {"H.GZ", badCrc, "H.TXT", {"Error 25117 H.TXT"}, kText, false},
        {"I.GZ", cut, "I.TXT", {"Error 25117 I.TXT"}, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        Reset();
        Extract(Write(c.file, c.spec.Build()));
        Events expected = Passed(c.member, c.middle);
        if (!c.pass) expected[expected.size() - 2] = std::string("End ") + c.member + " fail";
        EXPECT_EQ(log.lines, expected);
        EXPECT_EQ(fs::exists(Path("out") / c.member), c.content.has_value());
        if (!c.content) continue;
        const std::string got = Out(c.member);
        if (c.file == std::string("I.GZ")) {  // what there was, a part of the data
            EXPECT_GT(got.size(), 0u);
            EXPECT_TRUE(cut.data.starts_with(got));
        } else {
            EXPECT_EQ(got, *c.content);
        }
    }
}

// A file that ends inside the header reports an empty archive.
TEST_F(GzipTest, FileEndingInsideTheHeader) {
    Extract(Write("SHORT.GZ", std::string("\x1F\x8B\x08\x00\x00\x00\x00\x00", 8)));
    EXPECT_EQ(log.lines, (Events{"Activate", "Error 26999 SHORT.GZ", "Deactivate"}));
}

// The lister and the reader take one reading of the header: the data starts
// after a stored name of any length (the name cut to 255 bytes) and after the
// 2 bytes of FLG bit 1, whether they hold a matching header CRC or the part
// number of a multi-part file.
TEST_F(GzipTest, ListerAndReaderReadTheHeaderAlike) {
    GzipSpec badHeaderCrc = Spec(2 | 8, "B.TXT");
    badHeaderCrc.goodHeaderCrc = false;
    const GzipSpec specs[] = {Spec(8, std::string(300, 'N') + ".TXT"), badHeaderCrc,
                              Spec(2 | 4 | 8 | 16, "C.TXT", "xy", "note"), Spec(0)};
    for (const GzipSpec& spec : specs) {
        SCOPED_TRACE(spec.name.substr(0, 8));
        const std::string bytes = spec.Build();
        const std::uint64_t packed = cabarc::RawDeflate(spec.data, "").size();
        const fs::path gz = Write("T.GZ", bytes);
        InputFile file;
        ASSERT_TRUE(file.Open(gz.string()));
        GzipMember m;
        ASSERT_EQ(ReadGzipMember(file, ReadBlock(file, 0, kGzipHeaderSize), m), HeaderResult::Ok);
        EXPECT_EQ(m.dataStart, bytes.size() - 8 - packed);
        EXPECT_EQ(m.packedSize, packed);
        EXPECT_EQ(m.storedName, spec.name.substr(0, 255));
        EXPECT_EQ(m.multipart, !spec.goodHeaderCrc);

        TZipTV tv;
        tv.SetArchiveFile(gz.string());
        tv.SetFileSpec("*.*");
        std::uint64_t listed = 0;
        tv.OnRead = [&listed](TZipTV& t, std::uint64_t, int) { listed = t.Member().PackedSize; };
        EXPECT_TRUE(tv.Activate());
        EXPECT_EQ(listed, packed);
    }
}

// A header cut inside its extra field's length: the lister refuses it, the
// reader takes the length as zero.
TEST_F(GzipTest, HeaderCutInsideTheExtraLength) {
    const std::string bytes("\x1F\x8B\x08\x04\0\0\0\0\0\x03\x05", 11);
    const fs::path gz = Write("CUT.GZ", bytes);
    InputFile file;
    ASSERT_TRUE(file.Open(gz.string()));
    GzipMember m;
    ASSERT_EQ(ReadGzipMember(file, ReadBlock(file, 0, kGzipHeaderSize), m), HeaderResult::Ok);
    EXPECT_TRUE(m.extraCut);
    EXPECT_EQ(m.dataStart, 12u);
    TZipTV tv;
    tv.SetArchiveFile(gz.string());
    tv.SetFileSpec("*.*");
    tv.OnRead = [](TZipTV&, std::uint64_t, int) {};
    int error = 0;
    tv.OnError = [&error](TZipCommon&, const std::string&, const std::string&, int code) {
        error = code;
    };
    EXPECT_FALSE(tv.Activate());
    EXPECT_EQ(error, ecode::BadFileHeader);
}

// An exception of the host's handler and an output file that cannot be made
// stay inside Extract, and the run still ends with OnDeactivate.
TEST_F(GzipTest, NoExceptionLeavesExtract) {
    const fs::path gz = Write("A.GZ", Spec(8, "A.TXT").Build());
    configure = [](TUnBase& r) {
        r.OnBegin = [](TZipCommon&, const std::string&, int, bool&) {
            throw std::runtime_error("from the host");
        };
    };
    Extract(gz);
    EXPECT_EQ(log.lines, (Events{"Activate", "Deactivate"}));
    configure = nullptr;
    fs::create_directories(Path("out/A.TXT/keep"));
    Extract(gz);
    EXPECT_EQ(log.lines, Passed("A.TXT"));
}

// A small file of blanks that expands to 2 GB stops at the byte limit in
// well under the time it would take to write it all.
TEST_F(GzipTest, DecompressionBombStopsAtTheByteLimit) {
    std::string deflate;
    std::uint32_t acc = 0;
    int n = 0;
    auto bits = [&](std::uint32_t v, int count) {  // least significant bit first
        for (acc |= v << n, n += count; n >= 8; n -= 8, acc >>= 8) deflate += char(acc & 0xFF);
    };
    auto code = [&](std::uint32_t c, int count) {  // Huffman codes go most significant first
        for (int i = count - 1; i >= 0; --i) bits((c >> i) & 1, 1);
    };
    bits(1, 1);  // final block
    bits(1, 2);  // fixed codes
    code(0x30 + ' ', 8);
    for (std::uint64_t made = 1; made + 258 <= 2'000'000'000; made += 258) {
        code(0xC5, 8);  // length 258
        code(0, 5);     // distance 1
    }
    code(0, 7);  // end of block
    bits(0, 7);
    GzipSpec bomb = Spec(8, "FILE_ID.DIZ");
    bomb.raw = deflate;
    bomb.data = "";
    const std::string bytes = bomb.Build();
    EXPECT_GT(bytes.size(), 10'000'000u);
    limit = 1 << 20;
    const auto start = std::chrono::steady_clock::now();
    Extract(Write("FILE_ID.DIZ.GZ", bytes));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(log.lines, Passed("FILE_ID.DIZ"));
    EXPECT_EQ(Out("FILE_ID.DIZ"), std::string(1 << 20, ' '));
}

}  // namespace
}  // namespace lumora::archive::test
