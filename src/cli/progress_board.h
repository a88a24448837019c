#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace keelsong::cli {

// One progress line per unit at work, kept at the foot of a terminal: each unit's thread tells
// what its unit is doing, and a drawing thread rewrites the lines in place at most ten times a
// second. Result lines are printed above them. Disabled (when standard error is no terminal)
// it shows nothing and only prints the results.
class ProgressBoard {
  public:
    ProgressBoard(std::ostream& terminal, bool enabled, int width);
    ~ProgressBoard();
    ProgressBoard(const ProgressBoard&) = delete;
    ProgressBoard& operator=(const ProgressBoard&) = delete;

    // A line for one unit, shown once it has something to say; its number for Update and Done.
    size_t Add(std::string label);
    void Update(size_t line, std::string text);
    // The unit is done: its line goes.
    void Done(size_t line);
    // Writes `text` and a line end to `out`, with the progress lines out of its way.
    void Print(std::ostream& out, const std::string& text);

  private:
    struct Line {
        std::string label;
        std::string text;
        bool active = true;
    };

    void DrawLoop();
    // Both under mutex_.
    std::string EraseSequence() const;
    std::string DrawSequence();

    std::ostream& terminal_;
    const bool enabled_;
    const size_t width_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<Line> lines_;
    size_t lines_shown_ = 0;
    bool dirty_ = false;
    bool stopping_ = false;
    std::thread drawer_;
};

}  // namespace keelsong::cli
