#pragma once

#include "readers/reader_kit.hpp"

namespace brandel::readers {

/// Read the JAERI open-lab dat (type 3), csv (type 4) and txt (type 7) files.
ReaderResult read_org_kaihouken_dat(spectrum::State& state);
ReaderResult read_org_kaihouken_csv(spectrum::State& state);
ReaderResult read_org_kaihouken_txt(spectrum::State& state);

/// The JAERI open-lab layouts: their defaults, steps and shapes.
extern const ReaderLayout kaihouken_dat_layout;
extern const ReaderLayout kaihouken_csv_layout;
extern const ReaderLayout kaihouken_txt_layout;

}  // namespace brandel::readers
