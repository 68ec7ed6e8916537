#pragma once

// The example files of the project's examples folder, for tests that build a damaged file from a
// real export's layout: a text example line by line with its own line ends, a binary example byte
// by byte.

#include <cstdint>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace brandel::test_support {

/// The bytes of examples/<name>.
inline std::string example_bytes(const std::string& name) {
    std::ifstream in(std::string(BRANDEL_SOURCE_DIR) + "/examples/" + name, std::ios::binary);
    if (!in)
        throw std::runtime_error("no example file " + name);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

/// A text example as its lines (numbered from 1) and the line end it uses.
class ExampleLines {
  public:
    explicit ExampleLines(const std::string& name) {
        const std::string bytes = example_bytes(name);
        const std::size_t first_end = bytes.find_first_of("\r\n");
        eol_ = first_end == std::string::npos             ? "\r\n"
               : bytes.compare(first_end, 2, "\r\n") == 0 ? "\r\n"
                                                          : bytes.substr(first_end, 1);
        for (std::size_t begin = 0; begin < bytes.size();) {
            std::size_t end = bytes.find(eol_, begin);
            if (end == std::string::npos)
                end = bytes.size();
            lines_.push_back(bytes.substr(begin, end - begin));
            begin = end + eol_.size();
        }
    }
    const std::string& line(std::size_t number) const { return lines_.at(number - 1); }
    /// Replaces line `number`; its text must differ from what the line held.
    void set(std::size_t number, std::string text) {
        if (lines_.at(number - 1) == text)
            throw std::logic_error("the edit changes nothing");
        lines_.at(number - 1) = std::move(text);
    }
    std::string bytes() const {
        std::string out;
        for (const std::string& l : lines_)
            out += l + eol_;
        return out;
    }

  private:
    std::vector<std::string> lines_;
    std::string eol_;
};

/// Stores a little-endian integer of `size` bytes at `offset`.
inline void put_le(std::string& bytes, std::size_t offset, std::int64_t value, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i)
        bytes.at(offset + i) =
            static_cast<char>((static_cast<std::uint64_t>(value) >> (8 * i)) & 0xFF);
}

}  // namespace brandel::test_support
