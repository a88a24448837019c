#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/line_file.h"
#include "platform/serial_port.h"
#include "protocol/trace_line.h"

namespace keelsong {

// Where the serial link tells what went over the line: one record for every frame written and
// for every response read or failed, as it happens, and a note for whatever befell the serial
// device (opened, closed, gone). Called in the middle of a transaction, so a trace must be
// quick and must not call back into the program. One trace may serve several links, each on a
// thread of its own.
class FrameTrace {
  public:
    virtual ~FrameTrace() = default;
    virtual void Record(const FrameRecord& record) = 0;
    virtual void Note(std::string_view text) = 0;
};

// Who writes a trace and on what, for its header: a trace sent with a bug report has to say
// which program, which release, how it was started and which devices it saw.
struct TraceOrigin {
    std::string program;                    // "keelsong"
    std::string version;                    // "0.1.0"
    std::vector<std::string> command_line;  // as started, the program first; empty if unknown
    std::vector<std::string> devices;       // "port 3: ports/COM3 -> /dev/pts/4", one each
};

// "port 3: ports/COM3 -> /dev/pts/4" for each of `numbers`; for every port that a device
// stands behind now when `numbers` is empty.
std::vector<std::string> DescribePorts(const SerialPort& port, const std::vector<int>& numbers);

// A trace in a file: a header naming who wrote it, when, how it was started and on which
// devices, then one line per record or note, stamped with the time since the file was opened.
// Each line reaches the file whole, with one write of its own, as it is recorded: lines from
// links on several threads never run into each other.
class FileFrameTrace final : public FrameTrace {
  public:
    // Creates (or empties) `path` and writes the header. nullptr, with the reason in `error`,
    // when the file cannot be written.
    static std::unique_ptr<FileFrameTrace> Open(const std::string& path, const TraceOrigin& origin,
                                                std::string* error);

    void Record(const FrameRecord& record) override { Write({}, record); }
    void Note(std::string_view text) override { WriteNote({}, text); }

    // A trace into the same file whose lines begin with `unit` in brackets ("[port 3] "), for
    // one of several units traced at once. It must not outlive this one.
    std::unique_ptr<FrameTrace> ForUnit(std::string unit);

  private:
    friend class UnitFrameTrace;
    FileFrameTrace() = default;
    void Write(std::string_view unit, const FrameRecord& record);
    void WriteNote(std::string_view unit, std::string_view text);
    std::chrono::nanoseconds Elapsed() const { return std::chrono::steady_clock::now() - began_; }

    LineFile file_;
    std::chrono::steady_clock::time_point began_;
};

}  // namespace keelsong
