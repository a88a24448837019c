#include "cli/progress_board.h"

#include <algorithm>

namespace keelsong::cli {

namespace {

constexpr std::chrono::milliseconds kRedrawPeriod{100};
constexpr char kLineUpAndClear[] = "\x1b[1A\x1b[2K";
constexpr char kClearToEnd[] = "\x1b[K";

// At most `width` bytes, never ending inside a UTF-8 character: a line that wraps would leave
// the cursor arithmetic behind.
std::string Fit(std::string text, size_t width) {
    if (text.size() <= width) {
        return text;
    }
    size_t cut = width;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    text.resize(cut);
    return text;
}

}  // namespace

ProgressBoard::ProgressBoard(std::ostream& terminal, bool enabled, int width)
    : terminal_(terminal), enabled_(enabled), width_(static_cast<size_t>(std::max(width, 20) - 1)) {
    if (enabled_) {
        drawer_ = std::thread([this] { DrawLoop(); });
    }
}

ProgressBoard::~ProgressBoard() {
    if (!enabled_) {
        return;
    }
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    drawer_.join();
    terminal_ << EraseSequence() << std::flush;
}

size_t ProgressBoard::Add(std::string label) {
    std::lock_guard lock(mutex_);
    lines_.push_back({std::move(label), {}, true});
    return lines_.size() - 1;
}

void ProgressBoard::Update(size_t line, std::string text) {
    if (!enabled_) {
        return;
    }
    std::lock_guard lock(mutex_);
    lines_.at(line).text = std::move(text);
    dirty_ = true;
}

void ProgressBoard::Done(size_t line) {
    std::lock_guard lock(mutex_);
    lines_.at(line).active = false;
    dirty_ = true;
}

void ProgressBoard::Print(std::ostream& out, const std::string& text) {
    std::lock_guard lock(mutex_);
    if (enabled_) {
        terminal_ << EraseSequence() << std::flush;
        lines_shown_ = 0;
    }
    out << text << '\n' << std::flush;
    if (enabled_) {
        terminal_ << DrawSequence() << std::flush;
    }
}

void ProgressBoard::DrawLoop() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        wake_.wait_for(lock, kRedrawPeriod, [this] { return stopping_; });
        if (dirty_ && !stopping_) {
            terminal_ << EraseSequence() << DrawSequence() << std::flush;
        }
    }
}

std::string ProgressBoard::EraseSequence() const {
    std::string sequence;
    for (size_t k = 0; k < lines_shown_; ++k) {
        sequence += kLineUpAndClear;
    }
    return sequence;
}

std::string ProgressBoard::DrawSequence() {
    std::string sequence;
    lines_shown_ = 0;
    for (const Line& line : lines_) {
        if (line.active && !line.text.empty()) {
            sequence += Fit(line.label + ": " + line.text, width_) + kClearToEnd + "\n";
            ++lines_shown_;
        }
    }
    dirty_ = false;
    return sequence;
}

}  // namespace keelsong::cli
