#include "listing/listing.hpp"

#include <array>
#include <string>

#include "listing/format_printf.hpp"

namespace brandel::listing {

namespace {

// The grid always keeps this many empty rows beyond the row being written, and grows by a step.
constexpr int spare_rows = 9;
constexpr int growth_step = 32;

std::u32string formatted(std::u32string_view fmt, PrintfValue value) {
    std::u32string out;
    format_printf(fmt, {std::move(value)}, out);
    return out;
}

}  // namespace

std::u32string listing_format() {
    return U">No   |<FileName |<ext |>LiveTime |>Date     |>Time     |>site |<comment" +
           std::u32string(60, U' ');
}

void add_listing_row(Grid& grid, ListingState& listing, const spectrum::State& state, int index,
                     std::u32string_view base_name, bool is_last) {
    if (index == 0) {
        grid.set_cols(listing_columns);
        grid.set_format_string(listing_format());
        listing.next_row = 1;
        listing.files.clear();
    }
    const int rows = grid.rows();
    if (rows < listing.next_row + spare_rows)
        grid.set_rows(rows + growth_step);

    const spectrum::ChnHeader& h = state.chn_header;
    // The formatter never copies its format's first character, so neither cell gets a leading
    // blank; the negative width leaves the name an 8-place field.
    const std::array<std::u32string, listing_columns> cells = {
        spectrum::widen(std::to_string(index + 1)),
        formatted(U" %-9s", std::u32string(base_name)),
        U"CHN ",
        formatted(U" %8ld", static_cast<double>(h.live_time)),
        h.start_date.str(),
        h.start_time.str(),
        U"0",
        state.text_buf.str(),
    };
    grid.set_row(listing.next_row);
    for (int c = 0; c < listing_columns; ++c) {
        grid.set_col(c);
        grid.set_text(cells[static_cast<std::size_t>(c)]);
    }
    ++listing.next_row;
    listing.files.resize(static_cast<std::size_t>(listing.next_row - 1));
    listing.files.back() = {.path = state.org_path,
                            .layout = state.record_source,
                            .stamp = state.disk_stamp,
                            .date = cells[date_column],
                            .time = cells[time_column],
                            .comment = cells[comment_column]};

    if (is_last)
        finish_listing(grid, listing);
}

void finish_listing(Grid& grid, const ListingState& listing) {
    grid.set_rows(listing.next_row);
    grid.set_visible(true);
    grid.set_row(0);
    grid.set_col(0);
    grid.set_col(1);
    grid.set_row(1);
}

void clear_listing(Grid& grid, ListingState& listing) {
    grid.set_cols(listing_columns);
    grid.set_format_string(listing_format());
    grid.set_rows(1);
    listing.next_row = 1;
    listing.files.clear();
}

}  // namespace brandel::listing
