#include "cli/config_compare.h"

namespace keelsong::cli {

std::optional<std::string> FirstDifference(const IniDocument& sent, const IniDocument& read) {
    for (const IniSection& section : sent.sections()) {
        if (!read.FindSection(section.name)) {
            return section.name + ": missing from the unit";
        }
        for (const IniItem& item : section.items) {
            const IniItem* back = read.FindItem(section.name, item.name);
            if (!back) {
                return section.name + ": " + item.name + " missing from the unit";
            }
            if (back->value != item.value) {
                return section.name + ": " + item.name + " sent " + item.value + ", read " +
                       back->value;
            }
        }
    }
    // What the unit holds beyond what was sent (an event that was never sent).
    for (const IniSection& section : read.sections()) {
        if (!sent.FindSection(section.name)) {
            return section.name + ": on the unit but not sent";
        }
        for (const IniItem& item : section.items) {
            if (!sent.FindItem(section.name, item.name)) {
                return section.name + ": " + item.name + " on the unit but not sent";
            }
        }
    }
    return std::nullopt;
}

}  // namespace keelsong::cli
