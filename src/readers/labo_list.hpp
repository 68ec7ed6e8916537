#pragma once

#include "readers/reader_kit.hpp"

namespace brandel::readers {

/// Reads a Labo LIST file (type 6).
ReaderResult read_org_labo_list(spectrum::State& state);

/// The Labo LIST layout: its defaults, steps and shape.
extern const ReaderLayout labo_list_layout;

}  // namespace brandel::readers
