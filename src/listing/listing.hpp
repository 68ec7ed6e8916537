#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "listing/grid.hpp"
#include "spectrum/state.hpp"

namespace brandel::listing {

/// Columns of the comment listing: No, FileName, ext, LiveTime, Date, Time, site, comment.
inline constexpr int listing_columns = 8;
/// The columns whose cells the user may edit.
inline constexpr int date_column = 4;
inline constexpr int time_column = 5;
inline constexpr int comment_column = 7;

/// The listing's format string. The comment column is as wide as its header: the word comment
/// and 60 blanks.
std::u32string listing_format();

/// The CHN file behind a row of the listing, as it was when its row was written: edits of the row
/// are saved into it only while it is still the same file.
struct ListedFile {
    std::string path;  // full path, UTF-8
    spectrum::RecordSource layout = spectrum::RecordSource::none;
    spectrum::FileStamp stamp;
    std::u32string date, time, comment;  // the cells as written
};

/// Where the next row of the listing goes, and the file of each row written (row r is
/// files[r - 1]). It lives as long as the grid and keeps its value between listings.
struct ListingState {
    int next_row = 0;
    std::vector<ListedFile> files;
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

/// Empties the listing: the grid keeps its eight columns and the header row only.
void clear_listing(Grid& grid, ListingState& listing);

}  // namespace brandel::listing
