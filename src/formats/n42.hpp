#pragma once

#include <string>
#include <string_view>

#include "formats/spectrum_values.hpp"
#include "spectrum/state.hpp"

namespace brandel::formats {

/// The ANSI N42.42-2012 document of the record, UTF-8, valid against the standard's schema: the
/// instrument and detector information the schema asks for, one EnergyCalibration with the three
/// terms, and one RadMeasurement with the description as its Remark, its StartDateTime (no
/// zone), RealTimeDuration and one Spectrum with its LiveTimeDuration and ChannelData, the counts
/// separated by blanks. The schema wants a real time above 0 and a start of the calendar; a
/// record without them raises a cannot-write error, as does a calibration term that is not a
/// finite number.
std::string n42_bytes(const spectrum::State& state);

/// Reads an N42-2012 document: the first Spectrum of the first RadMeasurement that holds one,
/// its ChannelData plain or with the compression "CountedZeroes", its live time, the
/// measurement's start, real time and first Remark, and the terms of the EnergyCalibration the
/// spectrum refers to (0, 1, 0 without one). Never raises: a document that does not read gives
/// the reason.
FormatReading read_n42(std::string_view bytes);

}  // namespace brandel::formats
