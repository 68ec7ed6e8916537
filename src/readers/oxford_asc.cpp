#include "readers/oxford_asc.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <span>
#include <string>

#include "spectrum/ascii_words.hpp"
#include "spectrum/errors.hpp"
#include "spectrum/numbers.hpp"
#include "spectrum/text.hpp"
#include "spectrum/text_source.hpp"

namespace brandel::readers {

namespace {

using spectrum::column_range;
using spectrum::columns;
using spectrum::leading_number;

bool is_digit(char32_t c) {
    return c >= U'0' && c <= U'9';
}

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

bool is_digit_byte(char c) {
    return c >= '0' && c <= '9';
}

std::size_t skip(std::string_view line, std::size_t i, bool (*pred)(char)) {
    while (i < line.size() && pred(line[i]))
        ++i;
    return i;
}

// Whether the bytes of an ASCII line make a channel line: optional blanks, an unsigned whole
// number (the label), blanks, a number (the count: optional sign, digits with at most one
// decimal point, an optional exponent), optional blanks, and nothing else.
bool is_channel_line(std::string_view line) {
    std::size_t i = skip(line, 0, is_blank);
    const std::size_t label = i;
    i = skip(line, i, is_digit_byte);
    if (i == label)
        return false;
    const std::size_t gap = i;
    i = skip(line, i, is_blank);
    if (i == gap)
        return false;
    if (i < line.size() && (line[i] == '+' || line[i] == '-'))
        ++i;
    const std::size_t whole = i;
    i = skip(line, i, is_digit_byte);
    std::size_t digits = i - whole;
    if (i < line.size() && line[i] == '.') {
        const std::size_t fraction = ++i;
        i = skip(line, i, is_digit_byte);
        digits += i - fraction;
    }
    if (digits == 0)
        return false;
    if (i < line.size() && (line[i] == 'E' || line[i] == 'e')) {
        std::size_t e = i + 1;
        if (e < line.size() && (line[e] == '+' || line[e] == '-'))
            ++e;
        const std::size_t exponent = e;
        e = skip(line, e, is_digit_byte);
        if (e == exponent)
            return false;
        i = e;
    }
    return skip(line, i, is_blank) == line.size();
}

// The channel table starts at the first channel line after `last_key_line`, the last of the
// header-key lines: classic exports have 15 lines before it, current ones 12 or 11.
std::size_t first_channel_line(const spectrum::TextSource& text, std::size_t last_key_line) {
    for (std::size_t i = last_key_line + 1; text.has_line(i); ++i)
        if (text.line_is_ascii(i) && is_channel_line(text.line_bytes(i)))
            return i;  // a line of other characters is never a channel line
    spectrum::raise(spectrum::ErrorKind::end_of_file, "no channel lines after the header");
}

// "Acquisition Date:" line. A two-digit day stands in columns 20-21; a day written with one
// digit ("5-Jul-2003") is moved one column to the right by a leading blank, so that the fields
// that follow it line up. Then, by column: 20-21 day, 23-25 month name as written, 27-28
// century digits, 29-30 year, 32-33 hour, 35-36 minute.
void read_acquisition_date(spectrum::ChnHeader& header, const spectrum::TextSource& text,
                           std::size_t index) {
    const std::u32string_view source_line = text.line(index);
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
    check_start(
        header, [&](bool date) { return quoted_line(text, index, date ? "date" : "time"); },
        "DD-Mon-YYYY", "hh:mm");
}

// A calibration term from column 54 of the first line holding its key, as float32; `exact`
// receives it as written. `last` follows the last header-key line seen so far.
float calibration_term(const spectrum::TextSource& text, std::string_view key, std::size_t& last,
                       double& exact) {
    const std::size_t index = find_key_line(text, key);
    last = std::max(last, index);
    const double value = leading_number(column_range(text.line(index), 54, 152));
    if (!(std::fabs(value) <= static_cast<double>(std::numeric_limits<float>::max())))
        refuse(spectrum::ErrorKind::overflow, quoted_line(text, index, "calibration term"),
               "is too large for a 32-bit float");
    exact = value;
    return static_cast<float>(value);
}

// The index of the line of a header key, noted in `last` when it comes after every key line so
// far.
std::size_t noted_key_line(const spectrum::TextSource& text, std::string_view key,
                           std::size_t& last) {
    const std::size_t index = find_key_line(text, key);
    last = std::max(last, index);
    return index;
}

// Channel lines read 64 bytes at a time from `pos`, where a line starts: while a line is ASCII,
// ends inside the block and holds from column 8 blanks, one to seven digits and blanks (or blanks
// alone, a count of 0), the classes of its bytes give its end and its count. Stores at most
// counts.size() counts and returns how many; `pos` moves past their lines.
std::size_t plain_channel_lines(std::string_view bytes, std::size_t& pos,
                                std::span<std::int32_t> counts) {
    using namespace spectrum::ascii_words;
    auto below = [](unsigned bit) { return (std::uint64_t{1} << bit) - 1; };
    std::size_t read = 0;
    while (read < counts.size() && pos + 72 <= bytes.size()) {
        const char* p = bytes.data() + pos;
        const ByteClasses c = classify64(p);
        // Each line's end, a CR LF at its CR. A line that ends in the last byte is left to the
        // next block, which sees whether an LF follows.
        std::uint64_t ends = (c.crs | (c.lfs & ~(c.crs << 1))) & below(63);
        unsigned start = 0;  // where the next line starts
        const std::size_t before = read;
        for (; ends != 0 && read < counts.size(); ends &= ends - 1) {
            const auto end = static_cast<unsigned>(lowest_bit(ends));
            if (end < start + 8 || (c.high & below(end) & ~below(start)) != 0)
                break;
            const std::uint64_t field = below(end) & ~below(start + 7);
            const std::uint64_t digits = c.digits & field;
            if ((field & ~(digits | c.blanks)) != 0)
                break;
            std::uint32_t value = 0;
            if (digits != 0) {
                const int first = lowest_bit(digits);
                const std::uint64_t run = digits >> first;
                const int length = lowest_bit(~run);
                if ((run & (run + 1)) != 0 || length > 7)
                    break;  // digits, blanks and digits, or too many digits
                value = digits_value(load8(p + first), length);
            }
            counts[read++] = static_cast<std::int32_t>(value);
            start = end + 1 + static_cast<unsigned>((c.crs >> end) & (c.lfs >> (end + 1)) & 1);
        }
        if (read == before)
            break;
        pos += start;
    }
    return read;
}

void read_export(spectrum::State& state, std::string_view bytes) {
    const spectrum::TextSource text = spectrum::TextSource::over_bytes(bytes);
    spectrum::ChnHeader& header = state.chn_header;
    spectrum::ChnTrailer& trailer = state.chn_trailer;

    std::size_t last = 0;
    // A header value, its line noted as the last key line when it comes after the others.
    auto value = [&](std::string_view key, std::size_t first, std::size_t final) {
        const KeyValue v = key_value(text, key, first, final);
        last = std::max(last, v.line);
        return v;
    };
    const KeyValue gain = value("Conversion Gain:", 27, 36);
    header.num_channels = int16_of(gain.value, line_where(text, gain.line, "channel count"));
    check_channel_count(header.num_channels, line_where(text, gain.line, "channel count"));
    const KeyValue live = value("Elapsed Live Time:", 20, 118);
    header.live_time = ticks_of(live.value, line_where(text, live.line, "live time"));
    const KeyValue real = value("Elapsed Real Time:", 20, 118);
    header.real_time = ticks_of(real.value, line_where(text, real.line, "real time"));
    keep_seconds(state, live.value, real.value);
    const std::u32string_view id = text.line(noted_key_line(text, "ID:", last));
    set_sample_text(state, column_range(id, 4, 67));
    keep_description(state, column_range(id, 4, id.size()));
    read_acquisition_date(header, text, noted_key_line(text, "Acquisition Date:", last));
    // energy = A + B * channel + C * channel^2
    spectrum::SourceValues& exact = state.source_values;
    exact.has_energy = true;
    trailer.energy_zero = calibration_term(text, "A =", last, exact.energy[0]);
    trailer.energy_slope = calibration_term(text, "B =", last, exact.energy[1]);
    trailer.energy_quad = calibration_term(text, "C =", last, exact.energy[2]);

    if (header.num_channels == 0)
        return;
    // The k-th channel line holds channel k, whatever its label; its count stands from column 8.
    const std::size_t first = first_channel_line(text, last);
    const std::string_view all = text.bytes();
    std::size_t pos = text.line_offset(first);
    const int channels = header.num_channels;
    for (int k = 0; k < channels; ++k) {
        k += static_cast<int>(plain_channel_lines(all, pos, state.counts.room(k, channels - k)));
        if (k == channels)
            break;
        // A line the block reading does not take: by the general rule.
        const std::size_t index = first + static_cast<std::size_t>(k);
        if (pos >= all.size())
            spectrum::raise(spectrum::ErrorKind::end_of_file,
                            "line " + std::to_string(index + 1) + ": the file ends where channel " +
                                std::to_string(k + 1) + " of " + std::to_string(channels) +
                                " was expected");
        spectrum::LineWalker lines(all, pos);
        bool ascii = false;
        const std::string_view line = lines.next(ascii);
        pos = lines.offset();
        std::uint32_t whole = 0;
        if (ascii && line.size() > 7 &&
            spectrum::ascii_words::blank_padded_whole(line.substr(7, 99), whole))
            state.counts.set(k, static_cast<std::int32_t>(whole));
        else
            state.counts.set(k,
                             channel_count(text.number_at(index, 8, 106), k + 1, index + 1, line));
    }
}

}  // namespace

const ReaderLayout oxford_asc_layout{{444, 1}, read_export, require_text_shape};

ReaderResult read_org_oxford_asc(spectrum::State& state) {
    return run_reader(state, oxford_asc_layout);
}

}  // namespace brandel::readers
