#pragma once

#include <string>
#include <string_view>

#include "readers/reader_kit.hpp"

namespace brandel::readers {

/// Reads a Labo LIST file (type 6).
ReaderResult read_org_labo_list(spectrum::State& state);

/// The Labo LIST layout: its defaults, steps and shape. A LIST file begins with a Labo(Old)
/// header, so its shape is that of no damaged Labo(Old) file (labo_old_damage).
extern const ReaderLayout labo_list_layout;

/// What shows that `bytes` are a damaged Labo(Old) file rather than a LIST file, as a failure's
/// reason ("byte 56: a Labo(Old) header announces 512 channels but the file holds 511 values");
/// empty when nothing does. The header must read as a Labo(Old) header (its date and time make
/// sense). It is damaged when its times cannot be a measurement's, or when its channel count
/// does not describe the values that follow, unless the header is a LIST header: one that
/// records times holds those of the first two values, and one that records none counts the
/// channels after the two times, every value as the LIST count formula counts them, or nothing.
/// A whole Labo(Old) file is not damaged, and reads as a LIST file too.
std::string labo_old_damage(std::string_view bytes);

}  // namespace brandel::readers
