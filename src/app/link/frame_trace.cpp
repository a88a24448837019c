#include "app/link/frame_trace.h"

#include <functional>
#include <utility>

namespace keelsong {

std::unique_ptr<FileFrameTrace> FileFrameTrace::Open(const std::string& path, std::string_view side,
                                                     std::string* error) {
    std::unique_ptr<FileFrameTrace> trace(new FileFrameTrace);
    std::string problem = trace->file_.Open(path);
    if (problem.empty() &&
        !trace->file_.Write(FormatTraceHeader(side, std::chrono::system_clock::now()))) {
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

namespace {

class UnitFrameTrace final : public FrameTrace {
  public:
    UnitFrameTrace(std::function<void(std::string_view, const FrameRecord&)> write,
                   std::string unit)
        : write_(std::move(write)), unit_(std::move(unit)) {}
    void Record(const FrameRecord& record) override { write_(unit_, record); }

  private:
    std::function<void(std::string_view, const FrameRecord&)> write_;
    std::string unit_;
};

}  // namespace

std::unique_ptr<FrameTrace> FileFrameTrace::ForUnit(std::string unit) {
    return std::make_unique<UnitFrameTrace>(
        [this](std::string_view tag, const FrameRecord& record) { Write(tag, record); },
        "[" + std::move(unit) + "] ");
}

void FileFrameTrace::Write(std::string_view unit, const FrameRecord& record) {
    std::string line(unit);
    line += FormatTraceLine(std::chrono::steady_clock::now() - began_, record);
    line += '\n';
    file_.Write(line);
}

}  // namespace keelsong
