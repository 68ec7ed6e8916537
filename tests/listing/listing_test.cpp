#include "listing/listing.hpp"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "listing/memory_grid.hpp"
#include "spectrum/text.hpp"

namespace brandel::listing {
namespace {

using spectrum::State;
using spectrum::to_utf8;
using spectrum::widen;

std::string cell(const MemoryGrid& grid, int row, int col) {
    return to_utf8(grid.cell(row, col));
}

State loaded(std::int32_t live_time, const char* comment = "") {
    State state;
    state.chn_header.live_time = live_time;
    state.chn_header.start_date.assign(U"05Jul031");
    state.chn_header.start_time.assign(U"142337");
    state.text_buf.assign(widen(comment));
    return state;
}

// Lists `count` files named f1, f2, ... into the grid, the last one finishing the listing.
void list_files(MemoryGrid& grid, ListingState& listing, int count) {
    const State state = loaded(120);
    for (int i = 0; i < count; ++i)
        add_listing_row(grid, listing, state, i, widen("f" + std::to_string(i + 1)),
                        i == count - 1);
}

TEST(ListingRows, ThreeFilesAreNumberedAndTheGridKeepsOnlyTheirRows) {
    MemoryGrid grid;
    ListingState listing;
    grid.set_visible(false);
    list_files(grid, listing, 3);

    EXPECT_EQ(grid.rows(), 4);
    EXPECT_EQ(grid.cols(), 8);
    for (int r = 1; r <= 3; ++r) {
        EXPECT_EQ(cell(grid, r, 0), std::to_string(r));
        EXPECT_EQ(cell(grid, r, 1), "f" + std::to_string(r) + "      ");
    }
    EXPECT_EQ(listing.next_row, 4);
    EXPECT_TRUE(grid.visible());
    // The first file's name cell is current.
    EXPECT_EQ(grid.row(), 1);
    EXPECT_EQ(grid.col(), 1);
}

TEST(ListingRows, OneFileSetsUpTheHeaderAndFinishes) {
    MemoryGrid grid;
    ListingState listing;
    list_files(grid, listing, 1);

    ASSERT_EQ(grid.rows(), 2);
    const std::vector<std::string> headers = {
        "No   ",     "FileName ", "ext ",  "LiveTime ",
        "Date     ", "Time     ", "site ", "comment" + std::string(60, ' ')};
    const std::vector<Alignment> alignments = {Alignment::right, Alignment::left,  Alignment::left,
                                               Alignment::right, Alignment::right, Alignment::right,
                                               Alignment::right, Alignment::left};
    for (int c = 0; c < 8; ++c) {
        EXPECT_EQ(cell(grid, 0, c), headers[static_cast<std::size_t>(c)]) << "column " << c;
        EXPECT_EQ(grid.alignment(c), alignments[static_cast<std::size_t>(c)]) << "column " << c;
    }
}

TEST(ListingRows, TheGridGrowsBy32RowsKeepingNineAhead) {
    MemoryGrid grid;  // a new grid has 2 rows
    ListingState listing;
    const State state = loaded(0);
    add_listing_row(grid, listing, state, 0, U"a", false);
    EXPECT_EQ(grid.rows(), 34);
    for (int i = 1; i < 25; ++i)
        add_listing_row(grid, listing, state, i, U"a", false);
    EXPECT_EQ(grid.rows(), 34) << "row 25 still leaves 9 rows";
    ASSERT_EQ(listing.next_row, 26);
    add_listing_row(grid, listing, state, 25, U"a", false);
    EXPECT_EQ(grid.rows(), 66);
}

TEST(ListingRows, AShorterListingRemovesTheRowsOfALongerOne) {
    MemoryGrid grid;
    ListingState listing;
    list_files(grid, listing, 5);
    list_files(grid, listing, 2);
    EXPECT_EQ(grid.rows(), 3);
    EXPECT_EQ(cell(grid, 2, 0), "2");
}

struct CellRow {
    const char* name;
    std::int32_t live_time;
    const char* base_name;
    const char* name_cell;
    const char* live_cell;
};

void PrintTo(const CellRow& row, std::ostream* os) {
    *os << row.name;
}

class ListingCells : public ::testing::TestWithParam<CellRow> {};

TEST_P(ListingCells, CellsAreLaidOutFromTheRecord) {
    const CellRow& row = GetParam();
    MemoryGrid grid;
    ListingState listing;
    const State state = loaded(row.live_time, "Co-60 check");
    add_listing_row(grid, listing, state, 0, widen(row.base_name), true);

    EXPECT_EQ(cell(grid, 1, 0), "1");
    EXPECT_EQ(cell(grid, 1, 1), row.name_cell);
    EXPECT_EQ(cell(grid, 1, 2), "CHN ");
    EXPECT_EQ(cell(grid, 1, 3), row.live_cell);
    EXPECT_EQ(cell(grid, 1, 4), "05Jul031");
    EXPECT_EQ(cell(grid, 1, 5), "142337");
    EXPECT_EQ(cell(grid, 1, 6), "0");
    EXPECT_EQ(cell(grid, 1, 7), "Co-60 check" + std::string(53, ' '));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ListingCells,
    ::testing::Values(CellRow{"FiveCharacterName", 120, "S0123", "S0123   ", "     120"},
                      CellRow{"ZeroLiveTimeIsBlank", 0, "S0123", "S0123   ", "        "},
                      CellRow{"NegativeLiveTime", -56, "a", "a       ", "     -56"},
                      CellRow{"EightDigits", 12345678, "ABCDEFGH", "ABCDEFGH", "12345678"},
                      CellRow{"WideValuesAreKeptWhole", 123456789, "ABCDEFGHIJ", "ABCDEFGHIJ",
                              "123456789"}),
    [](const ::testing::TestParamInfo<CellRow>& info) { return info.param.name; });

TEST(FormatString, PartsGiveAlignmentAndHeader) {
    const std::vector<ColumnFormat> columns = parse_format_string(U">No |<a|^mid|plain|");
    ASSERT_EQ(columns.size(), 5u);
    EXPECT_EQ(columns[0].alignment, Alignment::right);
    EXPECT_EQ(columns[0].header, U"No ");
    EXPECT_EQ(columns[1].alignment, Alignment::left);
    EXPECT_EQ(columns[2].alignment, Alignment::center);
    EXPECT_EQ(columns[3].alignment, Alignment::left);
    EXPECT_EQ(columns[3].header, U"plain");
    EXPECT_EQ(columns[4].header, U"");
}

TEST(MemoryGridTest, CurrentCellStaysInsideTheGrid) {
    MemoryGrid grid;
    grid.set_rows(10);
    grid.set_row(9);
    grid.set_rows(3);
    EXPECT_EQ(grid.row(), 2);
    EXPECT_THROW(grid.set_row(3), std::out_of_range);
    EXPECT_THROW(grid.set_col(2), std::out_of_range);
    EXPECT_THROW(grid.set_rows(0), std::out_of_range);
}

}  // namespace
}  // namespace brandel::listing
