#include "files/config_file.h"

#include <algorithm>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>

#include "protocol/frame.h"

namespace keelsong {

namespace {

constexpr char kTypeItem[] = "Type";

// One item of an event section and the EventRecord body field it holds.
struct EventItem {
    const char* name;
    size_t offset;  // in the body
    size_t width;   // bytes: 1, 2 or 4
    bool is_signed;
};

struct TypeItems {
    std::array<EventItem, 4> items;
    size_t count;
    std::span<const EventItem> All() const { return {items.data(), count}; }
};

namespace body = event_body;

// The items of each type 1-5, in the order they are read; one table for saving and loading.
const TypeItems* ItemsOf(uint32_t type) {
    static const std::array<TypeItems, 5> kTable = {{
        // 1: a tone counted in cycles
        {{{{"Frequency", body::kFrequency, 4, false},
           {"Cycles", body::kToneDuration, 2, false},
           {"Level", body::kToneLevel, 1, true}}},
         3},
        // 2: a sweep
        {{{{"Start Frequency", body::kStartFrequency, 4, false},
           {"End Frequency", body::kEndFrequency, 4, false},
           {"Time", body::kSweepTime, 2, false},
           {"Level", body::kSweepLevel, 1, true}}},
         4},
        // 3: a rest
        {{{{"Time", body::kRestTime, 2, false}}}, 1},
        // 4: a click
        {{{{"Frequency", body::kFrequency, 4, false},
           {"Phase", body::kClickPhase, 2, true},
           {"Time", body::kClickTime, 2, false},
           {"Level", body::kClickLevel, 1, true}}},
         4},
        // 5: a tone timed in tenths of a second
        {{{{"Frequency", body::kFrequency, 4, false},
           {"Time", body::kToneDuration, 2, false},
           {"Level", body::kToneLevel, 1, true}}},
         3},
    }};
    return type >= 1 && type <= kTable.size() ? &kTable[type - 1] : nullptr;
}

// The field's bits, widened: unsigned fields with zeros, signed ones with their sign.
uint32_t ReadField(const EventBody& body, const EventItem& item) {
    const uint8_t* p = body.data() + item.offset;
    switch (item.width) {
        case 1:
            return item.is_signed ? static_cast<uint32_t>(static_cast<int8_t>(p[0])) : p[0];
        case 2: {
            const uint16_t value = ReadLe16(p);
            return item.is_signed ? static_cast<uint32_t>(static_cast<int16_t>(value)) : value;
        }
        default:
            return ReadLe32(p);
    }
}

// Keeps the low bits that fit the field.
void WriteField(EventBody& body, const EventItem& item, uint32_t value) {
    uint8_t* p = body.data() + item.offset;
    switch (item.width) {
        case 1:
            p[0] = static_cast<uint8_t>(value);
            break;
        case 2:
            WriteLe16(p, static_cast<uint16_t>(value));
            break;
        default:
            WriteLe32(p, value);
            break;
    }
}

// The value of one number item: 1 found, 0 missing, negative when it is no valid number.
int GetNumber(const IniDocument& document, std::string_view section, std::string_view item,
              bool is_signed, uint32_t* value) {
    if (is_signed) {
        int32_t signed_value = 0;
        const int found = document.GetInt(section, item, &signed_value);
        if (found == 1) {
            *value = static_cast<uint32_t>(signed_value);
        }
        return found;
    }
    return document.GetUInt(section, item, value);
}

// The section holding event `number` and its type: 1 found, 0 when neither spelling has a
// "Type", -1 when a "Type" stands there but is no unsigned number.
int FindEventType(const IniDocument& document, int number, std::string* section, uint32_t* type) {
    bool bad = false;
    for (const std::string& name :
         {ConfigEventSection(number), "Event " + std::to_string(number)}) {
        const int found = document.GetUInt(name, kTypeItem, type);
        if (found == 1) {
            *section = name;
            return 1;
        }
        bad = bad || found < 0;
    }
    return bad ? -1 : 0;
}

}  // namespace

std::string ConfigEventSection(int number) {
    char name[24];
    std::snprintf(name, sizeof name, "Event %02u", static_cast<unsigned>(number));
    return name;
}

int PutConfigEvent(IniDocument& document, int number, const EventRecord& event) {
    const TypeItems* items = ItemsOf(static_cast<uint32_t>(event.type));
    if (!items) {
        return 0;
    }
    const std::string section = ConfigEventSection(number);
    int result = document.PutUInt(section, kTypeItem, static_cast<uint32_t>(event.type));
    for (const EventItem& item : items->All()) {
        if (result != 0) {
            break;
        }
        const uint32_t value = ReadField(event.body, item);
        result = item.is_signed ? document.PutInt(section, item.name, static_cast<int32_t>(value))
                                : document.PutUInt(section, item.name, value);
    }
    return result;
}

int PutConfigSetup(IniDocument& document, const std::array<uint32_t, setup_tag::kCount>& values) {
    for (uint16_t tag = 0; tag < setup_tag::kCount; ++tag) {
        const std::string_view key = kSetupKeys[tag];
        const int result =
            tag == setup_tag::kStartTime
                ? document.PutInt(kConfigSetupSection, key, static_cast<int32_t>(values[tag]))
                : document.PutUInt(kConfigSetupSection, key, values[tag]);
        if (result != 0) {
            return result;
        }
    }
    return 0;
}

int ReadConfigEvents(const IniDocument& document, ConfigEventSlots& slots) {
    for (int number = 1; number <= kConfigMaxEvents; ++number) {
        EventRecord& slot = slots[static_cast<size_t>(number - 1)];
        slot = EventRecord{};
        std::string section;
        uint32_t type = 0;
        const int found = FindEventType(document, number, &section, &type);
        if (found < 0) {
            return -1;
        }
        if (found == 0) {
            return 0;  // the list ends here; the slot says so with type 0
        }
        slot.type = static_cast<int32_t>(type);
        const TypeItems* items = ItemsOf(type);
        if (!items) {
            continue;
        }
        for (const EventItem& item : items->All()) {
            uint32_t value = 0;
            if (GetNumber(document, section, item.name, item.is_signed, &value) != 1) {
                return -1;
            }
            WriteField(slot.body, item, value);
        }
    }
    return 0;
}

std::vector<uint8_t> ReadConfigSetup(const IniDocument& document) {
    std::vector<uint8_t> record(4, 0);
    uint16_t count = 0;
    for (uint16_t tag = 0; tag < setup_tag::kCount; ++tag) {
        uint32_t value = 0;
        if (GetNumber(document, kConfigSetupSection, kSetupKeys[tag], tag == setup_tag::kStartTime,
                      &value) != 1) {
            continue;
        }
        uint8_t item[8];
        WriteLe16(item, tag);
        WriteLe16(item + 2, 4);
        WriteLe32(item + 4, value);
        record.insert(record.end(), item, item + sizeof item);
        ++count;
    }
    WriteLe16(record.data(), setup_format::kTagged);
    WriteLe16(record.data() + 2, count);
    return record;
}

void SetConfigSetupField(std::vector<uint8_t>& record, uint16_t tag, uint32_t value) {
    constexpr size_t kHeader = 4;
    constexpr size_t kItem = 8;
    if (record.size() < kHeader) {
        record.assign(kHeader, 0);
        WriteLe16(record.data(), setup_format::kTagged);
    }
    size_t at = kHeader;
    for (; at + kItem <= record.size(); at += kItem) {
        const uint16_t held = ReadLe16(record.data() + at);
        if (held == tag) {
            WriteLe32(record.data() + at + 4, value);
            return;
        }
        if (held > tag) {
            break;
        }
    }
    uint8_t item[kItem];
    WriteLe16(item, tag);
    WriteLe16(item + 2, 4);
    WriteLe32(item + 4, value);
    record.insert(record.begin() + static_cast<std::ptrdiff_t>(at), item, item + kItem);
    WriteLe16(record.data() + 2, static_cast<uint16_t>(ReadLe16(record.data() + 2) + 1));
}

std::optional<std::string> DifferingEventItem(const EventRecord& wanted, const EventRecord& got) {
    const TypeItems* items = ItemsOf(static_cast<uint32_t>(wanted.type));
    if (!items) {
        return std::nullopt;
    }
    for (const EventItem& item : items->All()) {
        const uint32_t value = ReadField(wanted.body, item);
        if (value != ReadField(got.body, item)) {
            return std::string(item.name) + " " +
                   (item.is_signed ? std::to_string(static_cast<int32_t>(value))
                                   : std::to_string(value));
        }
    }
    return std::nullopt;
}

bool IsConfigurationDocument(const IniDocument& document) {
    return document.FindSection(kConfigSetupSection) ||
           document.FindSection(ConfigEventSection(1)) || document.FindSection("Event 1");
}

bool IsOldEventTableFile(uint8_t first_byte) {
    return first_byte <= TypeCode(EventType::ToneSeconds);
}

std::vector<EventRecord> ReadOldEventTable(std::span<const uint8_t> bytes) {
    std::vector<EventRecord> records;
    while (bytes.size() >= kOldEventRecordSize && records.size() < kConfigMaxEvents) {
        EventRecord record;
        record.type = static_cast<int32_t>(ReadLe32(bytes.data()));
        std::copy_n(bytes.data() + 4, kEventBodySize, record.body.begin());
        records.push_back(record);
        bytes = bytes.subspan(kOldEventRecordSize);
    }
    return records;
}

}  // namespace keelsong
