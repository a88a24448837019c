#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace keelsong::cli {

// A value already in JSON (a list, an object), put into --json's object as it stands.
struct JsonText {
    std::string json;
    bool operator==(const JsonText&) const = default;
};

// A value the command read from a unit: a text, a number, a yes/no, or JSON of its own.
using FieldValue = std::variant<std::string, int64_t, bool, JsonText>;
struct ReportField {
    std::string name;
    FieldValue value;
};

// What one unit came to.
struct UnitReport {
    std::optional<int> port;  // none for a unit given by its device, or one that was not found
    std::string device;       // empty when there is none
    std::string unit;         // the identity line; empty until an enquiry succeeded
    bool ok = false;
    std::string failure;  // the message of the step that failed
    std::string detail;   // on success, what the command did or read, for people; may be empty
    std::vector<ReportField> fields;  // what the command read, for --json
    // What went wrong beside the unit's operation (a service history record not written), for
    // standard error.
    std::vector<std::string> warnings;
    // ok, yet what it found fails the exit status (check: a difference or a warning).
    bool attention = false;
};

// The report's field `name` as a T; nullopt when it has none of that kind.
template <class T>
std::optional<T> FieldOf(const UnitReport& report, std::string_view name) {
    for (const ReportField& field : report.fields) {
        if (field.name == name) {
            const T* typed = std::get_if<T>(&field.value);
            return typed ? std::optional<T>(*typed) : std::nullopt;
        }
    }
    return std::nullopt;
}

// Tab-separated: port ("-" for none), device, unit (each "-" when empty), then "ok" and the
// detail when there is one, or the failure. Tabs and line ends inside a field become blanks,
// so that the line stays one line of the same fields.
std::string FormatLine(const UnitReport& report);

// One JSON object on one line: port (null for none), device and unit (null when empty),
// status ("ok" or the failure), ok, detail when there is one, then the fields.
std::string FormatJson(const UnitReport& report);

// The text with its tabs and line ends made blanks: one field of a tab-separated line.
std::string OneLine(std::string_view text);

// A JSON string literal, quotes included.
std::string JsonString(std::string_view text);

}  // namespace keelsong::cli
