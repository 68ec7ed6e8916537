#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "spectrum/ascii_words.hpp"

namespace brandel::spectrum {

/// A code page 932 text file cut into lines. A line ends at CR, CR LF or a lone LF; the
/// terminator is not part of the line. A last line without a terminator is a line; an empty file
/// has none.
///
/// The text is kept as its bytes. CR and LF never occur inside a double-byte character, so the
/// lines of the bytes are the lines of the decoded text. A line of ASCII bytes is its own
/// characters; only a line holding other bytes is decoded, and only when its characters are
/// asked for. Lines are found on demand and not all kept: what the source holds beside the bytes
/// stays small however many lines they make, so a reader that takes a few header lines and then
/// reads the rest as fields never pays for the lines of the table.
class TextSource {
  public:
    /// A text of the given bytes, copied.
    static TextSource from_bytes(std::string_view bytes);
    /// A text over bytes that the caller keeps alive and unchanged for the source's lifetime.
    static TextSource over_bytes(std::string_view bytes);
    ~TextSource();
    TextSource(TextSource&&) noexcept;
    TextSource& operator=(TextSource&&) noexcept;
    TextSource(const TextSource&) = delete;
    TextSource& operator=(const TextSource&) = delete;

    /// All bytes of the text.
    std::string_view bytes() const { return bytes_; }

    /// Whether line i (from 0) exists.
    bool has_line(std::size_t i) const;
    /// The number of lines (walks the whole text).
    std::size_t line_count() const;

    /// The bytes of line i. Columns count characters, so a line that is not ASCII must be taken
    /// through line() for them.
    std::string_view line_bytes(std::size_t i) const;
    /// Whether line i is all ASCII, so that its bytes are its characters.
    bool line_is_ascii(std::size_t i) const;
    /// The characters of line i, at most the first max_line_chars of them (no layout reads a
    /// column past them), decoded and kept on first use.
    std::u32string_view line(std::size_t i) const;
    static constexpr std::size_t max_line_chars = 4096;
    /// Byte offset where line i starts; the size of the text for the line after the last.
    std::size_t line_offset(std::size_t i) const;

    /// The leading number of the characters of line i from column `first` to column `last`
    /// (both counted from 1), as leading_number reads them; an ASCII line is read in its bytes,
    /// any other decoded as far as `last` and not kept.
    double number_at(std::size_t i, std::size_t first, std::size_t last) const;

    /// The number (from 0) of the first line that holds `key` anywhere, ignoring the case of
    /// the letters a-z; `npos` when no line does. `key` is ASCII; it matches characters, never a
    /// trail byte of a double-byte character. The bytes are searched as a whole, so a text
    /// without the key is passed once, quickly, and none of its lines is kept.
    std::size_t find_line(std::string_view key) const;
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    /// The whole text decoded, and the offset in it where line i starts. Kept for callers that
    /// read the text as characters; it costs a decoding of the whole file on first use.
    const std::u32string& text() const;
    std::size_t line_start(std::size_t i) const;

  private:
    struct Line {
        std::uint32_t begin;
        std::uint32_t length;
        bool ascii;
    };
    static constexpr std::size_t mark_every = 64;
    TextSource() = default;
    void set_bytes(std::string_view bytes);
    // The line that starts at byte `begin`, which is inside the text.
    Line line_from(std::size_t begin) const;
    // Finds line i from the nearest line known before it; false when the text has fewer lines.
    bool locate(std::size_t i) const;
    const Line& at(std::size_t i) const;

    std::string owned_;
    std::string_view bytes_;
    // Where every 64th line starts, as far as lines were walked from the top; the lines that key
    // searches found; the line found last; and the number of lines once a walk reached the end.
    mutable std::vector<std::uint32_t> marks_;
    mutable std::map<std::size_t, Line> found_;
    mutable std::size_t cursor_index_ = npos;
    mutable Line cursor_{};
    mutable std::size_t line_count_ = npos;
    mutable std::map<std::size_t, std::u32string> decoded_;
    mutable std::u32string text_;
    mutable bool text_decoded_ = false;
};

/// Walks the lines of a text's bytes from an offset where a line starts, as TextSource cuts them,
/// without keeping them: for a table of many short lines that is read once.
class LineWalker {
  public:
    LineWalker(std::string_view bytes, std::size_t offset) : bytes_(bytes), pos_(offset) {}
    /// True when no line is left.
    bool at_end() const { return pos_ >= bytes_.size(); }
    /// Where the next line starts.
    std::size_t offset() const { return pos_; }
    /// The bytes of the next line, without its line end, and whether they are all ASCII.
    std::string_view next(bool& ascii) {
        const std::size_t begin = pos_;
        const std::size_t end = ascii_words::line_end(bytes_, begin, ascii);
        pos_ = end;
        if (pos_ < bytes_.size()) {
            if (bytes_[pos_] == '\r' && pos_ + 1 < bytes_.size() && bytes_[pos_ + 1] == '\n')
                ++pos_;
            ++pos_;
        }
        return bytes_.substr(begin, end - begin);
    }

  private:
    std::string_view bytes_;
    std::size_t pos_;
};

/// Where the first line from `offset` (where a line starts) begins that holds something other
/// than blanks and no comma, lines cut as TextSource cuts them; npos when every line holds a comma
/// or only blanks.
std::size_t first_line_without_comma(std::string_view bytes, std::size_t offset);

/// Reads fields from a text: fields are separated by commas or line ends, leading blanks of a
/// field are skipped, and a field that starts with a double quote runs to its closing quote.
/// When a number is read directly a blank also ends it, so "1 2" holds two numbers.
///
/// The bytes of a code page 932 text are read as they are: every character that separates or
/// makes up a number is ASCII and never the trail byte of a double-byte character, so the fields,
/// numbers and line numbers are those of the decoded text; text fields are decoded.
class FieldReader {
  public:
    /// Reads `text` from `offset`; `first_line` is the number (from 1) of the line there, used in
    /// error messages.
    FieldReader(std::string_view bytes, std::size_t offset, std::size_t first_line);
    /// The same over decoded characters.
    FieldReader(std::u32string_view text, std::size_t offset, std::size_t first_line);

    /// True when nothing is left to read.
    bool at_end() const { return pos_ >= size_; }
    /// The next field as text. At the end of the text raises an end-of-file error.
    std::u32string next_field();
    /// The next field read directly as a number (leading-number rule). At the end of the text
    /// raises an end-of-file error.
    double next_number() {
        std::uint32_t plain = 0;
        return next_plain_numbers(&plain, 1) == 1 ? plain : next_number_by_rule();
    }
    /// Reads up to `max` fields that are plain whole numbers, one to seven digits after any
    /// blanks and ended by a separator, as next_number reads them, into `out`; stops before the
    /// first field that is anything else (or at the end). Returns how many it read. A table of
    /// such fields is read this way many at a time. Of records of `width` fields, counted from
    /// the first field read, only field `taken` of each needs its value: the others may be left
    /// unset in `out`.
    std::size_t next_plain_numbers(std::uint32_t* out, std::size_t max, std::size_t width = 1,
                                   std::size_t taken = 0);
    /// The line (from 1) that the next field starts on.
    std::size_t line_number() const { return line_; }
    /// Where the reading of the next field starts.
    std::size_t offset() const { return pos_; }
    /// The bytes of the field read from offset `begin` to offset `end`, without the blanks and
    /// the separator around it, as a message quotes it; empty for a reader of decoded characters.
    std::string_view field_bytes(std::size_t begin, std::size_t end) const;

  private:
    template <typename Char>
    std::u32string field_of(std::basic_string_view<Char> text);
    template <typename Char>
    double number_of(std::basic_string_view<Char> text);
    template <typename Char>
    void skip_separator(std::basic_string_view<Char> text);
    [[noreturn]] void end_of_file() const;
    double next_number_by_rule();

    std::string_view bytes_;
    std::u32string_view wide_;
    bool is_wide_;
    std::size_t size_;
    std::size_t pos_;
    std::size_t line_;
};

}  // namespace brandel::spectrum
