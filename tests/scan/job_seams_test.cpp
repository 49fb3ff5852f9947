// Scan I with the configured description filter in its seam: filtered right
// after reading, before the layout, and a description filtered away entirely
// counts as empty.
#include "scan/job_seams.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "scan/recording_host.h"
#include "support/temp_folder.h"

namespace lumora {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;

class FixedSource : public DescriptionSource {
public:
    ExtractionOutcome ExtractDescription(const std::string& archive,
                                         const std::vector<std::string>&,
                                         const std::string& dest) override {
        const std::string name = archive.substr(archive.rfind('/') + 1);
        std::ofstream(dest + "FILE_ID.DIZ", std::ios::binary) << texts[name];
        return {"FILE_ID.DIZ", false, ""};
    }
    std::map<std::string, std::string> texts;
};

TEST(JobSeamsTest, ScanOneFiltersEveryDescriptionBeforeItsLayout) {
    test::TempFolder dir, temp;
    Configuration config;
    config.InfoFileList = {"FILE_ID.DIZ"};
    AppSettings& s = config.settings;
    s.ShortName = false;
    s.Divide = false;
    s.Design = static_cast<int>(DisplayMode::AllFull);
    s.UseFilter = true;
    s.Mode = static_cast<int>(LineFilterMode::ExactMatch);
    s.Size = false;
    s.Remove = true;
    s.RemoveLine = true;
    s.RemoveEmpty = true;
    config.LineFilterList = {"WWW.BBS.DE"};
    config.SpecialCharSet.set(0xDB);
    const LocaleFormats formats = LocaleFormats::German();
    test::RecordingHost host;
    host.saveAnswer = dir / "list.txt";
    JobLog log(host, formats);
    FixedSource source;
    source.texts["A.ZIP"] = "Tolles Spiel\r\n\xDB\xDB\xDB\r\nwww.bbs.de\r\n\r\nVersion 2\r\n";
    source.texts["B.ZIP"] = "\xDB\xDB\r\nWWW.BBS.DE\r\n  \t\r\n";
    ScanEnvironment env{config, formats, host, log, source, temp.path(), nullptr, nullptr, nullptr};
    env.filterDescription = ConfiguredFilter(config);
    ScanJob(env).RunCommand({dir.Write("A.ZIP", "a"), dir.Write("B.ZIP", "b")}, dir.path());

    const std::string list = test::ReadAll(dir / "list.txt");
    EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), 3) << list;
    EXPECT_THAT(list, HasSubstr(" Tolles Spiel"));
    EXPECT_THAT(list, HasSubstr(std::string(30, ' ') + "Version 2"));
    EXPECT_THAT(list, HasSubstr("B.ZIP"));
    EXPECT_THAT(list, HasSubstr("LM : Leere FILE_ID"));
    EXPECT_EQ(list.find('\xDB'), std::string::npos);
    EXPECT_EQ(list.find("bbs"), std::string::npos);
    ASSERT_EQ(host.log.size(), 6u);
    EXPECT_THAT(host.log[2].first, EndsWith("A.ZIP, FILE_ID.DIZ... O.K."));
    EXPECT_THAT(host.log[3].first, EndsWith("B.ZIP, FILE_ID.DIZ... Leere FILE_ID"));
    EXPECT_EQ(host.log[3].second, LogKind::Failure);

    // A filter switched off between two runs takes effect at the next one.
    s.UseFilter = false;
    ScanJob(env).RunCommand({dir / "A.ZIP"}, dir.path());
    EXPECT_THAT(test::ReadAll(dir / "list.txt"), HasSubstr("www.bbs.de"));
}

}  // namespace
}  // namespace lumora
