#pragma once

// The header records of the Labo binary files, shared by the Labo(New), Labo(Old) and
// Labo(LIST) readers. Everything is little-endian; integers are signed; text fields are code
// page 932 bytes, taken byte for byte. Offsets count bytes from the start of the file; regions
// that no reader uses are not listed, they only make up the record's size.

#include <cstddef>
#include <string_view>

#include "spectrum/bytes.hpp"
#include "spectrum/state.hpp"

namespace brandel::readers {

/// The 1024-byte header of a Labo(New) file.
struct LaboNewHeader {
    static constexpr std::size_t size = 1024;  // channel data (int32, channel 1 first) follow

    static constexpr std::size_t num_channels = 54;  // int16: number of channels N
    static constexpr std::size_t energy_quad = 64;   // float32: energy per channel squared
    static constexpr std::size_t energy_slope = 68;  // float32: energy per channel
    static constexpr std::size_t energy_zero = 72;   // float32: energy at channel 0
    static constexpr std::size_t year = 80;          // int16: year within the century, 0..99
    static constexpr std::size_t month = 82;         // int16: month, 1..12
    static constexpr std::size_t day = 84;           // int16: day of the month
    static constexpr std::size_t hour = 88;          // int16: start hour
    static constexpr std::size_t minute = 90;        // int16: start minute
    static constexpr std::size_t second = 92;        // int16: start second
    static constexpr std::size_t live_time = 712;    // int32: live time, whole seconds
    static constexpr std::size_t real_time = 716;    // int32: real time, whole seconds
    static constexpr std::size_t sample_desc = 774;  // text: sample description
    static constexpr std::size_t sample_desc_bytes = 64;
};

/// The 1036-byte header of a Labo(Old) file; a Labo(LIST) file starts with it too.
struct LaboOldHeader {
    static constexpr std::size_t size = 1036;  // the 32-bit values follow directly

    static constexpr std::size_t sample_desc = 0;  // text: sample description
    static constexpr std::size_t sample_desc_bytes = 32;
    // text "YY-MMM-DD": year within the century, month name, day (separators not examined)
    static constexpr std::size_t date = 32;
    static constexpr std::size_t date_bytes = 9;
    // text "HH:MM:SS": start hour, minute and second (separators not examined)
    static constexpr std::size_t time = 41;
    static constexpr std::size_t time_bytes = 8;
    static constexpr std::size_t num_channels = 56;  // int16: number of channels N
    static constexpr std::size_t energy_quad = 68;   // float32: energy per channel squared
    static constexpr std::size_t energy_slope = 72;  // float32: energy per channel
    static constexpr std::size_t energy_zero = 76;   // float32: energy at channel 0
    static constexpr std::size_t live_time = 718;    // int32: live time, whole seconds
    static constexpr std::size_t real_time = 722;    // int32: real time, whole seconds
};

/// Raises an end-of-file error when the file does not hold a whole header record of `size`
/// bytes; `what` names the file in the message ("the Labo(Old) file").
void require_header(const spectrum::LittleEndianReader& file, std::size_t size,
                    std::string_view what);

/// Reads `count` 32-bit counts from byte `first` on into the record from channel 1, as many as
/// the record holds; false when they are more (the first value past them is read, so that a
/// file that ends there raises the end of the file).
bool read_counts(spectrum::Counts& counts, const spectrum::LittleEndianReader& file,
                 std::size_t first, int count);

/// How a reason names the header fields: "byte 56: the channel count 512", "byte 718: the live
/// time 600 s" (`which` "live" or "real"), and what follows a header of `header_size` bytes:
/// "511 values", "511 values and 2 bytes".
std::string channel_count_field(std::size_t offset, std::int32_t count);
std::string time_field(const spectrum::LittleEndianReader& file, std::size_t offset,
                       std::string_view which);
std::string values_after(std::string_view bytes, std::size_t header_size);

/// Sets start_date and start_time from a Labo(Old) header as set_labo_old_start does, without
/// looking at whether they make sense.
void fill_labo_old_start(spectrum::ChnHeader& header, const spectrum::LittleEndianReader& file);

/// Sets start_date ("DDMMMYY" and a blank) and start_time ("HHMMSS") from the date and time texts
/// of a Labo(Old) header, then completes the start time and the seconds bytes; a date or a time
/// that makes no sense raises, quoting its field.
void set_labo_old_start(spectrum::ChnHeader& header, const spectrum::LittleEndianReader& file);

}  // namespace brandel::readers
