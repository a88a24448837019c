#include "platform/serial_port.h"

namespace keelsong {

std::string SerialErrorText(int code) {
    switch (code) {
        case kSerialNoDevice:
            return "No serial device behind this port number";
        case kSerialNotOpen:
            return "The port is not open";
        case kSerialDeviceGone:
            return "The serial device has gone (unplugged?)";
        case kSerialBusy:
            return "The port is busy: another program is using it";
        case kSerialPermissionDenied:
            return "Permission denied: add your user to the 'dialout' group "
                   "(sudo usermod -aG dialout $USER), then log in again";
        case kSerialConfigFailed:
            return "The device refused the serial line settings";
        case kSerialIoError:
            return "Serial port input/output error";
        default:
            return code < 0 ? "Serial port error" : std::string{};
    }
}

}  // namespace keelsong
