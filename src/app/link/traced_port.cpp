#include "app/link/traced_port.h"

#include <algorithm>

namespace keelsong {

namespace {

bool Holds(const std::vector<PresentPort>& ports, const PresentPort& port) {
    return std::find(ports.begin(), ports.end(), port) != ports.end();
}

}  // namespace

void TracedPort::SetTrace(FrameTrace* trace) {
    trace_ = trace;
    listed_.reset();
}

void TracedPort::Note(const std::string& text) const {
    if (trace_) {
        trace_->Note(text);
    }
}

int TracedPort::Open(int port_number) {
    if (port_.IsOpen()) {
        Close();
    }
    const int result = port_.Open(port_number);
    const std::string port = "port " + std::to_string(port_number);
    if (result != 0) {
        Note(port + " not opened: " + port_.ExplainOpenFailure(port_number, result));
        return result;
    }
    number_ = port_number;
    device_ = port_.DescribePort(port_number);
    Note(port + " opened: " + device_);
    return result;
}

void TracedPort::Close() {
    if (port_.IsOpen()) {
        port_.Close();
        Note("port " + std::to_string(number_) + " closed");
    }
}

void TracedPort::CloseLost() {
    if (port_.IsOpen()) {
        port_.Close();
        Note("port " + std::to_string(number_) + " closed: its device " + device_ +
             " went away (unplugged or hung up)");
    }
}

std::vector<PresentPort> TracedPort::PresentPorts() const {
    std::vector<PresentPort> present = port_.PresentPorts();
    if (!trace_) {
        return present;
    }
    if (listed_) {
        for (const PresentPort& gone : *listed_) {
            if (!Holds(present, gone)) {
                Note("port " + std::to_string(gone.number) + " device vanished: " + gone.device);
            }
        }
        for (const PresentPort& come : present) {
            if (!Holds(*listed_, come)) {
                Note("port " + std::to_string(come.number) +
                     " device appeared: " + port_.DescribePort(come.number));
            }
        }
    }
    listed_ = present;
    return present;
}

}  // namespace keelsong
