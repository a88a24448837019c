// Whatever text a ".tlk" file holds, reading it must stay inside the 40 event slots and the
// setup record, read back what it reads when written again, and, through the "Load" button,
// either load exactly the events read or change nothing at all.
//
// Input: byte 0 picks the unit; the rest is the file.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "config_load_check.h"
#include "files/config_file.h"
#include "files/ini.h"
#include "protocol/unit_setup.h"

namespace {

using namespace keelsong;
using fuzz::Check;

bool HasItems(int32_t type) {
    return type >= TypeCode(EventType::ToneCycles) && type <= TypeCode(EventType::ToneSeconds);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    const std::span<const uint8_t> file(data + 1, size - 1);
    IniDocument document;
    Check(document.ReadFromText(
              std::string_view(reinterpret_cast<const char*>(file.data()), file.size())) == 0);

    ConfigEventSlots slots;
    const int result = ReadConfigEvents(document, slots);
    Check(result == 0 || result == -1);
    size_t events = 0;
    while (result == 0 && events < slots.size() && slots[events].type != 0) {
        ++events;
    }

    const std::vector<uint8_t> setup = ReadConfigSetup(document);
    const std::optional<DecodedSetup> decoded = ParseSetupRecord(setup);
    Check(decoded && decoded->format == setup_format::kTagged && decoded->fields.size() <= 6 &&
          setup.size() == 4 + 8 * decoded->fields.size());

    if (result == 0) {
        // Written out and read again, the events up to the first one without items come back.
        IniDocument again;
        size_t written = 0;
        while (written < events && HasItems(slots[written].type)) {
            Check(PutConfigEvent(again, static_cast<int>(written + 1), slots[written]) == 0);
            ++written;
        }
        ConfigEventSlots back;
        Check(ReadConfigEvents(again, back) == 0);
        for (size_t k = 0; k < written; ++k) {
            Check(back[k].type == slots[k].type && back[k].body == slots[k].body);
        }
        Check(written == slots.size() || back[written].type == 0);
    }

    const int rows = fuzz::LoadThroughTheButton(file, data[0]);
    if (!file.empty() && !IsOldEventTableFile(file[0])) {
        const bool loads = result == 0 && IsConfigurationDocument(document);
        Check(rows == (loads ? static_cast<int>(events) : -1));
    }
    return 0;
}
