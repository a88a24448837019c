#include "app/frame_trace.h"

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

void FileFrameTrace::Record(const FrameRecord& record) {
    std::string line = FormatTraceLine(std::chrono::steady_clock::now() - began_, record);
    line += '\n';
    file_.Write(line);
}

}  // namespace keelsong
