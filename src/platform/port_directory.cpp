#include "platform/port_directory.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>

namespace keelsong {

namespace {

// The entries of `folder` that start with each prefix, each group in natural order, the groups
// in the order of the prefixes: one listing of the folder.
std::vector<std::string> DevicesWithPrefixes(const std::string& folder,
                                             const std::vector<std::string>& prefixes) {
    std::vector<std::vector<std::string>> groups(prefixes.size());
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            for (size_t i = 0; i < prefixes.size(); ++i) {
                if (name.size() > prefixes[i].size() && name.starts_with(prefixes[i])) {
                    groups[i].push_back(folder + "/" + name);
                    break;
                }
            }
        }
        closedir(dir);
    }
    std::vector<std::string> names;
    for (std::vector<std::string>& group : groups) {
        std::sort(group.begin(), group.end(), NaturalLess);
        names.insert(names.end(), group.begin(), group.end());
    }
    return names;
}

std::optional<std::string> LinkTarget(const std::string& path) {
    std::string target(4096, '\0');
    const ssize_t n = readlink(path.c_str(), target.data(), target.size());
    if (n <= 0) {
        return std::nullopt;
    }
    target.resize(static_cast<size_t>(n));
    return target;
}

// The number N of an entry named "COM<N>" as Resolve spells it, or 0.
int ComEntryNumber(const std::string& name) {
    if (name.size() < 4 || name.size() > 12 || name.compare(0, 3, "COM") != 0 || name[3] == '0') {
        return 0;
    }
    int number = 0;
    for (size_t i = 3; i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i]))) {
            return 0;
        }
        number = number * 10 + (name[i] - '0');
        if (number > 1'000'000) {
            return 0;
        }
    }
    return number;
}

}  // namespace

bool NaturalLess(const std::string& a, const std::string& b) {
    size_t i = 0;
    size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const bool digit_a = std::isdigit(static_cast<unsigned char>(a[i])) != 0;
        const bool digit_b = std::isdigit(static_cast<unsigned char>(b[j])) != 0;
        if (digit_a && digit_b) {
            size_t end_a = i;
            size_t end_b = j;
            while (end_a < a.size() && std::isdigit(static_cast<unsigned char>(a[end_a])))
                ++end_a;
            while (end_b < b.size() && std::isdigit(static_cast<unsigned char>(b[end_b])))
                ++end_b;
            // Compare the numbers by value without converting: strip leading zeros, then length.
            size_t start_a = i;
            size_t start_b = j;
            while (start_a + 1 < end_a && a[start_a] == '0')
                ++start_a;
            while (start_b + 1 < end_b && b[start_b] == '0')
                ++start_b;
            const size_t len_a = end_a - start_a;
            const size_t len_b = end_b - start_b;
            if (len_a != len_b) {
                return len_a < len_b;
            }
            const int cmp = a.compare(start_a, len_a, b, start_b, len_b);
            if (cmp != 0) {
                return cmp < 0;
            }
            i = end_a;
            j = end_b;
        } else {
            if (a[i] != b[j]) {
                return a[i] < b[j];
            }
            ++i;
            ++j;
        }
    }
    return a.size() - i < b.size() - j;
}

std::vector<std::string> PortDirectory::UsbSerialDevices() const {
    return DevicesWithPrefixes(device_folder_, {"ttyACM", "ttyUSB"});
}

std::vector<PresentPort> PortDirectory::PresentPorts() const {
    // A ports/ entry takes its number from the devices counted, even when it leads nowhere.
    std::map<int, std::string> paths;
    if (DIR* dir = opendir(PortsFolder().c_str())) {
        while (const dirent* entry = readdir(dir)) {
            if (const int number = ComEntryNumber(entry->d_name); number > 0) {
                paths[number] = PortsFolder() + "/" + entry->d_name;
            }
        }
        closedir(dir);
    }
    const std::vector<std::string> counted = UsbSerialDevices();
    for (size_t i = 0; i < counted.size(); ++i) {
        paths.try_emplace(static_cast<int>(i) + 1, counted[i]);
    }

    std::vector<PresentPort> present;
    std::set<std::string> seen;
    for (const auto& [number, path] : paths) {
        struct stat info {};
        char device[PATH_MAX];
        if (stat(path.c_str(), &info) != 0 || !realpath(path.c_str(), device) ||
            !seen.insert(device).second) {
            continue;
        }
        present.push_back(PresentPort{
            number, device, static_cast<uint64_t>(info.st_rdev), static_cast<uint64_t>(info.st_ino),
            int64_t{info.st_ctim.tv_sec} * 1'000'000'000 + info.st_ctim.tv_nsec});
    }
    return present;
}

std::optional<PortDirectory::Resolution> PortDirectory::Resolve(int number) const {
    if (number < 1) {
        return std::nullopt;
    }
    const std::string entry = PortsFolder() + "/COM" + std::to_string(number);
    struct stat info {};
    if (lstat(entry.c_str(), &info) == 0) {
        return Resolution{entry, true};
    }
    const std::vector<std::string> devices = UsbSerialDevices();
    if (static_cast<size_t>(number) <= devices.size()) {
        return Resolution{devices[static_cast<size_t>(number) - 1], false};
    }
    return std::nullopt;
}

std::string PortDirectory::DeviceIdentity(int number) const {
    const std::optional<Resolution> resolved = Resolve(number);
    if (!resolved) {
        return {};
    }
    std::error_code error;
    const std::filesystem::path device = std::filesystem::canonical(resolved->path, error);
    return error ? std::string{} : device.string();
}

std::string PortDirectory::StableName(int number) const {
    const std::optional<Resolution> resolved = Resolve(number);
    return resolved ? StableNameOf(resolved->path) : std::string{};
}

std::string PortDirectory::StableNameOf(const std::string& device) const {
    std::error_code error;
    const std::filesystem::path target = std::filesystem::canonical(device, error);
    if (error) {
        return {};
    }
    // The names udev gives a USB serial device from its maker, model and serial number.
    std::vector<std::string> links;
    const std::filesystem::path by_id = std::filesystem::path(device_folder_) / "serial" / "by-id";
    for (std::filesystem::directory_iterator it(by_id, error), end; !error && it != end;
         it.increment(error)) {
        links.push_back(it->path().string());
    }
    std::sort(links.begin(), links.end());
    for (const std::string& link : links) {
        std::error_code link_error;
        if (std::filesystem::canonical(link, link_error) == target && !link_error) {
            return link;
        }
    }
    return target.string();
}

std::string PortDirectory::Describe(int number) const {
    const std::optional<Resolution> resolved = Resolve(number);
    if (!resolved) {
        return "no device";
    }
    if (!resolved->from_ports_folder) {
        return resolved->path;
    }
    const std::string name = "ports/COM" + std::to_string(number);
    const std::optional<std::string> target = LinkTarget(resolved->path);
    return target ? name + " -> " + *target : name;
}

}  // namespace keelsong
