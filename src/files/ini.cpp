#include "files/ini.h"

#include <algorithm>
#include <new>

#include "files/ini_text.h"

namespace keelsong {

namespace {

using ini_detail::IsBlank;
using ini_detail::Trim;

// The longest item name whose longest line, a quoted full piece numbered with ten digits
// ("<name> Line<n> = "<80>""), still fits the line length that reading keeps.
constexpr std::size_t kMaxItemNameLength =
    kIniMaxLineLength - 5 - 10 - 3 - 2 - kIniMaxValueLineLength;

bool HasLineBreak(std::string_view name) {
    return name.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

bool IsWritableSectionName(std::string_view name) {
    return !name.empty() && name.size() + 2 <= kIniMaxLineLength && !HasLineBreak(name);
}

bool IsWritableItemName(std::string_view name) {
    return !name.empty() && name.size() <= kMaxItemNameLength && !HasLineBreak(name) &&
           name.find('=') == std::string_view::npos && name.front() != ';' && name.front() != '[' &&
           ini_detail::PieceNumber(name, nullptr) < 0;
}

enum class Parsed { kBlank, kBad, kNumber };

// Optional blanks, at most one sign directly followed by decimal digits, optional blanks.
// The magnitude saturates just above the unsigned 32-bit range, which is enough to reject it.
Parsed ParseDecimal(std::string_view text, bool* negative, std::uint64_t* magnitude) {
    if (Trim(text).empty()) {
        return Parsed::kBlank;
    }
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    *negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        *negative = text[i] == '-';
        ++i;
    }
    const std::size_t digits_start = i;
    std::uint64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = std::min<std::uint64_t>(value * 10 + static_cast<unsigned>(text[i] - '0'),
                                        std::uint64_t{UINT32_MAX} + 1);
    }
    if (i == digits_start) {
        return Parsed::kBad;
    }
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    if (i != text.size()) {
        return Parsed::kBad;
    }
    *magnitude = value;
    return Parsed::kNumber;
}

}  // namespace

int IniDocument::ReadFromText(std::string_view bytes) {
    try {
        ini_detail::TextReader reader(*this);
        reader.Feed(bytes);
        reader.Finish();
        return 0;
    } catch (const std::bad_alloc&) {
        return kIniOutOfMemory;
    }
}

std::string IniDocument::ToText() const {
    return ini_detail::FormatText(*this);
}

const IniSection* IniDocument::FindSection(std::string_view name) const {
    return sections_.Find(Trim(name));
}

const IniItem* IniDocument::FindItem(std::string_view section, std::string_view item) const {
    const IniSection* found = FindSection(section);
    return found == nullptr ? nullptr : found->items.Find(Trim(item));
}

int IniDocument::Put(std::string_view section, std::string_view item, std::string value,
                     bool quoted) {
    section = Trim(section);
    item = Trim(item);
    if (!IsWritableSectionName(section) || !IsWritableItemName(item)) {
        return kIniBadName;
    }
    try {
        IniSection* target = sections_.Find(section);
        if (target == nullptr) {
            target = &sections_.Insert(IniSection{std::string(section), {}, {}}, sorted_);
        }
        target->items.Erase(item);
        target->items.Insert(IniItem{std::string(item), std::move(value), quoted, {}}, sorted_);
        return 0;
    } catch (const std::bad_alloc&) {
        return kIniOutOfMemory;
    }
}

int IniDocument::PutInt(std::string_view section, std::string_view item, std::int32_t value) {
    try {
        return Put(section, item, std::to_string(value), false);
    } catch (const std::bad_alloc&) {
        return kIniOutOfMemory;
    }
}

int IniDocument::PutUInt(std::string_view section, std::string_view item, std::uint32_t value) {
    try {
        return Put(section, item, std::to_string(value), false);
    } catch (const std::bad_alloc&) {
        return kIniOutOfMemory;
    }
}

int IniDocument::PutBoolean(std::string_view section, std::string_view item, bool value) {
    try {
        return Put(section, item, value ? "True" : "False", false);
    } catch (const std::bad_alloc&) {
        return kIniOutOfMemory;
    }
}

int IniDocument::PutString(std::string_view section, std::string_view item, std::string_view text) {
    try {
        return Put(section, item, IniEscape(text), true);
    } catch (const std::bad_alloc&) {
        return kIniOutOfMemory;
    }
}

int IniDocument::PutPlainString(std::string_view section, std::string_view item,
                                std::string_view text) {
    const bool plain = !text.empty() && text.front() != ' ' && text.back() != ' ' &&
                       std::all_of(text.begin(), text.end(), [](char c) {
                           return c >= 0x20 && c < 0x7F && c != '"' && c != '\\' && c != ';';
                       });
    if (!plain) {
        return PutString(section, item, text);
    }
    try {
        return Put(section, item, std::string(text), false);
    } catch (const std::bad_alloc&) {
        return kIniOutOfMemory;
    }
}

int IniDocument::GetStringIntoBuffer(std::string_view section, std::string_view item, char* buffer,
                                     std::size_t size) const {
    if (buffer == nullptr || size == 0) {
        return kIniMissingArgument;
    }
    buffer[0] = '\0';
    const IniItem* found = FindItem(section, item);
    if (found == nullptr) {
        return 0;
    }
    try {
        const std::string text = IniUnescape(found->value);
        const std::size_t length = std::min(text.size(), size - 1);
        text.copy(buffer, length);
        buffer[length] = '\0';
        return 1;
    } catch (const std::bad_alloc&) {
        return kIniOutOfMemory;
    }
}

int IniDocument::GetNumber(std::string_view section, std::string_view item, int bad_value,
                           bool* negative, std::uint64_t* magnitude) const {
    const IniItem* found = FindItem(section, item);
    if (found == nullptr) {
        return 0;
    }
    switch (ParseDecimal(found->value, negative, magnitude)) {
        case Parsed::kBlank:
            return 0;
        case Parsed::kBad:
            return bad_value;
        case Parsed::kNumber:
            break;
    }
    return 1;
}

int IniDocument::GetInt(std::string_view section, std::string_view item,
                        std::int32_t* value) const {
    if (value == nullptr) {
        return kIniMissingArgument;
    }
    bool negative = false;
    std::uint64_t magnitude = 0;
    if (const int found = GetNumber(section, item, kIniBadInt, &negative, &magnitude); found != 1) {
        return found;
    }
    const std::uint64_t limit = negative ? std::uint64_t{INT32_MAX} + 1 : INT32_MAX;
    if (magnitude > limit) {
        return kIniBadInt;
    }
    const auto signed_magnitude = static_cast<std::int64_t>(magnitude);
    *value = static_cast<std::int32_t>(negative ? -signed_magnitude : signed_magnitude);
    return 1;
}

int IniDocument::GetUInt(std::string_view section, std::string_view item,
                         std::uint32_t* value) const {
    if (value == nullptr) {
        return kIniMissingArgument;
    }
    bool negative = false;
    std::uint64_t magnitude = 0;
    if (const int found = GetNumber(section, item, kIniBadUInt, &negative, &magnitude);
        found != 1) {
        return found;
    }
    if (negative || magnitude > UINT32_MAX) {
        return kIniBadUInt;
    }
    *value = static_cast<std::uint32_t>(magnitude);
    return 1;
}

int IniDocument::GetBoolean(std::string_view section, std::string_view item, bool* value) const {
    if (value == nullptr) {
        return kIniMissingArgument;
    }
    const IniItem* found = FindItem(section, item);
    if (found == nullptr || Trim(found->value).empty()) {
        return 0;
    }
    if (IniCompareNames(found->value, "True") == 0) {
        *value = true;
        return 1;
    }
    if (IniCompareNames(found->value, "False") == 0) {
        *value = false;
        return 1;
    }
    return kIniBadBoolean;
}

std::unique_ptr<IniDocument> Ini_New(int sorted) {
    return std::unique_ptr<IniDocument>(new (std::nothrow) IniDocument(sorted != 0));
}

}  // namespace keelsong
