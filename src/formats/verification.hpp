#pragma once

#include <string>
#include <string_view>

#include "formats/output_formats.hpp"
#include "formats/spectrum_values.hpp"

namespace brandel::formats {

/// Why the bytes of an output file, as read back from the disk, are not the file written from
/// `values`: they are read with the reader of the format and compared value by value (every
/// count, the live and real times, the start, the three energy terms, the description, as far
/// as the format carries them), then byte by byte with `written`. The reason names the format,
/// the file and the first difference: "verification failed: SPE file S0123.spe: channel 17
/// reads 5, 6 was written". Empty when the file is what was written. Never raises.
std::string verification_failure(const OutputFormat& format, const std::string& file_name,
                                 std::string_view on_disk, std::string_view written,
                                 const SpectrumValues& values);

/// The first difference between values read back and the values written, as a verification
/// reason names it ("channel 17 reads 5, 6 was written"); empty when they agree. Energy terms
/// that are both not numbers agree.
std::string first_difference(const SpectrumValues& read, const SpectrumValues& written);

}  // namespace brandel::formats
