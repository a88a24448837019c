#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

#include "platform/line_file.h"
#include "protocol/trace_line.h"

namespace keelsong {

// Where the serial link tells what went over the line: one record for every frame written and
// for every response read or failed, as it happens. Called in the middle of a transaction, so
// a trace must be quick and must not call back into the program. One trace may serve several
// links, each on a thread of its own.
class FrameTrace {
  public:
    virtual ~FrameTrace() = default;
    virtual void Record(const FrameRecord& record) = 0;
};

// A trace in a file: a header naming who wrote it and when, then one line per record, stamped
// with the time since the file was opened. Each line reaches the file whole, with one write of
// its own, as it is recorded: lines from links on several threads never run into each other.
class FileFrameTrace final : public FrameTrace {
  public:
    // Creates (or empties) `path` and writes the header naming `side` ("keelsong"). nullptr,
    // with the reason in `error`, when the file cannot be written.
    static std::unique_ptr<FileFrameTrace> Open(const std::string& path, std::string_view side,
                                                std::string* error);

    void Record(const FrameRecord& record) override { Write({}, record); }

    // A trace into the same file whose lines begin with `unit` in brackets ("[port 3] "), for
    // one of several units traced at once. It must not outlive this one.
    std::unique_ptr<FrameTrace> ForUnit(std::string unit);

  private:
    FileFrameTrace() = default;
    void Write(std::string_view unit, const FrameRecord& record);

    LineFile file_;
    std::chrono::steady_clock::time_point began_;
};

}  // namespace keelsong
