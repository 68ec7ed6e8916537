#pragma once

#include "readers/reader_kit.hpp"

namespace brandel::readers {

/// Reads a CANBERRA text report (type 0).
ReaderResult read_org_canberra_txt(spectrum::State& state);

/// The CANBERRA text layout: its defaults, steps and shape.
extern const ReaderLayout canberra_txt_layout;

}  // namespace brandel::readers
