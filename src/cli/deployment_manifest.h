// A deployment manifest: which unit, by its serial number, gets which configuration file, and
// perhaps a start time of its own. A CSV file with a header line naming the columns "serial"
// and "file" (both needed) and "start" (a local "YYYY-MM-DD HH:MM"), in any order.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files/config_file_read.h"
#include "platform/platform.h"

namespace keelsong::cli {

struct ManifestLine {
    int line = 0;  // in the manifest, counting from 1 (the header)
    uint16_t serial = 0;
    std::string file;  // as written; relative to the manifest's folder
    std::optional<CalendarTime> start;
};

struct Manifest {
    std::vector<ManifestLine> units;
    // Every line that cannot be used, each "line N: why"; the manifest is used only without.
    std::vector<std::string> problems;
};

// Reads the manifest's text. Fields may be quoted ("a, b.tlk", with "" for a quote); blanks
// around a field and blank lines are ignored.
Manifest ParseManifest(std::string_view text);

// What one unit of a deployment is sent: its file, read whole, with its start time in place.
struct DeploymentFile {
    std::string path;
    ConfigFileContents contents;
};
using Deployment = std::map<uint16_t, DeploymentFile>;

struct DeploymentRead {
    Deployment units;
    std::vector<std::string> problems;
};

// Reads the manifest at `path` and every file it names (relative to the manifest's folder),
// refusing what no unit could be sent, and sets each start time given, as a local time of
// `platform`'s. Nothing of a unit is touched; every problem is told, with its line.
DeploymentRead ReadDeployment(const std::string& path, const Platform& platform);

}  // namespace keelsong::cli
