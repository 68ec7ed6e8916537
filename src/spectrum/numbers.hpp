#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace brandel::spectrum {

/// The leading number of a text, as a 64-bit float. Blanks, tabs and line feeds are dropped
/// wherever they stand; then come an optional sign, digits with at most one "." and an optional
/// exponent (E or D, either case, optional sign, digits). Reading stops at the first character
/// that cannot continue the number; a text without a number gives 0. "12 34" gives 1234.
double leading_number(std::u32string_view text);
double leading_number(std::string_view ascii);

/// Rounds to the nearest integer, halves to even (2.5 gives 2, 3.5 gives 4); a result outside the
/// field's range (or not a number) raises an overflow error.
/// `what` names the value in the error message ("Channel No 40000 is out of range ...").
std::int16_t round_to_int16(double value, std::string_view what = "value");
std::int32_t round_to_int32(double value, std::string_view what = "value");
std::uint8_t round_to_uint8(double value, std::string_view what = "value");
/// Converts to a 32-bit float; a finite value beyond its range raises an overflow error.
float to_float32(double value, std::string_view what = "value");

/// Ticks of 20 ms: seconds x 50, rounded halves to even into a signed 32-bit count.
std::int32_t seconds_to_ticks(double seconds, std::string_view what = "time");

/// The decimal text of a number without blanks: whole numbers without a point (1, -5),
/// others in their shortest exact form (0.5).
std::string number_text(double value);

/// The shortest decimal text that reads back as the same 32-bit float (0.1, 1.2e-05).
std::string float_text(float value);

}  // namespace brandel::spectrum
