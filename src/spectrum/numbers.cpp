#include "spectrum/numbers.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

#include "spectrum/ascii_words.hpp"
#include "spectrum/errors.hpp"

namespace brandel::spectrum {

namespace {

bool dropped(char32_t c) {
    return c == U' ' || c == U'\t' || c == U'\n';
}
bool digit(char32_t c) {
    return c >= U'0' && c <= U'9';
}
// Whether a character after a whole number's digits (and any dropped blanks) goes on with it: a
// digit joins it, a point brings decimals, E or D an exponent.
bool continues_number(char32_t c) {
    return digit(c) || c == U'.' || c == U'E' || c == U'e' || c == U'D' || c == U'd';
}

// Whether a number that does not fit a double is too large rather than too small: its decimal
// magnitude (digits before the point, or minus the zeros after it, plus the exponent) is positive.
bool too_large(std::string_view number) {
    std::size_t e = number.find('e');
    std::string_view mantissa = number.substr(0, e);
    long long exponent = 0;
    if (e != std::string_view::npos) {
        std::size_t k = e + 1;
        bool negative = false;
        if (k < number.size() && (number[k] == '-' || number[k] == '+'))
            negative = number[k++] == '-';
        for (; k < number.size() && exponent < 1000000; ++k)
            exponent = exponent * 10 + (number[k] - '0');
        if (negative)
            exponent = -exponent;
    }
    std::size_t point = mantissa.find('.');
    std::string_view whole = mantissa.substr(0, point);
    std::size_t first = whole.find_first_not_of('0');
    long long magnitude = 0;
    if (first != std::string_view::npos) {
        magnitude = static_cast<long long>(whole.size() - first);
    } else if (point != std::string_view::npos) {
        std::size_t zeros = mantissa.substr(point + 1).find_first_not_of('0');
        magnitude = -static_cast<long long>(zeros == std::string_view::npos ? 0 : zeros);
    }
    return magnitude + exponent > 0;
}

// The common case, a whole number of at most 15 digits (exact as a double) written without
// blanks inside it: read directly. Returns false for anything else.
template <typename Text>
bool plain_whole_number(const Text& text, double& value) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && dropped(static_cast<char32_t>(text[i])))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    std::uint64_t whole = 0;
    const std::size_t first = i;
    while (i < n && digit(static_cast<char32_t>(text[i])) && i - first < 15)
        whole = whole * 10 + static_cast<std::uint64_t>(text[i++] - '0');
    if (i == first)
        return false;
    // The number must end here: after any dropped blanks, at the end of the text or at a
    // character that cannot go on with it (a digit would join it, a point bring decimals, E or D
    // an exponent).
    while (i < n && dropped(static_cast<char32_t>(text[i])))
        ++i;
    if (i < n && continues_number(static_cast<char32_t>(text[i])))
        return false;
    value = negative ? -static_cast<double>(whole) : static_cast<double>(whole);
    return true;
}

template <typename Text>
double leading_number_of(const Text& text) {
    if (double value; plain_whole_number(text, value))
        return value;
    // Collect the number's characters (blanks dropped) into an ASCII buffer for from_chars.
    std::string number;
    std::size_t i = 0;
    auto next = [&]() -> char32_t {
        while (i < text.size() && dropped(static_cast<char32_t>(text[i])))
            ++i;
        return i < text.size() ? static_cast<char32_t>(text[i]) : U'\0';
    };
    bool negative = false;
    char32_t c = next();
    if (c == U'+' || c == U'-') {
        negative = c == U'-';
        ++i;
        c = next();
    }
    bool point = false;
    bool digits = false;
    while (digit(c) || (c == U'.' && !point)) {
        if (c == U'.')
            point = true;
        digits = digits || digit(c);
        number.push_back(static_cast<char>(c));
        ++i;
        c = next();
    }
    if (!digits)
        return 0.0;
    if (c == U'E' || c == U'e' || c == U'D' || c == U'd') {
        std::string exponent = "e";
        ++i;
        c = next();
        if (c == U'+' || c == U'-') {
            exponent.push_back(static_cast<char>(c));
            ++i;
            c = next();
        }
        bool exponent_digits = false;
        while (digit(c)) {
            exponent.push_back(static_cast<char>(c));
            exponent_digits = true;
            ++i;
            c = next();
        }
        if (exponent_digits)
            number += exponent;
    }
    double value = 0.0;
    auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (ec == std::errc::result_out_of_range) {
        // Too large is infinite (and so out of every field's range); too small is zero.
        value = too_large(number) ? std::numeric_limits<double>::infinity() : 0.0;
    }
    (void)end;
    return negative ? -value : value;
}

template <typename Int>
Int round_to(double value, std::string_view what, const char* range) {
    double r = std::nearbyint(value);  // the default rounding mode rounds halves to even
    if (!(r >= static_cast<double>(std::numeric_limits<Int>::min()) &&
          r <= static_cast<double>(std::numeric_limits<Int>::max())))
        raise(ErrorKind::overflow,
              std::string(what) + " " + number_text(value) + " is out of range (" + range + ")");
    return static_cast<Int>(r);
}

}  // namespace

double leading_number(std::u32string_view text) {
    return leading_number_of(text);
}
double leading_number(std::string_view ascii) {
    // A whole number of one to seven digits, after blanks and before blanks or a character that
    // cannot go on with it, is read from one word: the columns of a channel line.
    using namespace ascii_words;
    const std::size_t n = ascii.size();
    const std::size_t i = skip_blank_run(ascii, 0);
    std::uint32_t value = 0;
    const int count = i < n ? leading_digits(load_up_to8(ascii.data() + i, n - i), value) : 0;
    if (count > 0 && count < 8) {
        std::size_t j = i + static_cast<std::size_t>(count);
        while (j < n && dropped(static_cast<unsigned char>(ascii[j])))
            ++j;
        if (j == n || !continues_number(static_cast<unsigned char>(ascii[j])))
            return static_cast<double>(value);
    }
    return leading_number_of(ascii);
}

std::int16_t round_to_int16(double value, std::string_view what) {
    return round_to<std::int16_t>(value, what, "-32768 to 32767");
}
std::int32_t round_to_int32(double value, std::string_view what) {
    return round_to<std::int32_t>(value, what, "-2147483648 to 2147483647");
}
std::uint8_t round_to_uint8(double value, std::string_view what) {
    return round_to<std::uint8_t>(value, what, "0 to 255");
}

float to_float32(double value, std::string_view what) {
    if (!(std::fabs(value) <= static_cast<double>(std::numeric_limits<float>::max())))
        raise(ErrorKind::overflow,
              std::string(what) + " " + number_text(value) + " is too large for a 32-bit float");
    return static_cast<float>(value);
}

std::int32_t seconds_to_ticks(double seconds, std::string_view what) {
    return round_to_int32(seconds * 50.0, std::string(what) + " in ticks of 20 ms");
}

std::string number_text(double value) {
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value < 0 ? "-Infinity" : "Infinity";
    if (value == std::floor(value) && std::fabs(value) < 1e15)
        return std::to_string(static_cast<long long>(value));
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    (void)ec;
    return std::string(buffer, end);
}

std::string float_text(float value) {
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return std::string(buffer, end);
}

}  // namespace brandel::spectrum
