#include "platform/port_directory.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace keelsong {

namespace {

std::vector<std::string> DevicesWithPrefix(const std::string& folder, const std::string& prefix) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (!dir) {
        return names;
    }
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0) {
            names.push_back(name);
        }
    }
    closedir(dir);
    std::sort(names.begin(), names.end(), NaturalLess);
    for (std::string& name : names) {
        name = folder + "/" + name;
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
    std::vector<std::string> devices = DevicesWithPrefix(device_folder_, "ttyACM");
    std::vector<std::string> usb = DevicesWithPrefix(device_folder_, "ttyUSB");
    devices.insert(devices.end(), usb.begin(), usb.end());
    return devices;
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
