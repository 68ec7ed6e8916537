#pragma once

#include <string>

#include "listing/listing.hpp"
#include "listing/memory_grid.hpp"

namespace brandel::listing {

/// A file that could not be processed, and why.
struct FileFailure {
    std::string path;  // the file's path as it was opened
    std::string reason;
};

/// What the listing actions need of whoever runs them: the destination pane's folder and
/// entries, the busy pointers, one message box, progress, and the grid with its window. The
/// window implements it; tests and the command line implement it without a window.
class ListingHost {
  public:
    virtual ~ListingHost() = default;

    virtual std::string destination_path() const = 0;  // current path of the destination pane
    virtual int destination_entry_count() const = 0;
    virtual std::string destination_entry(int index) const = 0;  // a bare file name

    virtual void set_busy(bool busy) = 0;
    virtual void message_box(const std::string& text) = 0;  // modal, OK only, titled "Brandel"

    /// Called before each file of a batch or listing with the files done so far, the total and
    /// the next file's name; returning false stops before that file.
    virtual bool progress(int done, int total, const std::string& name) {
        (void)done, (void)total, (void)name;
        return true;
    }
    /// Called once when a batch or listing ends.
    virtual void progress_done() {}

    /// The grid of the comment listing, made on first use and kept for the rest of the run: the
    /// grid editor window's grid in the window, a grid in memory without one.
    virtual Grid& listing_grid() { return memory_grid_; }
    /// The busy pointer of the grid's window.
    virtual void set_grid_busy(bool busy) { (void)busy; }
    /// Shows the grid's window modally; returns when the user closes it.
    virtual void show_grid_modal() {}
    /// Called when a listing has been made: the folder it lists and a line that says what it
    /// found ("No CHN files in <folder>." for a folder without any).
    virtual void listing_made(const std::string& folder, const std::string& status) {
        (void)folder, (void)status;
    }
    /// Called when the current spectrum has been written to a CHN file, with that file's path.
    virtual void chn_written(const std::string& path) { (void)path; }
    /// Where the listing's next row goes; kept, like the grid, for the rest of the run.
    ListingState& listing_state() { return listing_state_; }

  private:
    MemoryGrid memory_grid_;
    ListingState listing_state_;
};

}  // namespace brandel::listing
