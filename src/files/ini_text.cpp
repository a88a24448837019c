#include "files/ini_text.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace keelsong {

namespace {

unsigned char FoldCase(char c) {
    auto byte = static_cast<unsigned char>(c);
    return byte >= 'A' && byte <= 'Z' ? byte - 'A' + 'a' : byte;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

}  // namespace

int IniCompareNames(std::string_view a, std::string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const unsigned char ca = FoldCase(a[i]);
        const unsigned char cb = FoldCase(b[i]);
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
    }
    if (a.size() == b.size()) {
        return 0;
    }
    return a.size() < b.size() ? -1 : 1;
}

std::string IniEscape(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size() + text.size() / 8 + 2);
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                // A raw NUL would end the line when read back, so it is escaped like the others.
                if (byte < 0x20 || byte == 0x7F) {
                    out += "\\x";
                    out += kHex[byte >> 4];
                    out += kHex[byte & 0x0F];
                } else {
                    out += c;
                }
        }
    }
    return out;
}

std::string IniUnescape(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\') {
            out += value[i];
            continue;
        }
        if (++i == value.size()) {
            break;  // a lone backslash at the very end stands for nothing
        }
        switch (value[i]) {
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'x':
                if (i + 2 < value.size() && HexDigitValue(value[i + 1]) >= 0 &&
                    HexDigitValue(value[i + 2]) >= 0) {
                    out += static_cast<char>(HexDigitValue(value[i + 1]) * 16 +
                                             HexDigitValue(value[i + 2]));
                    i += 2;
                } else {
                    out += 'x';  // not a byte escape: the x stands for itself
                }
                break;
            default:
                out += value[i];
        }
    }
    return out;
}

namespace ini_detail {

namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
constexpr std::string_view kPieceMark = " Line";
constexpr std::string_view kLineEnd = "\r\n";

std::string_view TrimRight(std::string_view text) {
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

bool IsAllBlank(std::string_view text) {
    return std::all_of(text.begin(), text.end(), IsBlank);
}

// Pieces of one long value: a piece numbered 1 and the pieces numbered otherwise that follow it
// directly. Their order is taken as it stands.
void JoinPieces(std::vector<IniItem>& items) {
    std::vector<IniItem> joined;
    joined.reserve(items.size());
    for (std::size_t i = 0; i < items.size();) {
        std::string_view base;
        if (PieceNumber(items[i].name, &base) != 1) {
            joined.push_back(std::move(items[i]));
            ++i;
            continue;
        }
        std::string name(base);  // base views the name about to be moved from
        IniItem whole = std::move(items[i]);
        whole.name = std::move(name);
        std::size_t next = i + 1;
        for (; next < items.size(); ++next) {
            const long long number = PieceNumber(items[next].name, nullptr);
            if (number < 0 || number == 1) {
                break;
            }
            whole.value += items[next].value;
        }
        joined.push_back(std::move(whole));
        i = next;
    }
    items = std::move(joined);
}

void AppendItemLine(std::string& out, std::string_view name, std::string_view suffix,
                    std::string_view value, bool quoted) {
    out += name;
    out += suffix;
    out += " = ";
    if (quoted) {
        out += '"';
    }
    out += value;
    if (quoted) {
        out += '"';
    }
    out += kLineEnd;
}

}  // namespace

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    return TrimRight(text);
}

long long PieceNumber(std::string_view name, std::string_view* base) {
    std::size_t digits = name.size();
    while (digits > 0 && IsDigit(name[digits - 1])) {
        --digits;
    }
    const std::string_view head = name.substr(0, digits);
    if (digits == name.size() || !head.ends_with(kPieceMark)) {
        return -1;
    }
    const std::string_view stem = Trim(head.substr(0, head.size() - kPieceMark.size()));
    if (stem.empty()) {
        return -1;
    }
    long long number = 0;
    for (const char c : name.substr(digits)) {
        number = number * 10 + (c - '0');
        if (number > INT32_MAX) {
            return -1;
        }
    }
    if (base != nullptr) {
        *base = stem;
    }
    return number;
}

void TextReader::Feed(std::string_view bytes) {
    // An editor's UTF-8 byte-order mark would otherwise hide the "[" of the first header.
    while (!bom_decided_ && !bytes.empty()) {
        if (bytes.front() != kByteOrderMark[bom_matched_]) {
            bom_decided_ = true;
            FeedLines(std::string_view(kByteOrderMark, bom_matched_));
            break;
        }
        bytes.remove_prefix(1);
        bom_decided_ = ++bom_matched_ == 3;
    }
    FeedLines(bytes);
}

void TextReader::FeedLines(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const char c = bytes[i];
        if (c == '\n' || c == '\r' || c == '\0') {
            // CR LF and LF CR are one line end each; CR CR or LF LF are two.
            const bool second_half =
                (c == '\n' && last_line_end_ == '\r') || (c == '\r' && last_line_end_ == '\n');
            if (second_half) {
                last_line_end_ = 0;
            } else {
                EndLine();
                last_line_end_ = c == '\0' ? 0 : c;
            }
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < bytes.size() && bytes[end] != '\n' && bytes[end] != '\r' &&
               bytes[end] != '\0') {
            ++end;
        }
        // Only the head of an overlong line is kept; the rest is consumed and dropped.
        const std::size_t room = kIniMaxLineLength - line_.size();
        line_.append(bytes.data() + i, std::min(room, end - i));
        in_line_ = true;
        last_line_end_ = 0;
        i = end;
    }
}

void TextReader::EndLine() {
    ProcessLine(line_);
    line_.clear();
    in_line_ = false;
}

void TextReader::AppendComment(std::string_view line) {
    if (!pending_comment_.empty()) {
        pending_comment_ += kLineEnd;
    }
    pending_comment_ += line;
}

void TextReader::OnOtherLine() {
    if (sections_.empty() && document_.header_comment_.empty() && !pending_comment_.empty()) {
        document_.header_comment_ = std::move(pending_comment_);
        pending_comment_.clear();
    }
}

void TextReader::ProcessLine(std::string_view line) {
    std::size_t start = 0;
    while (start < line.size() && IsBlank(line[start])) {
        ++start;
    }
    const std::string_view text = line.substr(start);
    if (text.empty()) {
        OnOtherLine();
        return;
    }
    if (text.front() == ';') {
        AppendComment(line);
        return;
    }
    if (text.front() == '[') {
        const std::size_t close = text.rfind(']');
        if (close == std::string_view::npos || !IsAllBlank(text.substr(close + 1))) {
            OnOtherLine();
            return;
        }
        const std::string_view name = Trim(text.substr(1, close - 1));
        if (name.empty()) {
            OnOtherLine();
            return;
        }
        sections_.push_back(Section{std::string(name), std::move(pending_comment_), {}});
        pending_comment_.clear();
        return;
    }
    const std::size_t separator = text.find('=');
    if (separator == std::string_view::npos) {
        OnOtherLine();
        return;
    }
    const std::string_view name = TrimRight(text.substr(0, separator));
    std::string_view value = Trim(text.substr(separator + 1));
    if (name.empty() || value.empty()) {
        OnOtherLine();
        return;
    }
    if (sections_.empty()) {
        pending_comment_.clear();  // an item outside any section goes, and its comment with it
        return;
    }
    const bool quoted = value.size() >= 2 && value.front() == '"' && value.back() == '"';
    if (quoted) {
        value = value.substr(1, value.size() - 2);
    }
    sections_.back().items.push_back(
        IniItem{std::string(name), std::string(value), quoted, std::move(pending_comment_)});
    pending_comment_.clear();
}

void TextReader::Finish() {
    if (!bom_decided_) {
        bom_decided_ = true;
        FeedLines(std::string_view(kByteOrderMark, bom_matched_));
    }
    if (in_line_) {
        EndLine();
    }
    if (!pending_comment_.empty() && document_.trailing_comment_.empty()) {
        document_.trailing_comment_ = std::move(pending_comment_);
    }
    pending_comment_.clear();
    for (Section& read : sections_) {
        JoinPieces(read.items);
        IniSection& section = document_.sections_.Insert(
            IniSection{std::move(read.name), std::move(read.comment), {}}, document_.sorted_);
        for (IniItem& item : read.items) {
            section.items.Insert(std::move(item), document_.sorted_);
        }
    }
    sections_.clear();
}

std::string FormatText(const IniDocument& document) {
    std::string out;
    auto line = [&out](std::string_view text) {
        out += text;
        out += kLineEnd;
    };
    if (!document.header_comment().empty()) {
        line(document.header_comment());
        line("");
    }
    for (const IniSection& section : document.sections()) {
        if (!section.comment.empty()) {
            line(section.comment);
        }
        out += '[';
        out += section.name;
        line("]");
        for (const IniItem& item : section.items) {
            if (!item.comment.empty()) {
                line(item.comment);
            }
            const std::string_view value = item.value;
            if (value.size() <= kIniMaxValueLineLength) {
                AppendItemLine(out, item.name, "", value, item.quoted);
                continue;
            }
            std::size_t number = 1;
            for (std::size_t at = 0; at < value.size(); at += kIniMaxValueLineLength, ++number) {
                char suffix[32];
                std::snprintf(suffix, sizeof suffix, " Line%04zu", number);
                AppendItemLine(out, item.name, suffix, value.substr(at, kIniMaxValueLineLength),
                               item.quoted);
            }
        }
        line("");
    }
    if (!document.trailing_comment().empty()) {
        line(document.trailing_comment());
    }
    return out;
}

}  // namespace ini_detail
}  // namespace keelsong
