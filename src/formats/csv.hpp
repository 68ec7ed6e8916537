#pragma once

#include <string>

#include "spectrum/state.hpp"

namespace brandel::formats {

/// The CSV file of the record, for spreadsheets and scripts: the header
/// "channel,energy_keV,counts", then one row per channel from 0, CR LF line ends (RFC 4180, as
/// the comment listing's CSV). The energy of channel c is energy_zero + energy_slope * c +
/// energy_quad * c * c of the trailer's terms, in double precision; it is empty when the terms
/// are no calibration (see has_calibration).
std::string csv_bytes(const spectrum::State& state);

}  // namespace brandel::formats
