#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "formats/spectrum_values.hpp"

#include "spectrum/state.hpp"

namespace brandel::formats {

/// The CSV file of the record, for spreadsheets and scripts: the header
/// "channel,energy_keV,counts", then one row per channel from 0, CR LF line ends (RFC 4180, as
/// the comment listing's CSV). The energy of channel c is energy_zero + energy_slope * c +
/// energy_quad * c * c of the trailer's terms, in double precision; it is empty when the terms
/// are no calibration (see has_calibration).
std::string csv_bytes(const spectrum::State& state);

/// What a CSV file of csv_bytes's layout holds: the counts, and each channel's energy.
struct CsvReading {
    bool complete = false;
    std::string reason;
    std::vector<std::int32_t> counts;
    std::vector<double> energies;  // NaN where a row's energy is empty
};

/// Reads a CSV file of csv_bytes's layout: the header line, then rows "channel,energy,counts"
/// numbered from 0, each line ending in CR LF or LF. Never raises: a file that does not read
/// gives the reason and the line.
CsvReading read_csv(std::string_view bytes);

}  // namespace brandel::formats
