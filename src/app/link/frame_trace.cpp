#include "app/link/frame_trace.h"

#include <utility>

namespace keelsong {

namespace {

// An argument as a shell would need it typed, so that the command line can be run again.
std::string ShellWord(const std::string& argument) {
    constexpr std::string_view kPlain =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_-+=.,:/@%";
    if (!argument.empty() && argument.find_first_not_of(kPlain) == std::string::npos) {
        return argument;
    }
    std::string quoted = "'";
    for (const char c : argument) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// The comment lines after the common header: the release, the command line and the devices.
std::string OriginLines(const TraceOrigin& origin) {
    std::string text =
        "# -- a port opened, not opened (and why) or closed (and whether its device went away); "
        "a serial device appeared or vanished\n# " +
        origin.program + " " + origin.version;
    if (!origin.command_line.empty()) {
        text += ", started as:";
        for (const std::string& argument : origin.command_line) {
            text += " " + ShellWord(argument);
        }
    }
    text += "\n";
    for (const std::string& device : origin.devices) {
        text += "# " + device + "\n";
    }
    if (origin.devices.empty()) {
        text += "# no serial device present\n";
    }
    return text;
}

}  // namespace

std::vector<std::string> DescribePorts(const SerialPort& port, const std::vector<int>& numbers) {
    std::vector<int> described = numbers;
    if (described.empty()) {
        for (const PresentPort& present : port.PresentPorts()) {
            described.push_back(present.number);
        }
    }
    std::vector<std::string> lines;
    for (const int number : described) {
        lines.push_back("port " + std::to_string(number) + ": " + port.DescribePort(number));
    }
    return lines;
}

std::unique_ptr<FileFrameTrace> FileFrameTrace::Open(const std::string& path,
                                                     const TraceOrigin& origin,
                                                     std::string* error) {
    std::unique_ptr<FileFrameTrace> trace(new FileFrameTrace);
    std::string problem = trace->file_.Open(path);
    if (problem.empty() &&
        !trace->file_.Write(FormatTraceHeader(origin.program, std::chrono::system_clock::now()) +
                            OriginLines(origin))) {
        problem = "the header could not be written";
    }
    if (!problem.empty()) {
        if (error) {
            *error = problem;
        }
        return nullptr;
    }
    trace->began_ = std::chrono::steady_clock::now();
    return trace;
}

// One unit's lines in a trace shared by several units.
class UnitFrameTrace final : public FrameTrace {
  public:
    UnitFrameTrace(FileFrameTrace& file, std::string unit) : file_(file), unit_(std::move(unit)) {}
    void Record(const FrameRecord& record) override { file_.Write(unit_, record); }
    void Note(std::string_view text) override { file_.WriteNote(unit_, text); }

  private:
    FileFrameTrace& file_;
    std::string unit_;
};

std::unique_ptr<FrameTrace> FileFrameTrace::ForUnit(std::string unit) {
    return std::make_unique<UnitFrameTrace>(*this, "[" + std::move(unit) + "] ");
}

void FileFrameTrace::Write(std::string_view unit, const FrameRecord& record) {
    std::string line(unit);
    line += FormatTraceLine(Elapsed(), record);
    line += '\n';
    file_.Write(line);
}

void FileFrameTrace::WriteNote(std::string_view unit, std::string_view text) {
    std::string line(unit);
    line += FormatTraceNote(Elapsed(), text);
    line += '\n';
    file_.Write(line);
}

}  // namespace keelsong
