#pragma once

#include <string>
#include <string_view>

#include "listing/grid.hpp"
#include "spectrum/state.hpp"

namespace brandel::listing {

/// Columns of the comment listing: No, FileName, ext, LiveTime, Date, Time, site, comment.
inline constexpr int listing_columns = 8;

/// The listing's format string. The comment column is as wide as its header: the word comment
/// and 60 blanks.
std::u32string listing_format();

/// Where the next row of the listing goes. It lives as long as the grid and keeps its value
/// between listings.
struct ListingState {
    int next_row = 0;
};

/// Writes the row of one CHN file, just loaded by read_chn, into the grid. `index` is the
/// file's position in the listing from 0: the first file sets up the columns and the header and
/// starts again at row 1. The grid grows by 32 rows whenever fewer than 9 rows are left from the
/// row written. The last file (`is_last`) finishes the listing.
void add_listing_row(Grid& grid, ListingState& listing, const spectrum::State& state, int index,
                     std::u32string_view base_name, bool is_last);

/// Finishes a listing: the grid keeps the header and the rows written (rows left by an earlier,
/// longer listing go), becomes visible, and the first file's name cell is made current.
void finish_listing(Grid& grid, const ListingState& listing);

}  // namespace brandel::listing
