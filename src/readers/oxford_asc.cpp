#include "readers/oxford_asc.hpp"

#include <string>

#include "spectrum/errors.hpp"
#include "spectrum/numbers.hpp"
#include "spectrum/text.hpp"
#include "spectrum/text_source.hpp"

namespace brandel::readers {

namespace {

using spectrum::column_range;
using spectrum::columns;
using spectrum::leading_number;

// The channel lines follow the export's first 15 lines, one channel per line.
constexpr std::size_t header_lines = 15;

bool is_digit(char32_t c) {
    return c >= U'0' && c <= U'9';
}

// "Acquisition Date:" line. A two-digit day stands in columns 20-21; a day written with one
// digit ("5-Jul-2003") is moved one column to the right by a leading blank, so that the fields
// that follow it line up. Then, by column: 20-21 day, 23-25 month name as written, 27-28
// century digits, 29-30 year, 32-33 hour, 35-36 minute.
void read_acquisition_date(spectrum::ChnHeader& header, std::u32string_view source_line) {
    const std::u32string_view at21 = columns(source_line, 21, 1);
    const bool one_digit_day = leading_number(columns(source_line, 19, 99)) < 10 &&
                               (at21.empty() || !is_digit(at21.front()));
    std::u32string shifted;
    std::u32string_view line = source_line;
    if (one_digit_day) {
        shifted.reserve(source_line.size() + 1);
        shifted += U' ';
        shifted += source_line;
        line = shifted;
    }

    std::u32string date(column_range(line, 20, 21));
    date += column_range(line, 23, 25);
    date += column_range(line, 29, 30);
    date += century_mark_from_digits(column_range(line, 27, 28));
    header.start_date.assign(date);

    std::u32string time(column_range(line, 32, 33));
    time += column_range(line, 35, 36);
    time += U"00";
    header.start_time.assign(time);
    finish_start_time(header);
}

float calibration_term(const spectrum::TextSource& text, std::string_view key) {
    return spectrum::to_float32(leading_number(column_range(key_line(text, key), 54, 152)),
                                "calibration term \"" + std::string(key) + "\"");
}

void read_export(spectrum::State& state, std::string_view bytes) {
    const spectrum::TextSource text = spectrum::TextSource::from_bytes(bytes);
    spectrum::ChnHeader& header = state.chn_header;
    spectrum::ChnTrailer& trailer = state.chn_trailer;

    header.num_channels = spectrum::round_to_int16(
        leading_number(column_range(key_line(text, "Conversion Gain:"), 27, 36)),
        "Conversion Gain");
    check_channel_count(header.num_channels);
    header.live_time = spectrum::seconds_to_ticks(
        leading_number(column_range(key_line(text, "Elapsed Live Time:"), 20, 118)),
        "Elapsed Live Time");
    header.real_time = spectrum::seconds_to_ticks(
        leading_number(column_range(key_line(text, "Elapsed Real Time:"), 20, 118)),
        "Elapsed Real Time");
    set_sample_text(state, column_range(key_line(text, "ID:"), 4, 67));
    read_acquisition_date(header, key_line(text, "Acquisition Date:"));
    // energy = C + B * channel + A * channel^2
    trailer.energy_quad = calibration_term(text, "A =");
    trailer.energy_slope = calibration_term(text, "B =");
    trailer.energy_zero = calibration_term(text, "C =");

    for (int k = 1; k <= header.num_channels; ++k) {
        const std::size_t index = header_lines + static_cast<std::size_t>(k - 1);
        if (index >= text.line_count())
            spectrum::raise(spectrum::ErrorKind::end_of_file,
                            "line " + std::to_string(index + 1) + ": the file ends where channel " +
                                std::to_string(k) + " of " + std::to_string(header.num_channels) +
                                " was expected");
        const double value = leading_number(column_range(text.line(index), 8, 106));
        state.counts.set(k - 1, channel_count(value, k, index + 1));
    }
}

}  // namespace

ReaderResult read_org_oxford_asc(spectrum::State& state) {
    return run_reader(state, {444, 1}, read_export);
}

}  // namespace brandel::readers
