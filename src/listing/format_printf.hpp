#pragma once

#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace brandel::listing {

/// One value handed to format_printf: a text or a number.
using PrintfValue = std::variant<std::u32string, double>;

/// Formats one value by a picture pattern.
///
/// Numeric patterns: "0" is a digit placeholder (integer digits beyond the placeholders are all
/// shown, never cut), the first "." the decimal point, "e+" or "e-" (either case) followed by
/// "0"s an exponent of at least that many digits ("e+" always shows its sign, "e-" only a minus).
/// Every other character stands for itself. A negative value that does not round to zero gets a
/// "-" in front of everything else. Numbers are rounded half away from zero on their decimal
/// form of 15 significant digits, so 2.675 with "0.00" gives 2.68. A text formatted by a numeric
/// pattern is formatted as its number when the whole text is one, and shown unchanged otherwise.
///
/// Text patterns (any "@", or "!" first): each "@" shows one character of the value's text,
/// filled from the right with blanks on the left, or from the left when "!" leads. A text longer
/// than its placeholders is kept whole: the characters that do not fit stand before the first
/// placeholder (or after the last one when filling from the left).
///
/// An empty pattern gives the value's plain text: a text as it is, a number with up to 15
/// significant digits (0.5, 1234, 1E+20).
std::u32string picture_format(const PrintfValue& value, std::u32string_view pattern);

/// Formats `values` by a printf-like format into `out`.
///
/// The first character of `fmt` is never copied, and literal text after the last conversion
/// ends before the first "\". Each "%" takes a width (a number, may be negative and carry a
/// precision after a point) and a conversion letter, optionally after "l": "d" (and any letter
/// not named here) a whole number, "f" fixed point, "e" scientific, "s" text (a negative width
/// left-justifies in a field one character narrower). The k-th conversion formats values[k].
/// Numbers come out as printf shows them: leading zeros become blanks (a zero value is all
/// blanks) and the minus sign stands next to the first digit; with a negative width a number
/// keeps its leading zeros. A number too wide for its field is shown whole.
///
/// Raises spectrum::SpectrumError: out_of_range for a conversion without a value, overflow for
/// a width or precision beyond -32768..32767.
void format_printf(std::u32string_view fmt, const std::vector<PrintfValue>& values,
                   std::u32string& out);

}  // namespace brandel::listing
