#pragma once

#include <string>
#include <string_view>

namespace keelsong {

// A text file written one whole line at a time, each line with a single write to the file: a
// program that ends abruptly leaves every line before intact, and lines written from several
// threads never run into each other. Nothing is held back in a buffer of the program's own.
class LineFile {
  public:
    LineFile() = default;
    ~LineFile() { Close(); }
    LineFile(const LineFile&) = delete;
    LineFile& operator=(const LineFile&) = delete;

    // Creates `path`, or empties it when it exists. Empty on success, otherwise why it failed.
    std::string Open(const std::string& path);
    bool IsOpen() const { return fd_ >= 0; }
    void Close();

    // Appends `text`, which ends in a line end. False when the file did not take it whole.
    bool Write(std::string_view text);

  private:
    int fd_ = -1;
};

}  // namespace keelsong
