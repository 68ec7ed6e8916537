#pragma once

#include <string>
#include <vector>

#include "listing/listing_host.hpp"
#include "spectrum/state.hpp"

namespace brandel::listing {

/// What a listing did.
struct ListingReport {
    int listed = 0;  // rows written
    bool cancelled = false;
    std::vector<FileFailure> skipped;  // CHN files that could not be read, and why
};

/// Lists every CHN file of the destination list into the host's grid, in list order: chn_dir
/// becomes the destination folder, each file is loaded with read_chn and gets its row. A file
/// that cannot be read is skipped and the listing goes on with the next one; the rows written
/// are numbered without gaps and always finished. Both busy pointers show while it runs and
/// return to normal however it ends. The spectrum record is left holding the last file read.
ListingReport build_listing(spectrum::State& state, ListingHost& host);

/// The line that says what a listing of `folder` found.
std::string listing_status(const ListingReport& report, const std::string& folder);

/// The message that names the files a listing skipped; empty when it skipped none.
std::string skipped_text(const ListingReport& report);

/// "Make Tesmo.CMT": builds the listing, tells in one message box which files were skipped,
/// and shows the grid editor window modally.
void make_listing(spectrum::State& state, ListingHost& host);

/// "WriteTesmo.CMT": writes the spectrum record once more. A CHN file read by the listing is
/// written back with its own header and trailer bytes, so it keeps every byte; a converted
/// spectrum goes through write_chn. A record that is incomplete, or that came from a CHN layout
/// without a trailer, is not written, and a message box says why.
void write_current_chn(spectrum::State& state, ListingHost& host);

}  // namespace brandel::listing
