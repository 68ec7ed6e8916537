#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace brandel::formats {

/// A number of a line, and the line (from 0) it stands on.
struct Token {
    double value;
    std::size_t line;
};

/// The lines of a text file read as fields: a line ends at CR, CR LF or LF, fields are separated
/// by blanks and TABs. A failure quotes the line as it stands, with its number from 1.
class TextTable {
  public:
    explicit TextTable(std::string_view bytes);

    std::size_t line_count() const { return lines_.size(); }
    /// The bytes of line i (from 0), without its line end.
    std::string_view line(std::size_t i) const;
    /// Whether line i holds nothing but blanks and TABs.
    bool blank(std::size_t i) const;
    /// The fields of line i.
    std::vector<std::string_view> fields(std::size_t i) const;
    /// The fields of line i as numbers, at least `least` of them; `what` names the line's
    /// section in the failure.
    std::vector<Token> numbers(std::size_t i, std::size_t least, std::string_view what) const;
    /// Appends the counts of line i to `counts`, each rounded to a whole number, halves to even,
    /// into 32 bits; more than `most` counts in all fail.
    void read_counts(std::size_t i, std::vector<std::int32_t>& counts, std::size_t most) const;
    /// Raises an unreadable error: "line 12 '<line>' <what>".
    [[noreturn]] void fail(std::size_t i, const std::string& what) const;

  private:
    std::string_view bytes_;
    std::vector<std::pair<std::size_t, std::size_t>> lines_;  // begin and end of each line
};

}  // namespace brandel::formats
