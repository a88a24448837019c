// Reads arbitrary bytes as an INI file: nothing may crash, leak or hang, whatever the bytes,
// the result must not depend on how the bytes arrive (the file reader feeds them in chunks),
// and what was read, once written, must read back as the same document.
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

// Whether every item writes as lines that read back as that same item. The format itself loses
// three things, so documents that hold them are not compared: the outer blanks of a bare value
// (and a bare value between double quotes, which reads back as quoted), a line too long to be
// read whole, and an item whose name makes it look like a piece of a long value.
bool WritesItemsBack(const keelsong::IniDocument& document) {
    using keelsong::kIniMaxValueLineLength;
    using keelsong::ini_detail::IsBlank;
    for (const keelsong::IniSection& section : document.sections()) {
        for (const keelsong::IniItem& item : section.items) {
            if (keelsong::ini_detail::PieceNumber(item.name, nullptr) >= 0) {
                return false;
            }
            const std::string_view value = item.value;
            const bool in_pieces = value.size() > kIniMaxValueLineLength;
            for (std::size_t at = 0; at == 0 || at < value.size(); at += kIniMaxValueLineLength) {
                const std::string_view piece = value.substr(at, kIniMaxValueLineLength);
                const std::size_t line = item.name.size() + (in_pieces ? 9 : 0) + 3 + piece.size() +
                                         (item.quoted ? 2 : 0);
                if (line > keelsong::kIniMaxLineLength) {
                    return false;
                }
                if (!item.quoted && !piece.empty() &&
                    (IsBlank(piece.front()) || IsBlank(piece.back()) ||
                     (piece.size() >= 2 && piece.front() == '"' && piece.back() == '"'))) {
                    return false;
                }
            }
        }
    }
    return true;
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
    // What was read, written and read again is the same document: the same sections and items
    // with the same values and comments, and it writes the same text.
    IniDocument again;
    Check(again.ReadFromText(text) == 0);
    if (!WritesItemsBack(whole)) {
        return 0;
    }
    Check(again.header_comment() == whole.header_comment());
    Check(again.trailing_comment() == whole.trailing_comment());
    Check(again.sections().size() == whole.sections().size());
    for (auto read = whole.sections().begin(), reread = again.sections().begin();
         read != whole.sections().end(); ++read, ++reread) {
        Check(reread->name == read->name && reread->comment == read->comment);
        Check(reread->items.size() == read->items.size());
        for (auto item = read->items.begin(), same = reread->items.begin();
             item != read->items.end(); ++item, ++same) {
            Check(same->name == item->name && same->value == item->value &&
                  same->quoted == item->quoted && same->comment == item->comment);
        }
    }
    Check(again.ToText() == text);
    return 0;
}
