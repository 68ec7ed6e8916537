#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace brandel::spectrum {

/// A decoded text file cut into lines. A line ends at CR, CR LF or a lone LF; the terminator is
/// not part of the line. A last line without a terminator is a line; an empty file has none.
class TextSource {
  public:
    explicit TextSource(std::u32string text);
    /// Decodes code page 932 bytes and cuts them into lines.
    static TextSource from_bytes(std::string_view bytes);
    ~TextSource();
    TextSource(TextSource&&) = default;
    TextSource& operator=(TextSource&&) = default;

    const std::u32string& text() const { return text_; }
    std::size_t line_count() const { return lines_.size(); }
    /// Line i, counted from 0.
    std::u32string_view line(std::size_t i) const;
    /// Offset in text() where line i starts; line_count() gives the end of the text.
    std::size_t line_start(std::size_t i) const;

  private:
    struct Span {
        std::size_t begin;
        std::size_t length;
    };
    TextSource() = default;
    void cut_lines();

    std::u32string text_;
    std::vector<Span> lines_;
};

/// Reads fields from a text: fields are separated by commas or line ends, leading blanks of a
/// field are skipped, and a field that starts with a double quote runs to its closing quote.
/// When a number is read directly a blank also ends it, so "1 2" holds two numbers.
class FieldReader {
  public:
    /// Reads `text` from `offset`; `first_line` is the number (from 1) of the line there, used in
    /// error messages.
    FieldReader(std::u32string_view text, std::size_t offset, std::size_t first_line);

    /// True when nothing is left to read.
    bool at_end() const { return pos_ >= text_.size(); }
    /// The next field as text. At the end of the text raises an end-of-file error.
    std::u32string next_field();
    /// The next field read directly as a number (leading-number rule). At the end of the text
    /// raises an end-of-file error.
    double next_number();
    /// The line (from 1) that the next field starts on.
    std::size_t line_number() const { return line_; }

  private:
    void skip_blanks();
    void skip_separator();
    [[noreturn]] void end_of_file() const;

    std::u32string_view text_;
    std::size_t pos_;
    std::size_t line_;
};

}  // namespace brandel::spectrum
