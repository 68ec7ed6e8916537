#include "listing/listing_text.hpp"

#include <gtest/gtest.h>

#include "listing/listing.hpp"
#include "listing/memory_grid.hpp"
#include "spectrum/text.hpp"

namespace brandel::listing {
namespace {

// A listing of two files, the second with a comment that needs quoting in CSV.
MemoryGrid two_rows() {
    MemoryGrid grid;
    ListingState listing;
    spectrum::State state;
    state.chn_header.live_time = 120;
    state.chn_header.start_date.assign(U"05Jul031");
    state.chn_header.start_time.assign(U"142337");
    state.text_buf.assign(U"Co-60");
    add_listing_row(grid, listing, state, 0, U"S0123", false);
    state.text_buf.assign(U"say \"hi\", then\r\nstop 試料");
    add_listing_row(grid, listing, state, 1, U"S0124", true);
    return grid;
}

TEST(ListingText, CsvKeepsEveryCellExactlyAndQuotesWhereNeeded) {
    const std::string pad44(44, ' ');
    EXPECT_EQ(listing_text(two_rows(), TableText::csv),
              "No,FileName,ext,LiveTime,Date,Time,site,comment\r\n"
              "1,S0123   ,CHN ,     120,05Jul031,142337,0,Co-60" +
                  std::string(59, ' ') +
                  "\r\n"
                  "2,S0124   ,CHN ,     120,05Jul031,142337,0,\"say \"\"hi\"\", then\r\nstop 試料" +
                  std::string(41, ' ') + "\"\r\n");
}

TEST(ListingText, TabTextKeepsEachRowOnOneLine) {
    const std::string text = listing_text(two_rows(), TableText::tab);
    EXPECT_EQ(text.substr(0, text.find('\n')),
              "No\tFileName\text\tLiveTime\tDate\tTime\tsite\tcomment");
    EXPECT_NE(text.find("\t0\tsay \"hi\", then  stop 試料"), std::string::npos) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3);
}

TEST(ListingText, AnEmptyListingIsTheHeaderAlone) {
    MemoryGrid grid = two_rows();
    ListingState listing;
    clear_listing(grid, listing);
    EXPECT_EQ(listing_text(grid, TableText::csv),
              "No,FileName,ext,LiveTime,Date,Time,site,comment\r\n");
}

}  // namespace
}  // namespace brandel::listing
