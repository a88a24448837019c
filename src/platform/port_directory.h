#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/serial_port.h"

namespace keelsong {

// Turns the program's port numbers into devices. Port N is the entry "COM<N>" in the folder
// ports/ beside Keelsong.ini when there is one (usually a link such as COM3 -> /dev/ttyUSB0,
// or a simulated unit's terminal). Otherwise N counts the machine's USB serial devices,
// /dev/ttyACM* then /dev/ttyUSB*, each in natural order, from 1.
class PortDirectory {
  public:
    explicit PortDirectory(std::string settings_folder, std::string device_folder = "/dev")
        : settings_folder_(std::move(settings_folder)), device_folder_(std::move(device_folder)) {}

    struct Resolution {
        std::string path;        // what to open
        bool from_ports_folder;  // named by a ports/COM<N> entry
    };

    // The device for port `number`, or nullopt when nothing stands behind it.
    std::optional<Resolution> Resolve(int number) const;

    // For people: "/dev/ttyUSB0", "ports/COM3 -> /dev/pts/4", or "no device".
    std::string Describe(int number) const;

    // The device behind port `number` with every link followed, the same for a ports/ entry and
    // the counted device it points at; empty when nothing stands behind the number.
    std::string DeviceIdentity(int number) const;

    // The device behind port `number` under the name that stays with it across replugging: the
    // link in <device folder>/serial/by-id that reaches it when there is one, else the device
    // with every link followed; empty when nothing stands behind the number.
    std::string StableName(int number) const;
    // The same for a device given by its path.
    std::string StableNameOf(const std::string& device) const;
    // Every device that a port number reaches now, each once under its lowest number: one
    // listing of ports/ and of the device folder, and a stat of each device found.
    std::vector<PresentPort> PresentPorts() const;

    // The USB serial devices in the order that numbers them.
    std::vector<std::string> UsbSerialDevices() const;

    std::string PortsFolder() const { return settings_folder_ + "/ports"; }

  private:
    std::string settings_folder_;
    std::string device_folder_;
};

// Natural order: "ttyUSB2" before "ttyUSB10".
bool NaturalLess(const std::string& a, const std::string& b);

}  // namespace keelsong
