#include "listing/actions.hpp"

#include <exception>

#include "spectrum/chn_file.hpp"
#include "spectrum/paths.hpp"
#include "spectrum/text.hpp"

namespace brandel::listing {

using spectrum::RecordSource;
using spectrum::State;

namespace {

// Lines of a message box beyond which the rest is only counted.
constexpr std::size_t message_lines = 30;

// A file's name as a message shows it: on one line, whatever it holds.
std::string file_name_of(const std::string& path) {
    return spectrum::escape_name(spectrum::file_name_of(path));
}

// The main window's and the grid window's busy pointers, shown while a listing runs and
// restored whatever ends it.
class BusyPointers {
  public:
    explicit BusyPointers(ListingHost& host) : host_(host) { host_.set_busy(true); }
    void grid_busy() {
        host_.set_grid_busy(true);
        grid_ = true;
    }
    ~BusyPointers() {
        host_.set_busy(false);
        if (grid_)
            host_.set_grid_busy(false);
    }
    BusyPointers(const BusyPointers&) = delete;
    BusyPointers& operator=(const BusyPointers&) = delete;

  private:
    ListingHost& host_;
    bool grid_ = false;
};

}  // namespace

ListingReport build_listing(State& state, ListingHost& host) {
    state.chn_dir = spectrum::with_trailing_separator(host.destination_path());
    ListingReport report;
    BusyPointers busy(host);
    Grid& grid = host.listing_grid();
    grid.set_visible(false);
    busy.grid_busy();

    ListingState& listing = host.listing_state();
    const int n = host.destination_entry_count();
    bool finished = false;
    for (int i = 0; i < n; ++i) {
        const std::string entry = host.destination_entry(i);
        if (!host.progress(i, n, entry)) {
            report.cancelled = true;
            break;
        }
        state.org_path = state.chn_dir + entry;
        try {
            spectrum::read_chn(state);
        } catch (const std::exception& e) {
            report.skipped.push_back({state.org_path, e.what()});
            continue;
        }
        const bool last = i == host.destination_entry_count() - 1;
        add_listing_row(grid, listing, state, report.listed,
                        spectrum::from_utf8(entry.substr(0, entry.find('.'))), last);
        ++report.listed;
        finished = last;
    }
    // The last file may have been skipped, or the listing cancelled: the rows written are
    // finished all the same. Without a row the grid keeps its header alone, so that no row of
    // another folder stays in it.
    if (report.listed == 0)
        clear_listing(grid, listing);
    else if (!finished)
        finish_listing(grid, listing);
    host.progress_done();
    host.listing_made(host.destination_path(), listing_status(report, host.destination_path()));
    return report;
}

std::string listing_status(const ListingReport& report, const std::string& folder) {
    const std::string shown = spectrum::escape_name(folder);
    if (report.listed == 0 && report.skipped.empty() && !report.cancelled)
        return "No CHN files in " + shown + ".";
    std::string text =
        report.listed == 1 ? "1 CHN file" : std::to_string(report.listed) + " CHN files";
    if (!report.skipped.empty())
        text += ", " + std::to_string(report.skipped.size()) + " not readable";
    if (report.cancelled)
        text += " (cancelled)";
    return text;
}

std::string skipped_text(const ListingReport& report) {
    if (report.skipped.empty())
        return {};
    const std::size_t count = report.skipped.size();
    std::string text =
        count == 1 ? "1 CHN file could not be read and is not listed:\n"
                   : std::to_string(count) + " CHN files could not be read and are not listed:\n";
    for (std::size_t i = 0; i < count; ++i) {
        if (i == message_lines) {
            text += "\n... and " + std::to_string(count - message_lines) + " more.";
            break;
        }
        text += "\n" + file_name_of(report.skipped[i].path) + ": " +
                spectrum::escape_controls(report.skipped[i].reason);
    }
    return text;
}

void make_listing(State& state, ListingHost& host) {
    const ListingReport report = build_listing(state, host);
    if (!report.skipped.empty())
        host.message_box(skipped_text(report));
    host.listing_grid().set_visible(true);
    host.show_grid_modal();
}

void write_current_chn(State& state, ListingHost& host) {
    const std::string name = file_name_of(state.record_file);
    try {
        switch (state.record_source) {
            case RecordSource::none:
                host.message_box("Nothing to write yet: convert a file or make the listing first.");
                return;
            case RecordSource::conversion_failed:
                host.message_box("Nothing was written: " + name +
                                 " did not convert, so there is no complete spectrum to write.");
                return;
            case RecordSource::chn_unreadable:
                host.message_box("Nothing was written: " + name +
                                 " could not be read, so there is no complete spectrum to write.");
                return;
            case RecordSource::chn_comment:
                host.message_box("Nothing was written: " + name +
                                 " has a comment in place of the trailer, a layout that cannot be "
                                 "written back.");
                return;
            case RecordSource::chn_other:
                host.message_box("Nothing was written: the seconds bytes of " + name +
                                 " match no known CHN layout, so it cannot be written back.");
                return;
            case RecordSource::chn_standard:
                spectrum::write_chn_as_read(state);
                host.chn_written(state.record_file);
                return;
            case RecordSource::converted:
                spectrum::write_chn(state);
                host.chn_written(spectrum::chn_output_path(state));
                return;
        }
    } catch (const std::exception& e) {
        host.message_box(e.what());
    }
}

}  // namespace brandel::listing
