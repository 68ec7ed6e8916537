#include "readers/reader_kit.hpp"

#include <cmath>
#include <cstdio>

#include "spectrum/codepage.hpp"
#include "spectrum/errors.hpp"
#include "spectrum/numbers.hpp"
#include "spectrum/paths.hpp"
#include "spectrum/regular_file.hpp"

namespace brandel::readers {

using spectrum::ErrorKind;
using spectrum::raise;
using spectrum::SpectrumError;

namespace {

// Loads the source file whole; only a regular file is read, and none larger than the limit.
std::string load_source(const std::string& path, std::int16_t& status) {
    bool folder_missing = false;
    try {
        return spectrum::read_regular_file(path, max_source_bytes, &folder_missing);
    } catch (const SpectrumError&) {
        if (folder_missing)
            status = -1;
        throw;
    }
}

Outcome outcome_of(ErrorKind kind) {
    switch (kind) {
        case ErrorKind::key_not_found:
            return Outcome::key_not_found;
        case ErrorKind::file_not_found:
            return Outcome::file_not_found;
        default:
            return Outcome::read_error;
    }
}

bool is_digit(char32_t c) {
    return c >= U'0' && c <= U'9';
}

// Sets what every reading starts from: a clean record and the layout's entry defaults.
void enter(spectrum::State& state, EntryDefaults defaults) {
    state.clear_record();
    spectrum::ChnTrailer& t = state.chn_trailer;
    t.energy_zero = 0.0f;
    t.energy_slope = 1.0f;
    t.energy_quad = 0.0f;
    t.trailer_type = -102;
    state.chn_header.mca_number = defaults.mca_number;
    state.chn_header.segment = defaults.segment;
    state.chn_header.num_channels = 0;
}

// Runs `step`; every error raised inside becomes the outcome and its reason.
template <class Step>
ReaderResult guarded(Step&& step) {
    ReaderResult result;
    try {
        step();
    } catch (const SpectrumError& e) {
        result.outcome = outcome_of(e.kind());
        result.reason = e.what();
    } catch (const std::bad_alloc&) {
        result.outcome = Outcome::read_error;
        result.reason = "not enough memory to read the file";
    } catch (const std::exception& e) {
        result.outcome = Outcome::read_error;
        result.reason = e.what();
    }
    return result;
}

// The layout's steps, then what every reading must hold, then the layout's shape.
ReaderResult read_entered(spectrum::State& state, const ReaderLayout& layout,
                          std::string_view bytes) {
    return guarded([&] {
        layout.body(state, bytes);
        if (layout.shape != nullptr)
            layout.shape(bytes);
        check_reading(state.chn_header);
    });
}

// The value of a two-character number written as two digits or as a blank and a digit; -1 for
// anything else.
int two_char_number(std::u32string_view text) {
    if (text.size() != 2 || !is_digit(text[1]))
        return -1;
    if (text[0] == U' ')
        return static_cast<int>(text[1] - U'0');
    if (!is_digit(text[0]))
        return -1;
    return static_cast<int>((text[0] - U'0') * 10 + (text[1] - U'0'));
}

bool is_month_name(std::u32string_view text) {
    static constexpr std::string_view names[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                                 "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    if (text.size() != 3)
        return false;
    for (std::string_view name : names) {
        bool same = true;
        for (std::size_t i = 0; i < 3; ++i) {
            char32_t c = text[i];
            if (c >= U'a' && c <= U'z')
                c -= U'a' - U'A';
            same = same && c == static_cast<char32_t>(name[i]);
        }
        if (same)
            return true;
    }
    return false;
}

// A field's text as a message shows it: trailing blanks dropped, control characters (a NUL
// of a field never set among them) written as \xNN.
std::string shown(std::u32string_view field) {
    const std::size_t end = field.find_last_not_of(U' ');
    return quote_text(field.substr(0, end == std::u32string_view::npos ? 0 : end + 1));
}

void check_not_negative(std::int32_t ticks, const char* what) {
    if (ticks < 0) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.2f", ticks / 50.0);
        raise(ErrorKind::unreadable, std::string(what) + " " + seconds + " s is negative");
    }
}

}  // namespace

LoadedSource load_source_file(const std::string& path) {
    LoadedSource source;
    std::int16_t status = 0;
    source.failure = guarded([&] {
        source.bytes = load_source(path, status);
        source.loaded = true;
    });
    source.failure.status = status;
    return source;
}

ReaderResult read_loaded(spectrum::State& state, const ReaderLayout& layout,
                         const LoadedSource& source) {
    enter(state, layout.defaults);
    return source.loaded ? read_entered(state, layout, source.bytes) : source.failure;
}

ReaderResult run_reader(spectrum::State& state, const ReaderLayout& layout, LoadedSource* source) {
    LoadedSource loaded = load_source_file(state.org_path);
    ReaderResult result = read_loaded(state, layout, loaded);
    if (source != nullptr)
        *source = std::move(loaded);
    return result;
}

ReaderResult read_source(spectrum::State& state, const ReaderLayout& layout,
                         std::string_view bytes) {
    enter(state, layout.defaults);
    return read_entered(state, layout, bytes);
}

bool is_start_date(const spectrum::ChnHeader& header) {
    const std::u32string_view date = header.start_date.view();
    const int day = two_char_number(date.substr(0, 2));
    return day >= 1 && day <= 31 && is_month_name(date.substr(2, 3)) &&
           two_char_number(date.substr(5, 2)) >= 0;
}

bool is_start_time(const spectrum::ChnHeader& header) {
    const std::u32string_view time = header.start_time.view();
    const int hour = two_char_number(time.substr(0, 2));
    const int minute = two_char_number(time.substr(2, 2));
    const int second = two_char_number(time.substr(4, 2));
    return hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59 && second >= 0 && second <= 59;
}

void check_reading(const spectrum::ChnHeader& header) {
    if (!is_start_date(header))
        raise(ErrorKind::unreadable,
              "start date '" + shown(header.start_date.view()) + "' is not a date");
    if (!is_start_time(header))
        raise(ErrorKind::unreadable,
              "start time '" + shown(header.start_time.view()) + "' is not a time");
    check_not_negative(header.live_time, "live time");
    check_not_negative(header.real_time, "real time");
}

std::string quote_text(std::u32string_view text) {
    constexpr std::size_t most = 120;
    std::u32string out;
    for (std::size_t i = 0; i < text.size() && i < most; ++i) {
        const char32_t c = text[i];
        if (c < 0x20 || c == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned>(c));
            out += spectrum::widen(hex);
        } else {
            out += c;
        }
    }
    if (text.size() > most)
        out += U"...";
    return spectrum::to_utf8(out);
}

std::string quote_bytes(std::string_view bytes) {
    std::u32string chars;
    spectrum::decode_cp932(bytes, 121, chars);
    return quote_text(chars);
}

std::string quoted_line(const spectrum::TextSource& text, std::size_t i, std::string_view what) {
    return "line " + std::to_string(i + 1) + ": the " + std::string(what) + " '" +
           quote_bytes(text.line_bytes(i)) + "'";
}

void refuse(ErrorKind kind, const std::string& where, std::string_view problem) {
    raise(kind, where + " " + std::string(problem));
}

void refuse_channel_count(std::int32_t count, const std::string& where) {
    if (count < 0)
        refuse(ErrorKind::out_of_range, where, "is negative");
    refuse(ErrorKind::out_of_range, where,
           "is more than the " + std::to_string(spectrum::Counts::capacity) + " channels that fit");
}

void refuse_time(double seconds, const std::string& where) {
    if (seconds < 0)
        refuse(ErrorKind::unreadable, where, "is negative");
    refuse(ErrorKind::overflow, where, "is out of range (at most 42949672.94 s)");
}

void require_text_shape(std::string_view bytes) {
    const std::size_t nul = bytes.substr(0, 1024).find('\0');
    if (nul != std::string_view::npos)
        raise(ErrorKind::unreadable,
              "byte " + std::to_string(nul) + " is a NUL byte, which no text file holds");
}

void key_not_found(std::string_view key) {
    raise(ErrorKind::key_not_found, "header key \"" + std::string(key) + "\" not found");
}

std::size_t find_key_line(const spectrum::TextSource& text, std::string_view key) {
    const std::size_t line = text.find_line(key);
    if (line == spectrum::TextSource::npos)
        key_not_found(key);
    return line;
}

KeyValue key_value(const spectrum::TextSource& text, std::string_view key, std::size_t first,
                   std::size_t last) {
    const std::size_t line = find_key_line(text, key);
    return {spectrum::leading_number(spectrum::column_range(text.line(line), first, last)), line};
}

std::u32string_view key_line(const spectrum::TextSource& text, std::string_view key) {
    return text.line(find_key_line(text, key));
}

std::int32_t rounded_channel_count(double value, int channel, std::size_t line,
                                   std::string_view field) {
    const double r = std::nearbyint(value);  // halves to even
    if (r >= -2147483648.0 && r <= 2147483647.0)
        return static_cast<std::int32_t>(r);
    refuse(ErrorKind::overflow,
           "line " + std::to_string(line) + ": the count '" + quote_bytes(field) + "' of channel " +
               std::to_string(channel),
           "is out of range (-2147483648 to 2147483647)");
}

int read_count_table(spectrum::FieldReader& in, spectrum::Counts& counts, std::size_t width,
                     std::size_t taken, int records) {
    std::uint32_t plain[192];  // whole records of one, two or three fields
    const std::size_t batch = std::size(plain) / width * width;
    int k = 0;
    while (records < 0 ? !in.at_end() : k < records) {
        std::size_t got = 0;
        if (width == 1) {
            // Counts alone are read straight into the record, a batch at a time: the room is
            // taken as set, and the record is cleared only as far as it was set.
            const std::span<std::int32_t> room =
                counts.room(k, records < 0 ? 1024 : std::min(records - k, 1024));
            if (!room.empty())
                got = in.next_plain_numbers(reinterpret_cast<std::uint32_t*>(room.data()),
                                            room.size());
        } else {
            // No further than the record holds: the first count past it is read below, where
            // its line is known.
            std::size_t want = std::min(
                batch,
                static_cast<std::size_t>(std::max(0, spectrum::Counts::capacity - k)) * width);
            if (records >= 0)
                want = std::min(want, static_cast<std::size_t>(records - k) * width);
            got = in.next_plain_numbers(plain, want, width, taken);
            counts.set_many(k, plain + taken, static_cast<int>(got / width), width);
        }
        const auto whole = static_cast<int>(got / width);
        k += whole;
        const std::size_t i = static_cast<std::size_t>(whole) * width;
        const std::size_t have = got - i;  // fields of an unfinished record, already read
        if (have == 0 && got > 0)
            continue;
        // A record the plain reading did not finish: its other fields by the general rule.
        double value = taken < have ? plain[i + taken] : 0.0;
        std::size_t line = 0;  // where the count starts; a plain count never needs it
        std::size_t begin = 0;
        std::size_t end = 0;
        for (std::size_t f = have; f < width; ++f) {
            if (f != taken) {
                in.next_number();
                continue;
            }
            line = in.line_number();
            begin = in.offset();
            value = in.next_number();
            end = in.offset();
        }
        const std::string_view field = in.field_bytes(begin, end);
        if (k >= spectrum::Counts::capacity)
            refuse(ErrorKind::out_of_range,
                   "line " + std::to_string(line) + ": the count '" + quote_bytes(field) +
                       "' of channel " + std::to_string(k + 1),
                   "is more than the " + std::to_string(spectrum::Counts::capacity) +
                       " channels that fit");
        counts.set(k, channel_count(value, k + 1, line, field));
        ++k;
    }
    return k;
}

void finish_start_time(spectrum::ChnHeader& header) {
    spectrum::TextField<6>& time = header.start_time;
    if (time.at(2) == U' ')
        time.set(2, U'0');
    auto digit_code = [](char32_t c) -> std::uint8_t {
        return static_cast<std::uint8_t>('0' + (is_digit(c) ? c - U'0' : 0));
    };
    header.start_sec_tens = digit_code(time.at(4));
    header.start_sec_units = digit_code(time.at(5));
}

void set_sample_text(spectrum::State& state, std::u32string_view text) {
    state.text_buf.assign(text);
    state.chn_trailer.sample_desc_len = static_cast<std::uint8_t>(state.text_buf.width - 1);
    std::u32string first63(state.text_buf.view().substr(0, 63));
    state.text_buf.assign(first63);
    state.chn_trailer.sample_desc.assign(first63);
}

std::u32string century_mark_from_digits(std::u32string_view digits) {
    std::string mark = spectrum::number_text(spectrum::leading_number(digits) - 19);
    return mark == "0" ? std::u32string(U" ") : spectrum::widen(mark);
}

std::u32string century_mark_from_year(double year) {
    return year < 70 ? U"1" : U" ";
}

std::u32string two_digits(long value) {
    if (value < 0)
        return U"-" + two_digits(-value);
    std::string text = std::to_string(value);
    if (text.size() < 2)
        text.insert(0, "0");
    return spectrum::widen(text);
}

}  // namespace brandel::readers
