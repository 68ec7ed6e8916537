#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

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
};

/// Reads a source file for the preview: the types it fits, then the record under `chosen`
/// (an index 0..8), or with none chosen (-1) under the one type it fits.
PreviewReading read_source_preview(const std::string& path, int chosen);

/// Reads a CHN file for the preview.
PreviewReading read_chn_preview(const std::string& path);

}  // namespace brandel::gui
