#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "formats/spectrum_values.hpp"
#include "spectrum/state.hpp"

namespace brandel::gui {

/// Files larger than this are not read for a preview, so a selection never stalls the window.
inline constexpr std::uintmax_t preview_limit_bytes = std::uintmax_t{4} << 20;

/// What the preview knows of one file, read into a record of its own; nothing is written.
struct PreviewReading {
    std::string path;
    bool too_large = false;
    std::uintmax_t size = 0;
    std::vector<int> fits;  // the types whose reader completes on the file, by index
    int read_as = -1;       // the type the record was read with, -1 when none was
    bool complete = false;  // the reading under read_as completed
    std::string reason;     // why it did not, or why nothing was read
    std::unique_ptr<spectrum::State> state;  // the record read, when something was
    double live_seconds = 0;
    double real_seconds = 0;
    /// What a file of another output format holds (SPE, N42, CSV), in place of `state`.
    std::optional<formats::SpectrumValues> values;
    /// Whether `values` hold a start, times and a description: a CSV file holds counts and
    /// energies alone.
    bool values_complete = true;
    /// The format of a file of the CHN file list: "CHN", "SPE", "N42" or "CSV".
    std::string kind;
    /// A line shown under the fields; empty for none.
    std::string notes;
};

/// Reads a source file for the preview: the types it fits, then the record under `chosen`
/// (an index 0..8), or with none chosen (-1) under the one type it fits.
PreviewReading read_source_preview(const std::string& path, int chosen);

/// Reads a CHN file for the preview.
PreviewReading read_chn_preview(const std::string& path);

/// Reads a file of the CHN file list, in any of the formats a conversion writes, by its
/// extension (a CHN file as read_chn_preview does).
PreviewReading read_output_preview(const std::string& path);

/// The energy terms of a channel's energies (NaN where there is none): the quadratic through
/// the first three channels, the line through two, nothing for fewer or where any is NaN. The
/// terms are 0, 1, 0 when there are none.
void terms_of_energies(const std::vector<double>& energies, formats::SpectrumValues& values);

}  // namespace brandel::gui
