#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace keelsong::testing {

// A fresh directory under the system's temporary folder, removed with everything in it.
class TempDir {
  public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "keelsong-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data()) ? pattern : std::string{};
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

}  // namespace keelsong::testing
