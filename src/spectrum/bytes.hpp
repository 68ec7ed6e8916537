#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "spectrum/errors.hpp"

namespace brandel::spectrum {

/// Reads little-endian values at given offsets of a byte buffer. A value that reaches past the
/// end of the buffer raises an end-of-file error naming its offset, unless the reader was made
/// to read missing bytes as zero.
class LittleEndianReader {
  public:
    enum class Past { error, zero };

    LittleEndianReader(std::string_view bytes, std::string what, Past past = Past::error)
        : bytes_(bytes), what_(std::move(what)), past_(past) {}

    std::size_t size() const { return bytes_.size(); }

    std::uint8_t u8(std::size_t offset) const { return load<std::uint8_t>(offset); }
    std::int16_t i16(std::size_t offset) const { return load<std::int16_t>(offset); }
    std::int32_t i32(std::size_t offset) const { return load<std::int32_t>(offset); }
    float f32(std::size_t offset) const {
        return std::bit_cast<float>(load<std::uint32_t>(offset));
    }
    /// The 32-bit values from `offset` on into `out`, as out.size() calls of i32 read them; the
    /// values wholly inside the buffer are read in one loop.
    void i32s(std::size_t offset, std::span<std::int32_t> out) const {
        const std::size_t inside =
            offset > bytes_.size() ? 0 : std::min(out.size(), (bytes_.size() - offset) / 4);
        const char* p = bytes_.data() + std::min(offset, bytes_.size());
        for (std::size_t i = 0; i < inside; ++i) {
            std::uint32_t value = 0;
            std::memcpy(&value, p + 4 * i, 4);
            if constexpr (std::endian::native == std::endian::big)
                value = ((value & 0xFFu) << 24) | ((value & 0xFF00u) << 8) |
                        ((value >> 8) & 0xFF00u) | (value >> 24);
            out[i] = static_cast<std::int32_t>(value);
        }
        for (std::size_t i = inside; i < out.size(); ++i)
            out[i] = i32(offset + 4 * i);
    }
    /// `count` raw bytes from `offset` (zeros for missing bytes when reading past the end as zero).
    std::string bytes(std::size_t offset, std::size_t count) const {
        std::string out(count, '\0');
        copy(offset, count, out.data());
        return out;
    }

  private:
    template <typename T>
    T load(std::size_t offset) const {
        unsigned char raw[sizeof(T)];
        copy(offset, sizeof(T), raw);
        std::make_unsigned_t<T> value = 0;
        for (std::size_t i = sizeof(T); i-- > 0;)
            value = static_cast<decltype(value)>((value << 8) | raw[i]);
        return static_cast<T>(value);
    }
    void copy(std::size_t offset, std::size_t count, void* out) const {
        std::memset(out, 0, count);
        if (offset < bytes_.size()) {
            std::size_t have = bytes_.size() - offset;
            std::memcpy(out, bytes_.data() + offset, have < count ? have : count);
            if (have >= count)
                return;
        }
        if (past_ == Past::error)
            raise(ErrorKind::end_of_file, what_ + " ends at byte " + std::to_string(bytes_.size()) +
                                              ", before the " + std::to_string(count) +
                                              "-byte value at offset " + std::to_string(offset));
    }

    std::string_view bytes_;
    std::string what_;
    Past past_;
};

/// Appends little-endian values to a byte buffer.
class LittleEndianWriter {
  public:
    explicit LittleEndianWriter(std::vector<unsigned char>& out) : out_(out) {}
    void u8(std::uint8_t v) { out_.push_back(v); }
    void i16(std::int16_t v) { store(static_cast<std::uint16_t>(v)); }
    void i32(std::int32_t v) { store(static_cast<std::uint32_t>(v)); }
    void f32(float v) { store(std::bit_cast<std::uint32_t>(v)); }
    void bytes(std::string_view b) { out_.insert(out_.end(), b.begin(), b.end()); }

  private:
    template <typename U>
    void store(U v) {
        for (std::size_t i = 0; i < sizeof(U); ++i)
            out_.push_back(static_cast<unsigned char>(v >> (8 * i)));
    }
    std::vector<unsigned char>& out_;
};

}  // namespace brandel::spectrum
