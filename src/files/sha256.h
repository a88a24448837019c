#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace keelsong {

// SHA-256 (FIPS 180-4), fed in pieces: what the service history records of a file and of the
// contents a unit holds.
class Sha256 {
  public:
    Sha256();
    void Add(const void* data, size_t size);
    void Add(std::string_view text) { Add(text.data(), text.size()); }
    // The digest as 64 lower-case hex digits. Ends the computation.
    std::string HexDigest();

  private:
    void Block(const uint8_t* block);

    std::array<uint32_t, 8> state_;
    std::array<uint8_t, 64> pending_{};
    size_t pending_size_ = 0;
    uint64_t total_bytes_ = 0;
};

// The SHA-256 of `text`, as hex.
std::string Sha256Hex(std::string_view text);

// The SHA-256 of a file's contents, as hex; nullopt when it cannot be read whole.
std::optional<std::string> FileSha256Hex(const std::string& path);

}  // namespace keelsong
