#pragma once

#include <functional>
#include <string>
#include <vector>

#include "formats/output_formats.hpp"
#include "listing/listing_host.hpp"
#include "readers/reader_kit.hpp"
#include "spectrum/state.hpp"

namespace brandel::app {

inline constexpr std::int16_t mode_fileconv = 100;
inline constexpr std::int16_t mode_chn_edit = 200;
/// The org_type of a batch that reads each file with the one layout it fits (the command
/// line's automatic type); the window never chooses it.
inline constexpr std::int16_t org_type_auto = -2;

/// What the driver needs of the window: besides what a listing needs, the source pane and the
/// refresh of the destination list. The window implements it; tests and the command line
/// implement it without a window.
class Host : public listing::ListingHost {
  public:
    virtual std::string source_path() const = 0;  // current path of the source pane
    virtual int source_entry_count() const = 0;
    virtual std::string source_entry(int index) const = 0;  // a bare file name
    virtual bool source_selected(int index) const = 0;

    virtual void refresh_destination_list() = 0;

    /// The formats each source is written in: CHN alone unless the window offers a choice.
    virtual formats::FormatList output_formats() const { return {&formats::chn_format()}; }
    /// Whether each output is read back from the disk and compared before it replaces a file.
    virtual bool verify_outputs() const { return false; }
    /// The manifest a batch appends one line per source to; empty for none.
    virtual std::string manifest_path() const { return {}; }
};

/// A selected file that did not convert, and why.
using FileFailure = listing::FileFailure;

/// What a batch did.
struct BatchReport {
    int selected = 0;   // files asked for
    int converted = 0;  // files whose outputs were all written
    bool cancelled = false;
    std::vector<FileFailure> failures;
    /// Why the manifest could not be opened (nothing was converted then) or written; empty when
    /// it was, or when none was asked for.
    std::string manifest_error;
};

/// The CHN format alone, what a conversion writes unless it is told otherwise.
const formats::FormatList& chn_only();

/// Converts the file named by org_path with the reader of org_type and, when the reading is
/// complete, writes it in each of the formats into chn_dir: all of them, or, when one cannot be
/// written, none (an existing file of each name keeps its bytes). Returns the reader's result; a
/// write failure is a read_error outcome whose reason names the file that could not be written
/// and why ("cannot write S0123.n42: ...").
readers::ReaderResult convert_current(spectrum::State& state,
                                      const formats::FormatList& formats = chn_only());

/// Whether a batch reads its next files on a second thread while it converts the current one:
/// `automatic` does so with two or more processors; the results are the same either way.
enum class ReadAhead { off, automatic, always };

/// How a batch converts: what the window's options and the command line's choose.
struct BatchOptions {
    formats::FormatList formats = chn_only();
    ReadAhead read_ahead = ReadAhead::automatic;
    /// Every output is read back from the disk after it is flushed and before it replaces
    /// anything, and compared with the record it was written from; a difference fails the source
    /// and none of its files replaces anything.
    bool verify = false;
    /// A manifest file that gets one line per source, appended and put on the disk as each
    /// group of files is settled; empty for none.
    std::string manifest;
};

/// Converts source files given by their full paths, in order, into chn_dir (which must end in a
/// separator), each read once and written in every one of the formats. `progress` is called
/// before each file as Host::progress is. A batch writes each output file once: a later source
/// with the name of a file the batch has written fails, and so does a source whose output would
/// replace one of the batch's sources.
BatchReport convert_paths(spectrum::State& state, const std::vector<std::string>& paths,
                          const std::function<bool(int, int, const std::string&)>& progress,
                          const BatchOptions& options);
BatchReport convert_paths(spectrum::State& state, const std::vector<std::string>& paths,
                          const std::function<bool(int, int, const std::string&)>& progress,
                          ReadAhead read_ahead = ReadAhead::automatic,
                          const formats::FormatList& formats = chn_only());

/// The text of the message box that ends a batch with failures or a manifest that could not be
/// written; empty when nothing failed.
std::string summary_text(const BatchReport& report);

/// The start button: runs the batch of the mode, then re-reads the destination list.
void Command1_Click(spectrum::State& state, Host& host);
/// The FILEconv batch over the selected source entries, in list order.
BatchReport convert_org_files(spectrum::State& state, Host& host);
/// The CHN_edit action of org_type.
void run_chn_edit_action(spectrum::State& state, Host& host);

/// A CHN_edit action; the table of actions by org_type has empty slots for the others.
using ChnEditAction = void (*)(spectrum::State& state, Host& host);
/// The action of an org_type in CHN_edit mode, or nullptr.
ChnEditAction chn_edit_action(std::int16_t org_type);

}  // namespace brandel::app
