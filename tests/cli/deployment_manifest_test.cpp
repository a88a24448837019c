#include "cli/deployment_manifest.h"

#include <gtest/gtest.h>

namespace keelsong::cli {
namespace {

TEST(DeploymentManifest, WellFormedLines_ReadWhateverTheColumnOrderQuotesAndLineEnds) {
    const Manifest manifest = ParseManifest(
        "\n file ,SERIAL,start\r\n"
        "\"north, deep.tlk\",1042,2027-03-01 06:30\r\n"
        "\r\n"
        "\"say \"\"hi\"\".tlk\",0,\n"
        "plain.tlk,65535,  \n");
    EXPECT_TRUE(manifest.problems.empty()) << manifest.problems.front();
    ASSERT_EQ(manifest.units.size(), 3u);
    EXPECT_EQ(manifest.units[0].line, 3);
    EXPECT_EQ(manifest.units[0].serial, 1042);
    EXPECT_EQ(manifest.units[0].file, "north, deep.tlk");
    EXPECT_EQ(manifest.units[0].start, (CalendarTime{2027, 3, 1, 6, 30, 0}));
    EXPECT_EQ(manifest.units[1].file, "say \"hi\".tlk");
    EXPECT_EQ(manifest.units[1].serial, 0);
    EXPECT_EQ(manifest.units[1].start, std::nullopt);
    EXPECT_EQ(manifest.units[2].serial, 65535);
}

TEST(DeploymentManifest, BadLines_EachToldWithItsLine) {
    const struct {
        const char* text;
        std::vector<std::string> problems;
    } cases[] = {
        {"",
         {"the manifest is empty: it needs a header line (serial, file, start) and a line "
          "per unit"}},
        {"serial,file,when\n1,a.tlk,x\n",
         {"line 1: unknown column \"when\" (the columns are serial, file, start)"}},
        {"serial,start\n1,\n", {"line 1: no \"file\" column"}},
        {"serial,file,Serial\n", {"line 1: the column \"Serial\" stands twice"}},
        {"serial,file\n1,a.tlk,extra\n1x,a.tlk\n65536,a.tlk\n-1,a.tlk\n",
         {"line 2: 3 fields where the header has 2",
          "line 3: serial \"1x\" is not a serial number 0-65535",
          "line 4: serial \"65536\" is not a serial number 0-65535",
          "line 5: serial \"-1\" is not a serial number 0-65535"}},
        {"serial,file\n7,a.tlk\n8,\n7,b.tlk\n",
         {"line 3: no file", "line 4: serial 7 again (first on line 2)"}},
        {"serial,file,start\n1,a,2027-02-29 10:00\n2,a,2027-01-01 24:00\n3,a,2027-1-1 10:00\n",
         {"line 2: start \"2027-02-29 10:00\" is not a local date and time YYYY-MM-DD HH:MM",
          "line 3: start \"2027-01-01 24:00\" is not a local date and time YYYY-MM-DD HH:MM",
          "line 4: start \"2027-1-1 10:00\" is not a local date and time YYYY-MM-DD HH:MM"}},
        {"serial,file\n1,\"a.tlk\n2,\"b\"x,\n",
         {"line 2: a quote is not closed", "line 3: a quote is not closed"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseManifest(c.text).problems, c.problems) << c.text;
    }
}

}  // namespace
}  // namespace keelsong::cli
