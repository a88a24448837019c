// Builds a document from puts chosen by the input, writes it, reads the text back and traps
// unless the same sections, items and values come back, and every get returns what was put.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "files/ini.h"
#include "files/ini_text.h"

namespace {

using keelsong::IniDocument;

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

// The name as look-up sees it: outer blanks gone, ASCII letters folded.
std::string Key(std::string_view name) {
    std::string key(keelsong::ini_detail::Trim(name));
    for (char& c : key) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return key;
}

enum Kind { kString, kInt, kUInt, kBoolean, kKinds };

struct Put {
    std::string section;
    std::string item;
    Kind kind;
    std::string text;
    std::int64_t number;
};

void CheckSameStructure(const IniDocument& a, const IniDocument& b) {
    Check(a.sections().size() == b.sections().size());
    for (auto sa = a.sections().begin(), sb = b.sections().begin(); sa != a.sections().end();
         ++sa, ++sb) {
        Check(sa->name == sb->name && sa->items.size() == sb->items.size());
        for (auto ia = sa->items.begin(), ib = sb->items.begin(); ia != sa->items.end();
             ++ia, ++ib) {
            Check(ia->name == ib->name && ia->value == ib->value && ia->quoted == ib->quoted);
        }
    }
}

void CheckGet(const IniDocument& document, const Put& put) {
    switch (put.kind) {
        case kString: {
            const keelsong::IniItem* item = document.FindItem(put.section, put.item);
            Check(item != nullptr && keelsong::IniUnescape(item->value) == put.text);
            std::vector<char> buffer(put.text.size() + 1, 'x');
            Check(document.GetStringIntoBuffer(put.section, put.item, buffer.data(),
                                               buffer.size()) == 1);
            Check(put.text.compare(0, std::string::npos, buffer.data(), put.text.size()) == 0);
            break;
        }
        case kInt: {
            std::int32_t value = 0;
            Check(document.GetInt(put.section, put.item, &value) == 1 && value == put.number);
            break;
        }
        case kUInt: {
            std::uint32_t value = 0;
            Check(document.GetUInt(put.section, put.item, &value) == 1 && value == put.number);
            break;
        }
        default: {
            bool value = false;
            Check(document.GetBoolean(put.section, put.item, &value) == 1 &&
                  value == (put.number != 0));
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    IniDocument document;
    std::vector<std::string> sections;
    std::map<std::pair<std::string, std::string>, Put> last_puts;

    for (int n = 0; n < 64 && input.remaining_bytes() > 0; ++n) {
        Put put;
        if (!sections.empty() && input.ConsumeBool()) {
            put.section =
                sections[input.ConsumeIntegralInRange<std::size_t>(0, sections.size() - 1)];
        } else {
            put.section = input.ConsumeRandomLengthString(300);
        }
        put.item = input.ConsumeRandomLengthString(300);
        put.kind = static_cast<Kind>(input.ConsumeIntegralInRange<int>(0, kKinds - 1));
        int result = 0;
        switch (put.kind) {
            case kString:
                put.text = input.ConsumeRandomLengthString(400);
                result = document.PutString(put.section, put.item, put.text);
                break;
            case kInt:
                put.number = input.ConsumeIntegral<std::int32_t>();
                result =
                    document.PutInt(put.section, put.item, static_cast<std::int32_t>(put.number));
                break;
            case kUInt:
                put.number = input.ConsumeIntegral<std::uint32_t>();
                result =
                    document.PutUInt(put.section, put.item, static_cast<std::uint32_t>(put.number));
                break;
            default:
                put.number = input.ConsumeBool() ? 1 : 0;
                result = document.PutBoolean(put.section, put.item, put.number != 0);
        }
        if (result == keelsong::kIniBadName) {
            continue;
        }
        Check(result == 0);
        sections.push_back(put.section);
        last_puts[{Key(put.section), Key(put.item)}] = put;
    }

    const std::string text = document.ToText();
    IniDocument back;
    Check(back.ReadFromText(text) == 0);
    CheckSameStructure(document, back);
    for (const auto& [key, put] : last_puts) {
        CheckGet(document, put);
        CheckGet(back, put);
    }
    Check(back.ToText() == text);
    return 0;
}
