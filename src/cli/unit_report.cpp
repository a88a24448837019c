#include "cli/unit_report.h"

#include <cstdio>

namespace keelsong::cli {

namespace {

std::string OrDash(std::string_view text) {
    return text.empty() ? std::string("-") : OneLine(text);
}

std::string JsonValue(const FieldValue& value) {
    if (const auto* text = std::get_if<std::string>(&value)) {
        return JsonString(*text);
    }
    if (const auto* number = std::get_if<int64_t>(&value)) {
        return std::to_string(*number);
    }
    if (const auto* json = std::get_if<JsonText>(&value)) {
        return json->json;
    }
    return std::get<bool>(value) ? "true" : "false";
}

std::string JsonTextOrNull(std::string_view text) {
    return text.empty() ? std::string("null") : JsonString(text);
}

}  // namespace

std::string FormatLine(const UnitReport& report) {
    std::string line = report.port ? std::to_string(*report.port) : std::string("-");
    line += '\t' + OrDash(report.device) + '\t' + OrDash(report.unit) + '\t';
    if (!report.ok) {
        return line + OrDash(report.failure);
    }
    line += "ok";
    if (!report.detail.empty()) {
        line += '\t' + OneLine(report.detail);
    }
    return line;
}

std::string FormatJson(const UnitReport& report) {
    std::string json = "{\"port\":";
    json += report.port ? std::to_string(*report.port) : std::string("null");
    json += ",\"device\":" + JsonTextOrNull(report.device);
    json += ",\"unit\":" + JsonTextOrNull(report.unit);
    json += ",\"status\":" + JsonString(report.ok ? std::string_view("ok") : report.failure);
    json += std::string(",\"ok\":") + (report.ok ? "true" : "false");
    if (report.ok && !report.detail.empty()) {
        json += ",\"detail\":" + JsonString(report.detail);
    }
    for (const ReportField& field : report.fields) {
        json += ',' + JsonString(field.name) + ':' + JsonValue(field.value);
    }
    return json + '}';
}

std::string OneLine(std::string_view text) {
    std::string line(text);
    for (char& c : line) {
        if (c == '\t' || c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return line;
}

std::string JsonString(std::string_view text) {
    std::string json = "\"";
    for (const char c : text) {
        switch (c) {
            case '"':
                json += "\\\"";
                break;
            case '\\':
                json += "\\\\";
                break;
            case '\n':
                json += "\\n";
                break;
            case '\r':
                json += "\\r";
                break;
            case '\t':
                json += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    json += escaped;
                } else {
                    json += c;
                }
        }
    }
    return json + '"';
}

}  // namespace keelsong::cli
