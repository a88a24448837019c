// The configuration file (".tlk", INI text) and the older binary event-table file: what their
// contents mean as event records and setup fields. Only bytes and documents here; the grid and
// the setup controls are the app layer's.
//
// A ".tlk" holds one section "Event NN" per event (NN = 01-40) with the item "Type" and the
// items of that type, and one section "Setup" with the six setup fields under the keys of
// kSetupKeys. Each item is a decimal number: unsigned, except "Level", "Phase" and "Start Time".
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "files/ini.h"
#include "protocol/event_record.h"
#include "protocol/unit_setup.h"

namespace keelsong {

// The most events a file holds (the grid's limit); later sections or records are not read.
inline constexpr int kConfigMaxEvents = 40;
inline constexpr char kConfigSetupSection[] = "Setup";

// "Event 01" … "Event 40": the section of the `number`th event.
std::string ConfigEventSection(int number);

// Puts one event as section ConfigEventSection(number): "Type" and the items its type
// carries, each from the EventRecord field of its width. A type outside 1-5 puts nothing.
// 0, or the INI layer's negative code.
int PutConfigEvent(IniDocument& document, int number, const EventRecord& event);

// Puts the six setup fields (wire values, indexed by tag) into section "Setup". 0 or negative.
int PutConfigSetup(IniDocument& document, const std::array<uint32_t, setup_tag::kCount>& values);

// What ReadConfigEvents fills: slot k-1 holds event k. The slot after the last event read
// has type 0, unless all 40 were read.
using ConfigEventSlots = std::array<EventRecord, kConfigMaxEvents>;

// Reads "Event 01" (or "Event 1") onwards. The list ends at the first event whose section
// gives no "Type" under either spelling; a type outside 1-5 is kept as it is with no further
// items. Each item keeps the low bits that fit its field (a "Level" of 300 becomes 44).
// 0 when the list was read; -1 when an event lacks an item of its type, or an item (its
// "Type" included) is no valid number: then the slots hold nothing the caller may use.
int ReadConfigEvents(const IniDocument& document, ConfigEventSlots& slots);

// The "Setup" section as a tagged setup record (format 21): one 4-byte item per key found
// with a valid number, in tag order. Keys that are missing or bad are left out.
std::vector<uint8_t> ReadConfigSetup(const IniDocument& document);

// Gives a tagged setup record (as ReadConfigSetup makes) `value` for `tag`: the item is
// replaced where the record has it, added in tag order where not. An empty record (an older
// table's, which leaves the setup as it is) becomes one holding that item alone.
void SetConfigSetupField(std::vector<uint8_t>& record, uint16_t tag, uint32_t value);

// The first item of `wanted`'s type (in reading order) whose field `got` holds differently, as
// the item's name and the value `wanted` holds ("Level 44"); nullopt when every item agrees.
// `got`'s type is not compared.
std::optional<std::string> DifferingEventItem(const EventRecord& wanted, const EventRecord& got);

// Whether a document read from a file is a configuration at all: it has a "Setup" section or
// a section for the first event. A text file of anything else reads as an INI document too.
bool IsConfigurationDocument(const IniDocument& document);

// ---- The older binary event-table file ----------------------------------------------------

// Each record: the type code (u32, little-endian) and the 12-byte event body, as EventRecord.
inline constexpr size_t kOldEventRecordSize = 4 + kEventBodySize;
// The bytes that hold every record ever read.
inline constexpr size_t kOldEventTableMaxBytes = kOldEventRecordSize * kConfigMaxEvents;

// A file is of the older kind when its first byte (the low byte of the first type code) is
// 0-5; a ".tlk" always starts with printable text.
bool IsOldEventTableFile(uint8_t first_byte);

// The whole records at the start of `bytes`, at most 40; a shorter tail is ignored.
std::vector<EventRecord> ReadOldEventTable(std::span<const uint8_t> bytes);

}  // namespace keelsong
