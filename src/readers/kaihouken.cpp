#include "readers/kaihouken.hpp"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "spectrum/ascii_words.hpp"
#include "spectrum/codepage.hpp"
#include "spectrum/errors.hpp"
#include "spectrum/months.hpp"
#include "spectrum/numbers.hpp"
#include "spectrum/text.hpp"
#include "spectrum/text_source.hpp"

// The JAERI open-lab files: a first line with the start date and time at fixed columns, then the
// channel data. The dat file holds ten values per line at fixed columns, the csv file records of
// three fields, the txt file single fields; in the dat and csv files the first two values are the
// live and real times in seconds and stay in the table as its first two channels.

namespace brandel::readers {

namespace {

using spectrum::ErrorKind;
using spectrum::raise;
using spectrum::State;
using spectrum::TextSource;

constexpr std::int16_t jaeri_mca_number = 311;

/// The bytes of the 8-column field from column `first` of an ASCII data line of the dat file,
/// without its blanks.
std::string_view columns_of(std::string_view line, std::size_t first) {
    std::string_view field = first > line.size() ? std::string_view() : line.substr(first - 1, 8);
    while (!field.empty() && field.front() == ' ')
        field.remove_prefix(1);
    while (!field.empty() && field.back() == ' ')
        field.remove_suffix(1);
    return field;
}

/// First columns (from 1) of the two-character date and time fields of the first line.
struct HeaderColumns {
    std::size_t year, month, day, hour, minute, second;
};

constexpr HeaderColumns dat_csv_columns{1, 4, 7, 9, 12, 15};  // 03/07/1509:41:20
constexpr HeaderColumns txt_columns{3, 6, 9, 12, 15, 18};     // 2003/07/15 09:41:20

/// Takes the start date and time from the first line, and the line itself, trimmed and behind
/// `label`, as the sample description. A first line that holds no date or no time is refused at
/// once, before the data lines are read; `form` is how the line writes them.
void read_first_line(State& state, const TextSource& text, const HeaderColumns& at,
                     std::u32string_view label, std::string_view date_form,
                     std::string_view time_form) {
    if (!text.has_line(0))
        raise(ErrorKind::end_of_file, "the file is empty");
    const std::u32string_view line = text.line(0);
    auto two = [line](std::size_t first) { return spectrum::columns(line, first, 2); };
    spectrum::ChnHeader& header = state.chn_header;

    // Day and year as written, the month by name, then the century mark.
    const std::u32string_view year = two(at.year);
    auto where = [&text](bool date) { return quoted_line(text, 0, date ? "date" : "time"); };
    const std::int16_t month =
        int16_of(spectrum::leading_number(two(at.month)), [&] { return where(true); });
    std::u32string date(two(at.day));
    date += spectrum::widen(spectrum::num2month(month));
    date += year;
    date += century_mark_from_year(spectrum::leading_number(year));
    header.start_date.assign(date);

    std::u32string time(two(at.hour));
    time += two(at.minute);
    time += two(at.second);
    header.start_time.assign(time);
    finish_start_time(header);
    check_start(header, where, date_form, time_form);

    // Blanks are single bytes that no double-byte character holds, so the line is trimmed in its
    // bytes, and only the characters that can fit the field are decoded.
    std::string_view trimmed = text.line_bytes(0);
    trimmed.remove_prefix(std::min(trimmed.size(), trimmed.find_first_not_of(' ')));
    trimmed.remove_suffix(trimmed.size() - (trimmed.find_last_not_of(' ') + 1));
    std::u32string chars;
    spectrum::decode_cp932(trimmed, state.chn_trailer.sample_desc.width, chars);
    state.chn_trailer.sample_desc.assign(std::u32string(label) + chars);
    keep_description(state, std::u32string(label) + spectrum::decode_cp932(trimmed));
    state.chn_trailer.sample_desc_len =
        static_cast<std::uint8_t>(state.chn_trailer.sample_desc.width);
}

/// The live and real times of the dat and csv files: the first two values of the table, in
/// seconds. `where(k)` quotes value k (0 or 1) as the file holds it.
template <class Where>
void times_from_counts(State& state, Where&& where) {
    state.chn_header.live_time =
        ticks_of(static_cast<double>(state.counts.at(0)), [&] { return where(0, "live time"); });
    state.chn_header.real_time =
        ticks_of(static_cast<double>(state.counts.at(1)), [&] { return where(1, "real time"); });
}

/// The start of a reason that quotes a field read from `begin` to `end` by a field reader of the
/// text's bytes, on line `line` (from 1).
std::string quoted_field(const spectrum::FieldReader& fields, std::size_t line, std::size_t begin,
                         std::size_t end, std::string_view what) {
    return "line " + std::to_string(line) + ": the " + std::string(what) + " '" +
           quote_bytes(fields.field_bytes(begin, end)) + "'";
}

/// The channel count of the dat and csv files: 2^k for the first k from 1 to 20 with
/// excess / 2^k rounded down equal to 0, that is the smallest power of two above `excess`
/// (2^20 when none is). `entries` and `what` ("data lines", "records") name the table in the
/// messages: a table without entries has no spectrum, and a count past 32767 does not fit.
std::int16_t power_of_two_channels(long long excess, std::size_t entries, std::string_view what) {
    if (excess < 0)
        raise(ErrorKind::end_of_file, "no " + std::string(what) + " after the first line");
    long long power = 1;
    for (int k = 1; k <= 20; ++k) {
        power *= 2;
        if (excess / power == 0)
            break;
    }
    if (power > std::numeric_limits<std::int16_t>::max())
        raise(ErrorKind::overflow, std::to_string(entries) + " " + std::string(what) + " give " +
                                       std::to_string(power) + " channels, at most 32767 fit");
    return static_cast<std::int16_t>(power);
}

/// The fields after the first line. Blanks and line ends at the very end of the file hold no
/// field, so a file that ends in an empty line reads like one that does not.
spectrum::FieldReader data_fields(const TextSource& text) {
    std::string_view all = text.bytes();
    std::size_t end = all.size();
#if BRANDEL_SSE2
    // Sixteen bytes at a time while they are all blanks and line ends.
    while (end >= 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(all.data() + end - 16));
        const __m128i space = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8(' ')),
                                                        _mm_cmpeq_epi8(x, _mm_set1_epi8('\t'))),
                                           _mm_or_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8('\r')),
                                                        _mm_cmpeq_epi8(x, _mm_set1_epi8('\n'))));
        if (_mm_movemask_epi8(space) != 0xFFFF)
            break;
        end -= 16;
    }
#endif
    while (end > 0 && (all[end - 1] == ' ' || all[end - 1] == '\t' || all[end - 1] == '\r' ||
                       all[end - 1] == '\n'))
        --end;
    all = all.substr(0, end);
    return spectrum::FieldReader(all, text.line_offset(1), 2);
}

void read_dat(State& s, std::string_view bytes) {
    const TextSource text = TextSource::over_bytes(bytes);
    read_first_line(s, text, dat_csv_columns, U"JAERI開放研file(dat) Date:", "YY/MM/DD",
                    "hh:mm:ss");

    // Every line after the first holds ten values of 8 columns from column 7 on; all ten are
    // stored, a missing one (short or blank line) as 0.
    // A whole ASCII line's values are read a field (one word) at a time.
    int n = 0;
    std::size_t i = 1;
    for (spectrum::LineWalker lines(text.bytes(), text.line_offset(1)); !lines.at_end();
         ++i, n += 10) {
        bool ascii = false;
        const std::string_view line = lines.next(ascii);
        const bool whole_line = ascii && line.size() >= 86;
        if (n + 10 > spectrum::Counts::capacity)
            refuse(ErrorKind::out_of_range,
                   "line " + std::to_string(i + 1) + ": the data line '" + quote_bytes(line) + "'",
                   "holds channel " + std::to_string(spectrum::Counts::capacity + 1) +
                       ", more than the " + std::to_string(spectrum::Counts::capacity) +
                       " channels that fit");
        for (int f = 0; f < 10; ++f) {
            const auto first = static_cast<std::size_t>(7 + 8 * f);
            std::uint32_t value = 0;
            if (whole_line && spectrum::ascii_words::blank_padded_whole(
                                  spectrum::ascii_words::load8(line.data() + first - 1), value))
                s.counts.set(n + f, static_cast<std::int32_t>(value));
            else
                s.counts.set(n + f, channel_count(text.number_at(i, first, first + 7), n + f + 1,
                                                  i + 1, ascii ? columns_of(line, first) : line));
        }
    }
    // The times are the first two values of the second line.
    times_from_counts(s, [&text](int k, const char* what) {
        const auto first = static_cast<std::size_t>(7 + 8 * k);
        return "line 2: the " + std::string(what) + " '" +
               quote_text(spectrum::trim_blanks(spectrum::columns(text.line(1), first, 8))) + "'";
    });
    s.chn_header.num_channels = power_of_two_channels(n - 10, i - 1, "data lines");
}

void read_csv(State& s, std::string_view bytes) {
    const TextSource text = TextSource::over_bytes(bytes);
    read_first_line(s, text, dat_csv_columns, U"JAERI開放研file(csv) Date:", "YY/MM/DD",
                    "hh:mm:ss");

    // Records of three fields; the second is the value of channel r.
    spectrum::FieldReader fields = data_fields(text);
    const int r = read_count_table(fields, s.counts, 3, 1, -1);
    // The times are the second fields of the first two records, found again to be quoted.
    times_from_counts(s, [&text](int k, const char* what) {
        spectrum::FieldReader again = data_fields(text);
        for (int skipped = 0; skipped < 1 + 3 * k; ++skipped)
            again.next_number();
        const std::size_t line = again.line_number();
        const std::size_t begin = again.offset();
        again.next_number();
        return quoted_field(again, line, begin, again.offset(), what);
    });
    s.chn_header.num_channels =
        power_of_two_channels(r - 1, static_cast<std::size_t>(r), "records");
}

void read_txt(State& s, std::string_view bytes) {
    const TextSource text = TextSource::over_bytes(bytes);
    read_first_line(s, text, txt_columns, U"JAERI開放研file(txt) Date:", "YYYY/MM/DD", "hh:mm:ss");

    // Live time, real time and channel count, then the channel values to the end of the file.
    spectrum::FieldReader fields = data_fields(text);
    spectrum::ChnHeader& header = s.chn_header;
    std::size_t line = 0;
    std::size_t begin = 0;
    // The next field as a number; `where(what)` then quotes it.
    auto next = [&] {
        line = fields.line_number();
        begin = fields.offset();
        return fields.next_number();
    };
    // The field read last, quoted as `what`, for a reason given later.
    auto where = [&](const char* what) {
        return [&fields, line, begin, end = fields.offset(), what] {
            return quoted_field(fields, line, begin, end, what);
        };
    };
    const double live = next();
    header.live_time = ticks_of(live, where("live time"));
    const double real = next();
    header.real_time = ticks_of(real, where("real time"));
    keep_seconds(s, live, real);
    const double declared = next();
    const auto count_where = where("channel count");
    const std::int16_t count = int16_of(declared, count_where);
    // However few values follow, a count the record cannot hold gives no CHN file.
    check_channel_count(count, count_where);
    header.num_channels = count;
    const int found = read_count_table(fields, s.counts, 1, 0, -1);
    // Fewer values than declared is a file that ends early; more are read and kept.
    if (found < count)
        refuse(ErrorKind::end_of_file, count_where(),
               "declares " + std::to_string(count) + " channel values, the file holds " +
                   std::to_string(found));
}

// Commas and line ends are single bytes that no code page 932 character holds as its second
// byte, so the comma rules of the dat and csv layouts are checked on the bytes.

bool is_line_end(char c) {
    return c == '\r' || c == '\n';
}

// Where the line after the one that ends at `end` (a CR, LF or the end) starts.
std::size_t next_line(std::string_view bytes, std::size_t end) {
    if (end < bytes.size() && bytes[end] == '\r' && end + 1 < bytes.size() &&
        bytes[end + 1] == '\n')
        return end + 2;
    return end + 1;
}

// The number (from 1) of the line that holds byte `offset`; a CR LF ends one line.
std::size_t line_number_at(std::string_view bytes, std::size_t offset) {
    std::size_t line = 1;
    for (std::size_t i = 0; i < offset; ++i)
        if (bytes[i] == '\n' ||
            (bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n')))
            ++line;
    return line;
}

// Where the data lines (the lines after the first) start.
std::size_t data_start(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size() && !is_line_end(bytes[i]))
        ++i;
    return next_line(bytes, i);
}

// The start of a reason that quotes the data line holding byte `offset`: "line 3: the data line
// '1 2 0'".
std::string quoted_data_line(std::string_view bytes, std::size_t offset) {
    std::size_t begin = offset;
    while (begin > 0 && !is_line_end(bytes[begin - 1]))
        --begin;
    std::size_t end = offset;
    while (end < bytes.size() && !is_line_end(bytes[end]))
        ++end;
    return "line " + std::to_string(line_number_at(bytes, offset)) + ": the data line '" +
           quote_bytes(bytes.substr(begin, end - begin)) + "'";
}

void dat_shape(std::string_view bytes) {
    require_text_shape(bytes);
    const std::size_t comma = bytes.find(',', std::min(bytes.size(), data_start(bytes)));
    if (comma != std::string_view::npos)
        refuse(ErrorKind::unreadable, quoted_data_line(bytes, comma),
               "holds a comma, which no dat data line holds");
}

void csv_shape(std::string_view bytes) {
    require_text_shape(bytes);
    const std::size_t line =
        spectrum::first_line_without_comma(bytes, std::min(bytes.size(), data_start(bytes)));
    if (line != TextSource::npos)
        refuse(ErrorKind::unreadable, quoted_data_line(bytes, line),
               "holds no comma, which every csv data line holds");
}

}  // namespace

const ReaderLayout kaihouken_dat_layout{{jaeri_mca_number, 2}, read_dat, dat_shape};
const ReaderLayout kaihouken_csv_layout{{jaeri_mca_number, 1}, read_csv, csv_shape};
const ReaderLayout kaihouken_txt_layout{{jaeri_mca_number, 3}, read_txt, require_text_shape};

ReaderResult read_org_kaihouken_dat(State& state) {
    return run_reader(state, kaihouken_dat_layout);
}

ReaderResult read_org_kaihouken_csv(State& state) {
    return run_reader(state, kaihouken_csv_layout);
}

ReaderResult read_org_kaihouken_txt(State& state) {
    return run_reader(state, kaihouken_txt_layout);
}

}  // namespace brandel::readers
