#pragma once

#include "readers/reader_kit.hpp"

namespace brandel::readers {

/// Reads an Oxford asc export (type 8).
ReaderResult read_org_oxford_asc(spectrum::State& state);

/// The Oxford asc layout: its defaults, steps and shape.
extern const ReaderLayout oxford_asc_layout;

}  // namespace brandel::readers
