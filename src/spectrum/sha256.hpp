#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace brandel::spectrum {

/// A SHA-256 digest, 32 bytes.
using Sha256Digest = std::array<std::uint8_t, 32>;

/// SHA-256 of bytes given in pieces, computed by the platform's own implementation (libcrypto
/// on Linux, BCrypt on Windows), which uses the processor's hashing instructions where it has
/// them. A hasher that cannot be set up raises an error.
class Sha256 {
  public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void update(std::string_view bytes);
    /// The digest of every byte given so far. The hasher starts anew after it.
    Sha256Digest finish();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

/// SHA-256 of bytes already in memory.
Sha256Digest sha256(std::string_view bytes);

/// The digest as 64 lower-case hexadecimal digits.
std::string to_hex(const Sha256Digest& digest);

/// SHA-256 of bytes as 64 lower-case hexadecimal digits.
inline std::string sha256_hex(std::string_view bytes) {
    return to_hex(sha256(bytes));
}

}  // namespace brandel::spectrum
