#include "listing/format_printf.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "spectrum/errors.hpp"
#include "spectrum/numbers.hpp"

namespace brandel::listing {

namespace {

using spectrum::ErrorKind;
using spectrum::raise;

std::u32string widen(std::string_view ascii) {
    return std::u32string(ascii.begin(), ascii.end());
}

// A number with up to 15 significant digits in its shortest form: 8, -9, 10.3, 1E+20. Without
// `leading_zero` a lone zero before the point is left out (.3, -.3).
std::string short_number_text(double x, bool leading_zero) {
    if (x == 0)
        return "0";
    char buffer[64];
    auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::general, 15);
    (void)ec;
    std::string text(buffer, end);
    for (char& ch : text)
        if (ch == 'e')
            ch = 'E';
    if (!leading_zero) {
        std::size_t zero = text.find("0.");
        if (zero == 0 || (zero == 1 && text[0] == '-'))
            text.erase(zero, 1);
    }
    return text;
}

std::u32string plain_text(const PrintfValue& value) {
    if (const auto* text = std::get_if<std::u32string>(&value))
        return *text;
    return widen(short_number_text(std::get<double>(value), true));
}

// The value of a text that is a number as a whole (blanks around it allowed), such as " 42",
// "-1.5" or "2e3".
bool whole_number(std::u32string_view text, double& value) {
    std::size_t first = text.find_first_not_of(U' ');
    if (first == std::u32string_view::npos)
        return false;
    std::size_t last = text.find_last_not_of(U' ');
    std::string ascii;
    for (char32_t ch : text.substr(first, last - first + 1)) {
        if (!((ch >= U'0' && ch <= U'9') || ch == U'.' || ch == U'+' || ch == U'-' || ch == U'e' ||
              ch == U'E'))
            return false;
        ascii.push_back(static_cast<char>(ch));
    }
    if (ascii[0] == '+' && ascii.size() > 1 && ascii[1] != '-')
        ascii.erase(0, 1);
    auto [end, ec] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
    return ec == std::errc() && end == ascii.data() + ascii.size() && std::isfinite(value);
}

// |x| as 15 significant digits (the first not zero unless x is 0) and the power of ten of the
// first digit.
void significant_digits(double magnitude, std::string& digits, int& exponent) {
    char buffer[64];
    auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific, 14);
    (void)ec;
    char* e = std::find(buffer, end, 'e');  // d.dddddddddddddde+XX
    digits.assign(1, buffer[0]);
    digits.append(buffer + 2, e);
    exponent = 0;
    for (const char* p = e + 2; p < end; ++p)
        exponent = exponent * 10 + (*p - '0');
    if (e[1] == '-')
        exponent = -exponent;
}

void increment(std::string& digits) {
    for (std::size_t i = digits.size(); i-- > 0;) {
        if (digits[i] != '9') {
            ++digits[i];
            return;
        }
        digits[i] = '0';
    }
    digits.insert(digits.begin(), '1');
}

// The first `count` of the 15 significant digits, rounded half away from zero by the next one;
// a carry may make the result one digit longer.
std::string rounded_digits(const std::string& digits, long count, bool& carried) {
    carried = false;
    std::string kept;
    if (count > 0) {
        kept = digits.substr(0, static_cast<std::size_t>(std::min(count, 15L)));
        if (count > 15)
            kept.append(static_cast<std::size_t>(count - 15), '0');
    }
    const long size = static_cast<long>(digits.size());
    if (count >= 0 && count < size && digits[static_cast<std::size_t>(count)] >= '5') {
        std::size_t before = kept.size();
        increment(kept);
        carried = kept.size() > before;
    }
    return kept;
}

enum class Slot { literal, integer, point, fraction, exp_letter, exp_sign, exponent };

// Places the digits of `digits` into `count` placeholders: the first placeholder also shows
// every digit that has no placeholder of its own.
struct DigitFeed {
    std::string digits;
    std::size_t count = 0;
    std::size_t seen = 0;
    void next(std::u32string& out) {
        std::size_t extra = digits.size() - count;
        if (seen == 0)
            out += widen(std::string_view(digits).substr(0, extra + 1));
        else
            out += static_cast<char32_t>(digits[extra + seen]);
        ++seen;
    }
};

std::u32string format_number(double x, std::u32string_view pattern) {
    if (!std::isfinite(x))
        return widen(short_number_text(x, true));

    std::vector<Slot> slots(pattern.size(), Slot::literal);
    std::size_t int_count = 0, frac_count = 0, exp_count = 0;
    bool scientific = false, in_fraction = false;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        char32_t ch = pattern[i];
        if (ch == U'0') {
            slots[i] = scientific ? Slot::exponent : in_fraction ? Slot::fraction : Slot::integer;
            ++(scientific ? exp_count : in_fraction ? frac_count : int_count);
        } else if (ch == U'.' && !in_fraction && !scientific) {
            slots[i] = Slot::point;
            in_fraction = true;
        } else if ((ch == U'e' || ch == U'E') && !scientific && i + 2 < pattern.size() &&
                   (pattern[i + 1] == U'+' || pattern[i + 1] == U'-') && pattern[i + 2] == U'0') {
            slots[i] = Slot::exp_letter;
            slots[++i] = Slot::exp_sign;
            scientific = true;
        }
    }

    DigitFeed integer, exponent;
    std::string fraction;
    int power = 0;
    bool carried = false;
    std::string sig;
    int first_power = 0;
    significant_digits(std::fabs(x), sig, first_power);
    if (scientific) {
        // The mantissa shows as many integer digits as it has placeholders, at least one.
        std::size_t int_digits = std::max<std::size_t>(int_count, 1);
        const long count = static_cast<long>(int_digits + frac_count);
        std::string mantissa(static_cast<std::size_t>(count), '0');
        if (x != 0) {
            mantissa = rounded_digits(sig, count, carried);
            if (carried) {
                mantissa.pop_back();
                ++first_power;
            }
            power = first_power - static_cast<int>(int_digits - 1);
        }
        integer.digits = mantissa.substr(0, int_digits);
        fraction = mantissa.substr(int_digits);
        exponent.digits = std::to_string(std::abs(power));
        if (exponent.digits.size() < exp_count)
            exponent.digits.insert(0, exp_count - exponent.digits.size(), '0');
        exponent.count = exp_count;
    } else {
        const long count = first_power + 1L + static_cast<long>(frac_count);
        std::string scaled = x == 0 ? std::string() : rounded_digits(sig, count, carried);
        if (scaled.size() < frac_count + 1)
            scaled.insert(0, frac_count + 1 - scaled.size(), '0');
        integer.digits = scaled.substr(0, scaled.size() - frac_count);
        fraction = scaled.substr(scaled.size() - frac_count);
        if (integer.digits.size() < int_count)
            integer.digits.insert(0, int_count - integer.digits.size(), '0');
        if (int_count == 0 && integer.digits == "0")
            integer.digits.clear();  // .5
    }
    integer.count = std::min(int_count, integer.digits.size());

    std::u32string out;
    const bool shows_nonzero =
        (integer.digits + fraction).find_first_not_of('0') != std::string::npos;
    if (x < 0 && shows_nonzero)
        out += U'-';
    // Without integer placeholders the integer digits stand before the point or the exponent.
    bool integer_shown = int_count > 0;
    auto show_integer = [&] {
        if (!integer_shown)
            out += widen(integer.digits);
        integer_shown = true;
    };
    std::size_t fraction_seen = 0;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        switch (slots[i]) {
            case Slot::literal:
                out += pattern[i];
                break;
            case Slot::integer:
                integer.next(out);
                break;
            case Slot::point:
                show_integer();
                out += U'.';
                break;
            case Slot::fraction:
                out += static_cast<char32_t>(fraction[fraction_seen++]);
                break;
            case Slot::exp_letter:
                show_integer();
                out += pattern[i];
                break;
            case Slot::exp_sign:
                if (power < 0)
                    out += U'-';
                else if (pattern[i] == U'+')
                    out += U'+';
                break;
            case Slot::exponent:
                exponent.next(out);
                break;
        }
    }
    show_integer();
    return out;
}

std::u32string format_text(const std::u32string& text, std::u32string_view pattern) {
    const bool from_left = pattern.front() == U'!';
    if (from_left)
        pattern.remove_prefix(1);
    const std::size_t slots =
        static_cast<std::size_t>(std::count(pattern.begin(), pattern.end(), U'@'));
    const std::size_t size = text.size();
    std::u32string out;
    std::size_t seen = 0;
    for (char32_t ch : pattern) {
        if (ch != U'@') {
            out += ch;
            continue;
        }
        if (from_left) {
            out += seen < size ? text[seen] : U' ';
            if (seen + 1 == slots && size > slots)
                out.append(text, slots);
        } else {
            if (seen == 0 && size > slots)
                out.append(text, 0, size - slots);
            out += seen + size >= slots ? text[seen + size - slots] : U' ';
        }
        ++seen;
    }
    if (slots == 0)
        out += text;
    return out;
}

// Gives a picture-formatted number printf's look within a field of `width` characters: leading
// zeros become blanks and a minus sign moves next to the first digit (before a "0" when the
// number starts with the point). A negative width keeps the zeros. Where the sign or that "0"
// would have to stand before the first character, the text stays as it was formatted.
void printf_look(std::u32string& text, int width) {
    if (width <= 0)
        return;
    const bool negative = spectrum::leading_number(text) < 0;
    if (negative && text.front() != U'-')
        return;
    std::u32string body = negative ? text.substr(1) : text;
    const std::size_t end = std::min(static_cast<std::size_t>(width), body.size());
    for (std::size_t i = 0; i < end; ++i) {
        const char32_t ch = body[i];
        if (ch == U'0') {
            body[i] = U' ';
            continue;
        }
        if (ch == U' ')
            continue;
        if (negative && ch == U'.') {
            if (i < 2)
                return;
            body[i - 2] = U'-';
            body[i - 1] = U'0';
        } else if (negative) {
            if (i < 1)
                return;
            body[i - 1] = U'-';
        } else if (ch == U'.') {
            if (i < 1)
                return;
            body[i - 1] = U'0';
        }
        text = std::move(body);
        return;
    }
    if (!negative)
        text = std::move(body);  // a zero value is an empty field
}

// Widths and precisions live in 16 bits; their integer part must fit.
void check_field(double value, const char* what) {
    if (!(value > -32769.0 && value < 32768.0))
        raise(ErrorKind::overflow, std::string("format ") + what + " " +
                                       spectrum::number_text(value) + " is out of range");
}

char32_t lower(char32_t ch) {
    return ch >= U'A' && ch <= U'Z' ? ch - U'A' + U'a' : ch;
}

}  // namespace

std::u32string picture_format(const PrintfValue& value, std::u32string_view pattern) {
    if (pattern.empty())
        return plain_text(value);
    if (pattern.front() == U'!' || pattern.find(U'@') != std::u32string_view::npos)
        return format_text(plain_text(value), pattern);
    if (const auto* x = std::get_if<double>(&value))
        return format_number(*x, pattern);
    const auto& text = std::get<std::u32string>(value);
    double number = 0;
    return whole_number(text, number) ? format_number(number, pattern) : text;
}

void format_printf(std::u32string_view fmt, const std::vector<PrintfValue>& values,
                   std::u32string& out) {
    constexpr auto npos = std::u32string_view::npos;
    // Literal text after the last conversion ends before the first "\" (one in first place
    // does not count); a "%" behind it is still a conversion.
    std::size_t end = fmt.size();
    std::size_t backslash = fmt.find(U'\\');
    if (backslash != npos && backslash > 0)
        end = backslash;

    std::u32string result;
    std::size_t k = 0;
    std::size_t last = 0;  // index of the last character consumed; the first is never copied
    for (;;) {
        const std::size_t from = last + 1;
        const std::size_t percent = from < fmt.size() ? fmt.find(U'%', from) : npos;
        if (percent == npos) {
            if (from < end)
                result.append(fmt.substr(from, end - from));
            break;
        }
        result.append(fmt.substr(from, percent - from));

        // Width and precision: the number after "%", and the digits after the point of its
        // shortest text (8.3 gives precision 3, -9 gives 0).
        double width = spectrum::leading_number(fmt.substr(percent + 1));
        check_field(width, "width");
        const std::string width_text = short_number_text(width, false);
        double precision = 0;
        if (std::size_t point = width_text.find('.'); point != std::string::npos) {
            for (std::size_t i = point + 1;
                 i < width_text.size() && width_text[i] >= '0' && width_text[i] <= '9'; ++i)
                precision = precision * 10 + (width_text[i] - '0');
        }
        check_field(precision, "precision");
        const int prec = static_cast<int>(precision);

        // The conversion letter follows the width as its shortest text stands.
        std::size_t c = percent + 1 + (width != 0 ? width_text.size() : 0);
        auto letter_at = [&](std::size_t i) { return i < fmt.size() ? lower(fmt[i]) : U'\0'; };
        char32_t conversion = letter_at(c);
        if (conversion == U'l')
            conversion = letter_at(++c);

        int w = static_cast<int>(width);  // truncated toward zero
        std::u32string pattern(static_cast<std::size_t>(std::abs(w)), U'0');
        // Replaces the character at 1-based `position`; positions outside the pattern are left
        // alone.
        auto put = [&](long position, char32_t ch) {
            if (position >= 1 && position <= static_cast<long>(pattern.size()))
                pattern[static_cast<std::size_t>(position - 1)] = ch;
        };
        bool numeric = true;
        if (conversion == U'f') {
            if (pattern.empty()) {
                width = 8;
                w = 8;
                pattern.assign(8, U'0');
            }
            put(w - prec, U'.');
        } else if (conversion == U'e') {
            if (w - prec - 5 < 0) {
                width += 5;
                check_field(width, "width");
                w = static_cast<int>(width);
                pattern.assign(static_cast<std::size_t>(std::abs(w)), U'0');
            }
            put(w - 4, U'e');
            put(w - 3, U'+');
            put(static_cast<long>(w) - prec - 5, U'.');
            // One "0" before the point, blanks before that: " 0.0000e+000".
            if (std::size_t point = pattern.find(U'.'); point != npos && point > 0) {
                std::fill(pattern.begin(), pattern.begin() + static_cast<long>(point), U' ');
                pattern[point - 1] = U'0';
            }
        } else if (conversion == U's') {
            pattern.assign(static_cast<std::size_t>(std::abs(w)), U'@');
            if (width < 0 && !pattern.empty())
                pattern[0] = U'!';
            numeric = false;
        }

        if (k >= values.size())
            raise(ErrorKind::out_of_range,
                  "the format has no value for its conversion number " + std::to_string(k + 1));
        std::u32string text = picture_format(values[k], pattern);
        if (numeric)
            printf_look(text, w);
        result += text;
        ++k;
        last = c;
    }
    out = std::move(result);
}

}  // namespace brandel::listing
