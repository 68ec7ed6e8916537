#include "formats/text_table.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "formats/spectrum_values.hpp"
#include "spectrum/errors.hpp"

namespace brandel::formats {

using spectrum::ErrorKind;
using spectrum::raise;

namespace {

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

// A count as the text writes it: a whole number, or one rounded halves to even; false when the
// text is no number or its value does not fit 32 bits.
bool count_of(std::string_view field, std::int32_t& count) {
    const char* begin = field.data();
    const char* end = begin + field.size();
    if (begin != end && *begin == '+')
        ++begin;
    long long whole = 0;
    const auto [stop, ec] = std::from_chars(begin, end, whole);
    if (ec == std::errc() && stop == end) {
        if (whole < INT32_MIN || whole > INT32_MAX)
            return false;
        count = static_cast<std::int32_t>(whole);
        return true;
    }
    double value = 0;
    if (!parse_number(field, value))
        return false;
    value = std::nearbyint(value);
    if (!(value >= INT32_MIN && value <= INT32_MAX))
        return false;
    count = static_cast<std::int32_t>(value);
    return true;
}

}  // namespace

TextTable::TextTable(std::string_view bytes) : bytes_(bytes) {
    std::size_t begin = 0;
    while (begin < bytes.size()) {
        const std::size_t end = std::min(bytes.find_first_of("\r\n", begin), bytes.size());
        lines_.emplace_back(begin, end);
        begin = end + 1;
        if (end < bytes.size() && bytes[end] == '\r' && begin < bytes.size() &&
            bytes[begin] == '\n')
            ++begin;
    }
}

std::string_view TextTable::line(std::size_t i) const {
    return bytes_.substr(lines_[i].first, lines_[i].second - lines_[i].first);
}

bool TextTable::blank(std::size_t i) const {
    for (char c : line(i))
        if (!is_blank(c))
            return false;
    return true;
}

std::vector<std::string_view> TextTable::fields(std::size_t i) const {
    std::vector<std::string_view> out;
    const std::string_view text = line(i);
    std::size_t k = 0;
    while (k < text.size()) {
        while (k < text.size() && is_blank(text[k]))
            ++k;
        const std::size_t start = k;
        while (k < text.size() && !is_blank(text[k]))
            ++k;
        if (k > start)
            out.push_back(text.substr(start, k - start));
    }
    return out;
}

std::vector<Token> TextTable::numbers(std::size_t i, std::size_t least,
                                      std::string_view what) const {
    std::vector<Token> out;
    for (std::string_view field : fields(i)) {
        double value = 0;
        if (!parse_number(field, value))
            fail(i, "holds " + quoted(field) + ", which is no number of " + std::string(what));
        out.push_back({value, i});
    }
    if (out.size() < least)
        fail(i, "holds " + std::to_string(out.size()) + " numbers where " + std::string(what) +
                    " needs " + std::to_string(least));
    return out;
}

void TextTable::read_counts(std::size_t i, std::vector<std::int32_t>& counts,
                            std::size_t most) const {
    for (std::string_view field : fields(i)) {
        std::int32_t count = 0;
        if (!count_of(field, count))
            fail(i, "holds " + quoted(field) + ", which is no count of 32 bits");
        if (counts.size() == most)
            fail(i, "holds more counts than the " + std::to_string(most) +
                        " that the channel range names");
        counts.push_back(count);
    }
}

void TextTable::fail(std::size_t i, const std::string& what) const {
    raise(ErrorKind::unreadable, "line " + std::to_string(i + 1) + " " +
                                     quoted(i < lines_.size() ? line(i) : "") + " " + what);
}

}  // namespace brandel::formats
