#pragma once

#include "readers/reader_kit.hpp"

namespace brandel::readers {

/// Read the Labo binary files: Labo(New) (type 1) and Labo(Old) (type 5).
ReaderResult read_org_labo_new(spectrum::State& state);
ReaderResult read_org_labo_old(spectrum::State& state);

/// The Labo(New) and Labo(Old) layouts: their defaults, steps and shapes.
extern const ReaderLayout labo_new_layout;
extern const ReaderLayout labo_old_layout;

}  // namespace brandel::readers
