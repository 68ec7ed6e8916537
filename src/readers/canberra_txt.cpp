#include "readers/canberra_txt.hpp"

#include <algorithm>
#include <string>

#include "spectrum/months.hpp"
#include "spectrum/numbers.hpp"
#include "spectrum/text.hpp"
#include "spectrum/text_source.hpp"

namespace brandel::readers {

namespace {

using spectrum::column_range;
using spectrum::leading_number;

// The channel table follows the report's first 8 lines.
constexpr std::size_t header_lines = 8;

// "Date Time" line, by column: 15-16 century digits, 17-18 year, 20-21 month number, 23-24 day,
// 26-27 hour, 29-30 minute. The separators between them are not looked at.
void read_date_time(spectrum::ChnHeader& header, const spectrum::TextSource& text,
                    std::size_t index) {
    const std::u32string_view line = text.line(index);
    const std::int16_t month = int16_of(leading_number(column_range(line, 20, 21)),
                                        [&] { return quoted_line(text, index, "date"); });
    std::u32string date(column_range(line, 23, 24));
    date += spectrum::widen(spectrum::num2month(month));
    date += column_range(line, 17, 18);
    date += century_mark_from_digits(column_range(line, 15, 16));
    header.start_date.assign(date);

    std::u32string time(column_range(line, 26, 27));
    time += column_range(line, 29, 30);
    time += U"00";
    header.start_time.assign(time);
    finish_start_time(header);
    check_start(
        header, [&](bool date) { return quoted_line(text, index, date ? "date" : "time"); },
        "YYYY/MM/DD", "hh:mm");
}

void read_report(spectrum::State& state, std::string_view bytes) {
    const spectrum::TextSource text = spectrum::TextSource::over_bytes(bytes);
    spectrum::ChnHeader& header = state.chn_header;
    const KeyValue channels = key_value(text, "Channel No", 15, 19);
    header.num_channels =
        int16_of(channels.value, line_where(text, channels.line, "channel count"));
    check_channel_count(header.num_channels, line_where(text, channels.line, "channel count"));
    const KeyValue live = key_value(text, "Live Time", 15, 20);
    header.live_time = ticks_of(live.value, line_where(text, live.line, "live time"));
    const KeyValue real = key_value(text, "True Time", 15, 20);
    header.real_time = ticks_of(real.value, line_where(text, real.line, "true time"));
    keep_seconds(state, live.value, real.value);
    const std::u32string_view sample = key_line(text, "Sample Name");
    set_sample_text(state, column_range(sample, 15, 78));
    keep_description(state, column_range(sample, 15, sample.size()));
    read_date_time(header, text, find_key_line(text, "Date Time"));

    // Each table entry is a channel number (not used) and its count, read as separate fields,
    // so two numbers on a line are never joined into one.
    const std::size_t skipped = text.has_line(header_lines - 1) ? header_lines : text.line_count();
    spectrum::FieldReader table(text.bytes(), text.line_offset(skipped), skipped + 1);
    read_count_table(table, state.counts, 2, 1, header.num_channels);
}

}  // namespace

const ReaderLayout canberra_txt_layout{{301, 1}, read_report, require_text_shape};

ReaderResult read_org_canberra_txt(spectrum::State& state) {
    return run_reader(state, canberra_txt_layout);
}

}  // namespace brandel::readers
