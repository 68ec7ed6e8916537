#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace brandel::spectrum {

/// A text of a fixed number of characters. Assigning stores the text left-justified, padded with
/// blanks and cut at the width; a field never assigned holds NUL characters. The characters are
/// decoded text (Unicode code points), so widths and positions count characters, not bytes.
template <std::size_t Width>
class TextField {
  public:
    static constexpr std::size_t width = Width;

    TextField() { chars_.fill(U'\0'); }
    explicit TextField(std::u32string_view text) { assign(text); }

    void assign(std::u32string_view text) {
        std::size_t n = text.size() < Width ? text.size() : Width;
        for (std::size_t i = 0; i < n; ++i)
            chars_[i] = text[i];
        for (std::size_t i = n; i < Width; ++i)
            chars_[i] = U' ';
    }
    /// Fills the field with NUL characters, as it is before any assignment.
    void clear() { chars_.fill(U'\0'); }

    std::u32string_view view() const { return {chars_.data(), Width}; }
    std::u32string str() const { return std::u32string(view()); }
    /// Character at a position counted from 0.
    char32_t at(std::size_t i) const { return chars_.at(i); }
    void set(std::size_t i, char32_t c) { chars_.at(i) = c; }

    bool operator==(const TextField&) const = default;

  private:
    std::array<char32_t, Width> chars_;
};

/// UTF-8 <-> code points, for paths, captions and printed output. Bad UTF-8 gives U+FFFD.
std::u32string from_utf8(std::string_view text);
std::string to_utf8(std::u32string_view text);
/// Widens ASCII text (month names, labels written in the code) to code points.
std::u32string widen(std::string_view ascii);

/// The characters of `line` from column `first` (counted from 1) on, at most `count` of them;
/// a range past the end of the line gives only the characters that exist (possibly none).
std::u32string_view columns(std::u32string_view line, std::size_t first, std::size_t count);
/// The characters of `line` from column `first` to column `last`, both counted from 1.
inline std::u32string_view column_range(std::u32string_view line, std::size_t first,
                                        std::size_t last) {
    return columns(line, first, last >= first ? last - first + 1 : 0);
}

/// Whether `line` contains `key` anywhere, ignoring the case of the letters a-z; in characters,
/// or in the bytes of ASCII text.
bool contains_ignore_case(std::u32string_view line, std::u32string_view key);
bool contains_ignore_case(std::string_view line, std::string_view key);

/// The text without leading and trailing blanks (U+0020 only).
std::u32string_view trim_blanks(std::u32string_view text);

}  // namespace brandel::spectrum
