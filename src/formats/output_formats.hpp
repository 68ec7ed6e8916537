#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/spectrum_values.hpp"
#include "spectrum/state.hpp"

namespace brandel::formats {

/// A format a conversion can write: its name, the extension of its files, the bytes of a record
/// in it, and the reader of those files (nullptr where there is none).
struct OutputFormat {
    std::string_view name;       // as the command line names it: "chn", "spe", "n42", "csv"
    std::string_view extension;  // of the output file, without the dot
    std::string (*bytes)(const spectrum::State& state);
    FormatReading (*read_back)(std::string_view bytes);
};

/// The formats, in the order a conversion writes them: CHN, SPE, N42, CSV.
std::span<const OutputFormat> output_formats();

/// The CHN format, the one written when no other is chosen.
const OutputFormat& chn_format();

/// The format of a name, ignoring the case of its letters; nullptr when there is none.
const OutputFormat* find_output_format(std::string_view name);

/// Formats chosen for a conversion, each once, in the order of output_formats().
using FormatList = std::vector<const OutputFormat*>;

/// The formats of a text such as "chn,spe": names joined by commas, each once or more. Returns
/// an error message ("unknown format xyz"), empty when the text names formats only.
std::string parse_format_list(std::string_view text, FormatList& formats);

/// The formats' names joined by commas: "chn,spe".
std::string format_list_text(const FormatList& formats);

/// The output path of a format: chn_dir + base name of org_path + "." + its extension. Raises an
/// invalid-name error when the path gives no base name.
std::string output_path(const spectrum::State& state, const OutputFormat& format);

/// The format whose files have the extension of a path (its case ignored) and that has a
/// reader, or nullptr: what read_output_file can read.
const OutputFormat* readable_format_of(std::string_view path);

/// Reads an output file of a format that has a reader, by its extension. Only a regular file
/// of at most 64 MB is read. Never raises: a file that cannot be read gives the reason.
FormatReading read_output_file(const std::string& path);

}  // namespace brandel::formats
