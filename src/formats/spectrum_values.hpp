#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "spectrum/state.hpp"

// What every output format carries of a spectrum record. The values are those of the record's
// CHN file: times in ticks of 20 ms, the energy terms as the trailer's 32-bit floats, the date
// and time of the header's text fields, and the sample description as the trailer's code page
// 932 bytes hold it. So the CHN, SPE, N42 and CSV files of one source agree with one another,
// and a file read back gives values that compare field by field with those it was written from.

namespace brandel::formats {

/// The start of a measurement: a day of the calendar and a clock time, without a zone.
struct StartDateTime {
    int year = 0;  // four digits
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;

    bool operator==(const StartDateTime&) const = default;
};

/// A spectrum as an output file carries it.
struct SpectrumValues {
    std::vector<std::int32_t> counts;  // channel k (from 0) at index k
    double live_seconds = 0;
    double real_seconds = 0;
    StartDateTime start;
    // energy (keV) of channel c = energy_zero + energy_slope * c + energy_quad * c * c
    double energy_zero = 0;
    double energy_slope = 1;
    double energy_quad = 0;
    std::string description;  // UTF-8

    bool operator==(const SpectrumValues&) const = default;
};

/// What reading an output file gave: its values when it could be read, or why not.
struct FormatReading {
    bool complete = false;
    std::string reason;
    SpectrumValues values;
};

/// The record's values without its counts: seconds of its tick counts (exactly: ticks / 50),
/// its start, its energy terms and its description. A start that is no day of the calendar or
/// no time of the clock raises a cannot-write error that quotes it.
SpectrumValues header_values(const spectrum::State& state);

/// The record's values with its counts: what every file written from it must read back as.
SpectrumValues values_of(const spectrum::State& state);

/// The counts of the record's channels (num_channels of them, none when it is 0 or less). More
/// than 17001 raises an out-of-range error.
std::span<const std::int32_t> channel_counts(const spectrum::State& state);

/// The start of the header's start_date (DDMMMYYc: the century mark "1" for 2000-2099, a blank
/// for 1900-1999, 2 to 9 for the later centuries) and start_time (HHMMSS). Each two-character
/// number is two digits or a blank and a digit; the month is its name in any case.
StartDateTime start_of(const spectrum::ChnHeader& header);

/// Whether a date is a day of the calendar (1 to 9999) and a time a time of the clock.
bool is_valid(const StartDateTime& start);

/// The sample description as the CHN file's trailer carries it, in code page 932: the 63 bytes
/// of sample_desc, cut before a NUL byte, control characters turned into blanks (a line end
/// would break the text formats' lines), trailing blanks removed.
std::string description_bytes(const spectrum::ChnTrailer& trailer);
/// The same description in UTF-8.
std::string description_of(const spectrum::ChnTrailer& trailer);

/// Whether the energy terms are a calibration. Terms 0, 1, 0 are what the readers store for a
/// source that gives none (no analyser's fitted calibration is exactly that); terms whose
/// linear and quadratic parts are both 0 give every channel one energy; a term that is not a
/// finite number gives no energy at all.
bool has_calibration(double zero, double slope, double quad);

/// The record's values without its counts, as an SPE or N42 file carries them: header_values,
/// and a cannot-write error for what no reader of those files would take: an energy term that is
/// not a finite number, a negative live or real time.
SpectrumValues writable_values(const spectrum::State& state);

/// Fills the record from values read from an output file, as a conversion fills it: a clean
/// record, the times in ticks, the date and time as text, the terms as floats, the description
/// as sample text (63 characters, length byte 63), trailer_type -102. Raises when a value does
/// not fit the record (more than 17001 channels, a time beyond the ticks' range, a year outside
/// 1900-2899, whose century has no mark).
void put_values(const SpectrumValues& values, spectrum::State& state);

/// Appends the decimal text of an integer.
void append_integer(std::string& out, long long value);
/// Appends seconds of ticks of 20 ms, exactly and without trailing zeros: 90767 ticks give
/// 1815.34, 90765 give 1815.3, 90750 give 1815.
void append_seconds(std::string& out, std::int32_t ticks);
/// Appends the shortest text that reads back as the same double (1.2000000424450263e-05 for
/// the float 1.2e-05: every reader of the text gets the float's value exactly).
void append_double(std::string& out, double value);

/// Appends the first `count` (1 to 3) energy terms, zero, slope and quad, separated by blanks,
/// each as append_double writes it.
void append_terms(std::string& out, const SpectrumValues& values, int count);

/// Reads a file's bytes with `read`, the one place where its errors are caught: a file that
/// does not read gives the reason.
template <class Read>
FormatReading reading_of(Read read, std::string_view bytes) {
    FormatReading reading;
    try {
        reading.values = read(bytes);
        reading.complete = true;
    } catch (const std::exception& e) {
        reading.reason = e.what();
    }
    return reading;
}

/// A number of a text format: an optional sign, digits with at most one point, an optional
/// exponent; nothing else, no blanks. False when the text is not one (or is not finite).
bool parse_number(std::string_view text, double& value);

/// The number (from 1) of the line of `bytes` that `offset` is on, lines ending at CR, CR LF or
/// LF.
std::size_t line_number_at(std::string_view bytes, std::size_t offset);

/// A text as a message quotes it: at most 40 characters, control characters escaped.
std::string quoted(std::string_view text);

}  // namespace brandel::formats
