#pragma once

#include <cstdint>
#include <string_view>

namespace brandel::spectrum {

/// The upper-case three-letter month name ("JAN" ... "DEC") of a month number 1 to 12; the empty
/// text for every other number.
std::string_view num2month(std::int16_t month);

/// The number 1 to 12 of a three-letter month name in any case ("jan", "Jan", "JAN"); 0 for any
/// other text. Nothing is trimmed and no prefix matches.
std::int16_t month2num(std::string_view name);

}  // namespace brandel::spectrum
