// Where a configuration file came from: the "[Unit]" and "[Saved]" sections a save adds after
// the table and setup. Readers that do not know them ignore them, and a file without them (or
// with a value in them that cannot be read) loads exactly as before: what is missing or bad is
// simply not known.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "files/ini.h"

namespace keelsong {

struct ConfigProvenance {
    // [Unit]: the unit type's name as the window shows it ("Orvane HF"); the serial number and
    // the firmware text ("v2.1.4") of the unit saved from, when one was known.
    std::string type;
    std::optional<uint16_t> serial;
    std::string firmware;
    // [Saved]: the program and its version, and when (UTC, "2026-12-09T17:20:00Z").
    std::string program;
    std::string time;
    bool operator==(const ConfigProvenance&) const = default;
};

// Puts the sections into `document` (which should hold nothing else: a save writes it after
// the configuration's own document). Empty values are left out. 0 or the INI layer's code.
int PutConfigProvenance(IniDocument& document, const ConfigProvenance& provenance);

// What the sections of `document` say; empty when it has neither.
ConfigProvenance ReadConfigProvenance(const IniDocument& document);

// The device type a "[Unit] Type" names, when it is a type with an event table.
std::optional<int> EventTableTypeNamed(const std::string& name);

}  // namespace keelsong
