#pragma once

#include "readers/reader_kit.hpp"

namespace brandel::readers {

/// Reads a CANBERRA text report (type 0).
ReaderResult read_org_canberra_txt(spectrum::State& state);

}  // namespace brandel::readers
