#pragma once

#include <string>
#include <string_view>

#include "formats/spectrum_values.hpp"
#include "spectrum/state.hpp"

namespace brandel::formats {

/// The IAEA SPE text file of the record, laid out as the files of ORTEC's MCA programs: CR LF
/// line ends and the sections $SPEC_ID: (the sample description, in code page 932 as the CHN
/// file holds it), $SPEC_REM:, $DATE_MEA: (mm/dd/yyyy hh:mm:ss), $MEAS_TIM: (live and real
/// time in seconds), $DATA: ("0 N-1", then one count a line), $ENER_FIT: (offset and slope) and
/// $MCA_CAL: ("3", then the three terms and "keV"). A start that is no date or time raises a
/// cannot-write error.
std::string spe_bytes(const spectrum::State& state);

/// Reads an SPE file: $SPEC_ID:, $DATE_MEA:, $MEAS_TIM: and $DATA: must be there; the counts
/// may stand one or several to a line; the calibration comes from $MCA_CAL: (in keV or MeV),
/// else from $ENER_FIT:, else it is 0, 1, 0. Other sections are passed over. Text is code page
/// 932, or UTF-8 after a UTF-8 byte-order mark. Never raises: a file that does not read gives
/// the reason, with the line it found.
FormatReading read_spe(std::string_view bytes);

}  // namespace brandel::formats
