// Reads arbitrary bytes as an INI file: nothing may crash, leak or hang, whatever the bytes,
// and the result must not depend on how the bytes arrive (the file reader feeds them in chunks).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "files/ini.h"
#include "files/ini_text.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using keelsong::IniDocument;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    IniDocument whole;
    Check(whole.ReadFromText(bytes) == 0);
    const std::string text = whole.ToText();

    // The same bytes in three pieces, cut where the first two bytes say.
    const std::size_t first = size > 0 ? data[0] % (size + 1) : 0;
    const std::size_t second = size > 1 ? first + data[1] % (size - first + 1) : first;
    IniDocument pieces;
    keelsong::ini_detail::TextReader reader(pieces);
    reader.Feed(bytes.substr(0, first));
    reader.Feed(bytes.substr(first, second - first));
    reader.Feed(bytes.substr(second));
    reader.Finish();
    Check(pieces.ToText() == text);

    // Every get on every item, and what was written reads again.
    char buffer[32];
    for (const keelsong::IniSection& section : whole.sections()) {
        // Look-up finds the first of several sections of one name; the others' items may be
        // out of its reach.
        const bool reachable = whole.FindSection(section.name) == &section;
        for (const keelsong::IniItem& item : section.items) {
            std::int32_t int_value = 0;
            std::uint32_t uint_value = 0;
            bool flag = false;
            const int found =
                whole.GetStringIntoBuffer(section.name, item.name, buffer, sizeof buffer);
            Check(found == 1 || (!reachable && found == 0));
            Check(whole.GetInt(section.name, item.name, &int_value) <= 1);
            Check(whole.GetUInt(section.name, item.name, &uint_value) <= 1);
            Check(whole.GetBoolean(section.name, item.name, &flag) <= 1);
        }
    }
    IniDocument again;
    Check(again.ReadFromText(text) == 0);
    return 0;
}
