#include "readers/reader_kit.hpp"

#include <cmath>

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

}  // namespace

ReaderResult run_reader(spectrum::State& state, EntryDefaults defaults,
                        const std::function<void(spectrum::State&, std::string_view)>& body) {
    state.clear_record();
    spectrum::ChnTrailer& t = state.chn_trailer;
    t.energy_zero = 0.0f;
    t.energy_slope = 1.0f;
    t.energy_quad = 0.0f;
    t.trailer_type = -102;
    state.chn_header.mca_number = defaults.mca_number;
    state.chn_header.segment = defaults.segment;
    state.chn_header.num_channels = 0;

    ReaderResult result;
    try {
        std::string bytes = load_source(state.org_path, result.status);
        body(state, bytes);
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

void key_not_found(std::string_view key) {
    raise(ErrorKind::key_not_found, "header key \"" + std::string(key) + "\" not found");
}

std::size_t find_key_line(const spectrum::TextSource& text, std::string_view key) {
    const std::u32string wide = spectrum::widen(key);
    for (std::size_t i = 0; i < text.line_count(); ++i)
        if (spectrum::contains_ignore_case(text.line(i), wide))
            return i;
    key_not_found(key);
}

std::u32string_view key_line(const spectrum::TextSource& text, std::string_view key) {
    return text.line(find_key_line(text, key));
}

std::int32_t channel_count(double value, int channel, std::size_t line) {
    const double r = std::nearbyint(value);  // halves to even
    if (r >= -2147483648.0 && r <= 2147483647.0)
        return static_cast<std::int32_t>(r);
    return spectrum::round_to_int32(
        value, "line " + std::to_string(line) + ": count of channel " + std::to_string(channel));
}

void check_channel_count(std::int32_t count) {
    if (count < 0)
        raise(ErrorKind::out_of_range, "channel count " + std::to_string(count) + " is negative");
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
