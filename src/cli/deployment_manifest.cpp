#include "cli/deployment_manifest.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

#include "cli/unit_commands.h"
#include "files/config_file.h"
#include "protocol/unit_setup.h"

namespace keelsong::cli {

namespace {

constexpr std::string_view kColumns = "serial, file, start";

std::string_view Trim(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// One line's fields; nullopt when a quote is left open.
std::optional<std::vector<std::string>> Fields(std::string_view line) {
    std::vector<std::string> fields;
    size_t at = 0;
    for (;;) {
        std::string field;
        const size_t start = at;
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) {
            ++at;
        }
        if (at < line.size() && line[at] == '"') {
            for (++at;; ++at) {
                if (at >= line.size()) {
                    return std::nullopt;
                }
                if (line[at] == '"') {
                    if (at + 1 < line.size() && line[at + 1] == '"') {
                        field += '"';
                        ++at;
                        continue;
                    }
                    ++at;
                    break;
                }
                field += line[at];
            }
            const size_t comma = line.find(',', at);
            if (!Trim(line.substr(at, comma - at)).empty()) {
                return std::nullopt;  // text after the closing quote
            }
            at = comma;
        } else {
            const size_t comma = line.find(',', start);
            field = std::string(Trim(line.substr(start, comma - start)));
            at = comma;
        }
        fields.push_back(std::move(field));
        if (at == std::string_view::npos) {
            return fields;
        }
        ++at;
    }
}

std::optional<int> Number(std::string_view text) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// "YYYY-MM-DD HH:MM", a date the calendar has and a time of day.
std::optional<CalendarTime> LocalMinute(std::string_view text) {
    if (text.size() != 16 || text[4] != '-' || text[7] != '-' || text[10] != ' ' ||
        text[13] != ':') {
        return std::nullopt;
    }
    const auto year = Number(text.substr(0, 4));
    const auto month = Number(text.substr(5, 2));
    const auto day = Number(text.substr(8, 2));
    const auto hour = Number(text.substr(11, 2));
    const auto minute = Number(text.substr(14, 2));
    if (!year || !month || !day || !hour || !minute || *month < 1 || *day < 1 || *hour > 23 ||
        *minute > 59) {
        return std::nullopt;
    }
    const std::chrono::year_month_day date{std::chrono::year(*year),
                                           std::chrono::month(static_cast<unsigned>(*month)),
                                           std::chrono::day(static_cast<unsigned>(*day))};
    if (!date.ok()) {
        return std::nullopt;
    }
    return CalendarTime{*year, *month, *day, *hour, *minute, 0};
}

std::string At(int line) {
    return "line " + std::to_string(line) + ": ";
}

// The line a problem names; 0 for one about the whole manifest.
int LineOf(std::string_view problem) {
    constexpr std::string_view kLine = "line ";
    if (!problem.starts_with(kLine)) {
        return 0;
    }
    problem.remove_prefix(kLine.size());
    return Number(problem.substr(0, problem.find(':'))).value_or(0);
}

struct Header {
    int serial = -1;
    int file = -1;
    int start = -1;
    size_t width = 0;
};

Header ReadHeader(const std::vector<std::string>& names, int line,
                  std::vector<std::string>& problems) {
    Header header;
    header.width = names.size();
    for (size_t k = 0; k < names.size(); ++k) {
        std::string name = names[k];
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        int* column = name == "serial"  ? &header.serial
                      : name == "file"  ? &header.file
                      : name == "start" ? &header.start
                                        : nullptr;
        if (!column) {
            problems.push_back(At(line) + "unknown column \"" + names[k] + "\" (the columns are " +
                               std::string(kColumns) + ")");
        } else if (*column >= 0) {
            problems.push_back(At(line) + "the column \"" + names[k] + "\" stands twice");
        } else {
            *column = static_cast<int>(k);
        }
    }
    for (const auto& [column, name] : {std::pair{header.serial, "serial"}, {header.file, "file"}}) {
        if (column < 0) {
            problems.push_back(At(line) + "no \"" + name + "\" column");
        }
    }
    return header;
}

}  // namespace

Manifest ParseManifest(std::string_view text) {
    Manifest manifest;
    std::optional<Header> header;
    std::map<uint16_t, int> first_line;
    int number = 0;
    std::istringstream stream{std::string(text)};
    for (std::string line; std::getline(stream, line);) {
        ++number;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (Trim(line).empty()) {
            continue;
        }
        const std::optional<std::vector<std::string>> fields = Fields(line);
        if (!fields) {
            manifest.problems.push_back(At(number) + "a quote is not closed");
            continue;
        }
        if (!header) {
            header = ReadHeader(*fields, number, manifest.problems);
            continue;
        }
        if (header->serial < 0 || header->file < 0) {
            continue;  // told once, on the header's line
        }
        if (fields->size() != header->width) {
            manifest.problems.push_back(At(number) + std::to_string(fields->size()) +
                                        " fields where the header has " +
                                        std::to_string(header->width));
            continue;
        }
        ManifestLine unit;
        unit.line = number;
        const std::string& serial = (*fields)[static_cast<size_t>(header->serial)];
        const std::optional<int> value = Number(serial);
        if (!value || *value < 0 || *value > 0xFFFF) {
            manifest.problems.push_back(At(number) + "serial \"" + serial +
                                        "\" is not a serial number 0-65535");
        } else if (const auto [seen, fresh] = first_line.emplace(*value, number); !fresh) {
            manifest.problems.push_back(At(number) + "serial " + serial + " again (first on line " +
                                        std::to_string(seen->second) + ")");
        } else {
            unit.serial = static_cast<uint16_t>(*value);
        }
        unit.file = (*fields)[static_cast<size_t>(header->file)];
        if (unit.file.empty()) {
            manifest.problems.push_back(At(number) + "no file");
        }
        if (header->start >= 0) {
            const std::string& start = (*fields)[static_cast<size_t>(header->start)];
            if (!start.empty() && !(unit.start = LocalMinute(start))) {
                manifest.problems.push_back(At(number) + "start \"" + start +
                                            "\" is not a local date and time YYYY-MM-DD HH:MM");
            }
        }
        manifest.units.push_back(std::move(unit));
    }
    if (!header) {
        manifest.problems.push_back("the manifest is empty: it needs a header line (" +
                                    std::string(kColumns) + ") and a line per unit");
    }
    return manifest;
}

DeploymentRead ReadDeployment(const std::string& path, const Platform& platform) {
    namespace fs = std::filesystem;
    DeploymentRead read;
    std::error_code error;
    if (!fs::is_regular_file(path, error)) {
        read.problems.push_back(path + ": " +
                                (fs::exists(path, error) ? "not a file" : "no such file"));
        return read;
    }
    std::ifstream stream(path, std::ios::binary);
    std::ostringstream text;
    text << stream.rdbuf();
    if (!stream) {
        read.problems.push_back(path + ": cannot be read");
        return read;
    }
    Manifest manifest = ParseManifest(text.str());
    read.problems = std::move(manifest.problems);
    const fs::path folder = fs::path(path).parent_path();
    for (const ManifestLine& unit : manifest.units) {
        if (unit.file.empty()) {
            continue;
        }
        const std::string file = (folder / unit.file).lexically_normal().string();
        ConfigFileRead contents = ReadConfigurationFile(file);
        const std::optional<std::string> refusal =
            contents.contents ? RefusedForEveryUnit(*contents.contents) : contents.failure;
        if (refusal) {
            read.problems.push_back(At(unit.line) + file + ": " + *refusal);
            continue;
        }
        if (unit.start) {
            const std::optional<int64_t> utc = platform.FromLocal(*unit.start);
            if (!utc || *utc <= 0 || *utc > std::numeric_limits<int32_t>::max()) {
                read.problems.push_back(At(unit.line) +
                                        "the start is no time a unit can hold here");
                continue;
            }
            SetConfigSetupField(contents.contents->setup, setup_tag::kStartTime,
                                static_cast<uint32_t>(*utc));
        }
        read.units[unit.serial] = {file, std::move(*contents.contents)};
    }
    // In the manifest's order, whichever check found them.
    std::stable_sort(
        read.problems.begin(), read.problems.end(),
        [](const std::string& a, const std::string& b) { return LineOf(a) < LineOf(b); });
    if (read.problems.empty() && read.units.empty()) {
        read.problems.push_back(path + ": names no unit");
    }
    return read;
}

}  // namespace keelsong::cli
