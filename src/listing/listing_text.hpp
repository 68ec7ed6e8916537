#pragma once

#include <string>

#include "listing/grid.hpp"

namespace brandel::listing {

/// How the listing is written out as text.
enum class TableText {
    tab,  // one line per row, cells separated by TAB, control characters as blanks, LF line ends
    csv,  // RFC 4180: cells kept exactly, quoted where needed, CR LF line ends
};

/// The listing in a grid as UTF-8 text: a first line with the column headers (without the blanks
/// that widen them), then one line per data row with the cells exactly as the grid holds them.
/// The command line's listing and the window's Export both write this text.
std::string listing_text(const Grid& grid, TableText kind);

}  // namespace brandel::listing
