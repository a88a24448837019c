// Reading a configuration file whole, before anything of it is shown or sent: what it holds,
// or the one message that says why it cannot be used. The window's "Load", `keelsong FILE`,
// and keelsong-cli's write and report all read through here.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "files/config_provenance.h"
#include "files/ini.h"
#include "protocol/event_record.h"

namespace keelsong {

enum class ConfigFileKind { Configuration, OldEventTable };

struct ConfigFileContents {
    ConfigFileKind kind = ConfigFileKind::Configuration;
    // The events in row order. A configuration's list ends before its first event of type 0;
    // an older table keeps its empty records (type 0) as empty rows.
    std::vector<EventRecord> events;
    // A configuration's setup as a tagged record (see ReadConfigSetup); empty for an older
    // table, which leaves the setup as it is.
    std::vector<uint8_t> setup;
    // Sections that stand in the file more than once: only the first of each is read.
    std::vector<std::string> duplicate_sections;
    // The unit it was saved from and when, as far as its "[Unit]" and "[Saved]" say.
    ConfigProvenance provenance;
    // The SHA-256 of the bytes read, in hex; empty for contents made otherwise.
    std::string sha256;
};

struct ConfigFileRead {
    std::optional<ConfigFileContents> contents;
    // When there are no contents: the status-line message ("Failed to open file", "Failed to
    // read from file", "Error reading events from file").
    std::string failure;
};

// Only a regular file is opened, and without waiting: a FIFO, a device or a folder fails at
// once with "Failed to open file". May throw std::bad_alloc.
ConfigFileRead ReadConfigurationFile(const std::string& path);

// A configuration document's contents, as ReadConfigurationFile reads a ".tlk"; nullopt when
// its events cannot be read ("Error reading events from file").
std::optional<ConfigFileContents> ContentsOfDocument(const IniDocument& document);

// Why the events cannot be sent to any unit as they stand ("Event 02 cannot be sent: Type 9 is
// not an event type"), or nullopt. Empty records of an older table are rows, not events.
std::optional<std::string> UnsendableEvent(const ConfigFileContents& contents);

}  // namespace keelsong
