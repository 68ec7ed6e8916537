#include "spectrum/months.hpp"

#include <array>

namespace brandel::spectrum {

namespace {
constexpr std::array<std::string_view, 12> month_names = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                                          "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
}

std::string_view num2month(std::int16_t month) {
    if (month < 1 || month > 12)
        return {};
    return month_names[static_cast<std::size_t>(month - 1)];
}

std::int16_t month2num(std::string_view name) {
    if (name.size() != 3)
        return 0;
    for (std::size_t m = 0; m < month_names.size(); ++m) {
        bool equal = true;
        for (std::size_t i = 0; i < 3 && equal; ++i) {
            char c = name[i];
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
            equal = c == month_names[m][i];
        }
        if (equal)
            return static_cast<std::int16_t>(m + 1);
    }
    return 0;
}

}  // namespace brandel::spectrum
