#include "files/config_provenance.h"

#include <gtest/gtest.h>

namespace keelsong {
namespace {

ConfigProvenance ReadText(std::string_view text) {
    IniDocument document(true);
    EXPECT_EQ(document.ReadFromText(text), 0);
    return ReadConfigProvenance(document);
}

// What a file says of its unit is taken where it can be, and left unknown where it cannot,
// never failing the file.
TEST(ConfigProvenance, SectionsMissingOrBad_WhatCannotBeReadIsUnknown) {
    const struct {
        const char* text;
        ConfigProvenance read;
    } cases[] = {
        {"[Setup]\nStart Time = -1\n", {}},
        {"[Unit]\nType = Orvane HF(R1)\nSerial Number = 65535\nFirmware = v2.1.4\n"
         "[Saved]\nProgram = Keelsong 0.1.0\nTime = 2026-12-09T17:20:00Z\n",
         {"Orvane HF(R1)", 65535, "v2.1.4", "Keelsong 0.1.0", "2026-12-09T17:20:00Z"}},
        {"[unit]\ntype = \"Orvane LF\"\n", {"Orvane LF", std::nullopt, "", "", ""}},
        // A type without an event table, a number too large or none, a firmware no unit has.
        {"[Unit]\nType = Quelmar AF\nSerial Number = 65536\nFirmware = 2.1\n", {}},
        {"[Unit]\nType = HF\nSerial Number = -3\nFirmware = v9.9.999\n", {}},
        {"[Unit]\nSerial Number = abc\n", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReadText(c.text), c.read) << c.text;
    }
}

TEST(ConfigProvenance, Put_WhatIsNotKnownIsLeftOut) {
    IniDocument offline(false);
    ASSERT_EQ(PutConfigProvenance(offline, {"Orvane LF", std::nullopt, "", "Keelsong 0.1.0", ""}),
              0);
    EXPECT_EQ(offline.ToText(),
              "[Unit]\r\nType = Orvane LF\r\n\r\n[Saved]\r\nProgram = Keelsong 0.1.0\r\n\r\n");
}

}  // namespace
}  // namespace keelsong
