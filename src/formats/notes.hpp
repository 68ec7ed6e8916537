#pragma once

#include <string>
#include <vector>

#include "spectrum/state.hpp"

// What the output of a conversion could not keep of its source. Every format carries the
// values of the record's CHN file (the description as 63 bytes of code page 932, the times in
// ticks of 20 ms, the energy terms as 32-bit floats), so the notes hold for each of them. They
// tell; they never change what is written or whether it is written.

namespace brandel::formats {

/// The notes of the record just read from a source, each a short sentence: a description cut
/// to its field, characters that code page 932 lacks written as "?", a live or real time
/// rounded to 20 ms, an energy term that float32 changes by more than 1 ppm, a year outside
/// 1900-2099, counts of a layout of unsigned words above the signed 32-bit range. None when
/// the output keeps everything.
std::vector<std::string> conversion_notes(const spectrum::State& state);

/// The notes joined into one text ("; " between them), empty when there are none.
std::string notes_text(const std::vector<std::string>& notes);

/// The preview's line of the notes: "CHN keeps: all", or the notes.
std::string keeps_line(const std::vector<std::string>& notes);

}  // namespace brandel::formats
