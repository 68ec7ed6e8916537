#include "formats/spectrum_values.hpp"

#include <charconv>
#include <cmath>

#include "spectrum/codepage.hpp"
#include "spectrum/errors.hpp"
#include "spectrum/months.hpp"
#include "spectrum/numbers.hpp"
#include "spectrum/paths.hpp"
#include "spectrum/text.hpp"

namespace brandel::formats {

using spectrum::ErrorKind;
using spectrum::raise;

namespace {

// The value of a two-character number written as two digits or as a blank and a digit; -1 for
// anything else.
int two_char_number(std::u32string_view text) {
    auto digit = [](char32_t c) { return c >= U'0' && c <= U'9'; };
    if (text.size() != 2 || !digit(text[1]))
        return -1;
    const int units = static_cast<int>(text[1] - U'0');
    if (text[0] == U' ')
        return units;
    return digit(text[0]) ? static_cast<int>(text[0] - U'0') * 10 + units : -1;
}

// The first century of a date's century mark: a blank 19, "1" 20, "2" 21, ... "9" 28; -1 for
// anything else.
int century_of_mark(char32_t mark) {
    if (mark == U' ')
        return 19;
    if (mark >= U'1' && mark <= U'9')
        return 19 + static_cast<int>(mark - U'0');
    return -1;
}

int days_in_month(int year, int month) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

// A text field as a message quotes it: trailing blanks dropped, NULs of a field never set shown.
std::string field_text(std::u32string_view field) {
    std::string text = spectrum::to_utf8(field);
    const std::size_t end = text.find_last_not_of(' ');
    text.resize(end == std::string::npos ? 0 : end + 1);
    return spectrum::escape_controls(text);
}

}  // namespace

StartDateTime start_of(const spectrum::ChnHeader& header) {
    const std::u32string_view date = header.start_date.view();
    const std::u32string_view time = header.start_time.view();
    std::string month_name;
    for (char32_t c : date.substr(2, 3))
        month_name += c < 0x80 ? static_cast<char>(c) : '?';
    StartDateTime start;
    start.day = two_char_number(date.substr(0, 2));
    start.month = spectrum::month2num(month_name);
    const int year = two_char_number(date.substr(5, 2));
    const int century = century_of_mark(date[7]);
    start.year = century * 100 + year;
    start.hour = two_char_number(time.substr(0, 2));
    start.minute = two_char_number(time.substr(2, 2));
    start.second = two_char_number(time.substr(4, 2));
    const bool date_ok = start.day >= 1 && start.month != 0 && year >= 0 && century >= 0 &&
                         start.day <= days_in_month(start.year, start.month);
    if (!date_ok)
        raise(ErrorKind::cannot_write,
              "the start date '" + field_text(date) + "' is not a day of the calendar");
    if (!is_valid(start))
        raise(ErrorKind::cannot_write,
              "the start time '" + field_text(time) + "' is not a time of the clock");
    return start;
}

bool is_valid(const StartDateTime& s) {
    return s.year >= 1 && s.year <= 9999 && s.month >= 1 && s.month <= 12 && s.day >= 1 &&
           s.day <= days_in_month(s.year, s.month) && s.hour >= 0 && s.hour <= 23 &&
           s.minute >= 0 && s.minute <= 59 && s.second >= 0 && s.second <= 59;
}

std::string description_bytes(const spectrum::ChnTrailer& trailer) {
    std::string bytes = spectrum::encode_cp932(trailer.sample_desc.view(), 63);
    bytes.resize(std::min(bytes.size(), bytes.find('\0')));
    // No byte below 0x20 is part of a double-byte character, so this never splits one.
    for (char& c : bytes)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    const std::size_t end = bytes.find_last_not_of(' ');
    bytes.resize(end == std::string::npos ? 0 : end + 1);
    return bytes;
}

std::string description_of(const spectrum::ChnTrailer& trailer) {
    return spectrum::to_utf8(spectrum::decode_cp932(description_bytes(trailer)));
}

bool has_calibration(double zero, double slope, double quad) {
    if (!std::isfinite(zero) || !std::isfinite(slope) || !std::isfinite(quad))
        return false;
    if (slope == 0 && quad == 0)
        return false;
    return !(zero == 0 && slope == 1 && quad == 0);
}

SpectrumValues writable_values(const spectrum::State& state) {
    SpectrumValues v = header_values(state);
    if (!std::isfinite(v.energy_zero) || !std::isfinite(v.energy_slope) ||
        !std::isfinite(v.energy_quad))
        raise(ErrorKind::cannot_write, "the energy calibration holds a term that is not a number");
    if (v.live_seconds < 0 || v.real_seconds < 0)
        raise(ErrorKind::cannot_write, "the live or real time is negative");
    return v;
}

std::span<const std::int32_t> channel_counts(const spectrum::State& state) {
    const std::int16_t n = state.chn_header.num_channels;
    if (n > spectrum::Counts::capacity)
        raise(ErrorKind::out_of_range, std::to_string(n) + " channels, at most " +
                                           std::to_string(spectrum::Counts::capacity) + " fit");
    return {state.counts.data(), n > 0 ? static_cast<std::size_t>(n) : 0};
}

SpectrumValues header_values(const spectrum::State& state) {
    SpectrumValues v;
    v.live_seconds = state.chn_header.live_time / 50.0;
    v.real_seconds = state.chn_header.real_time / 50.0;
    v.start = start_of(state.chn_header);
    v.energy_zero = state.chn_trailer.energy_zero;
    v.energy_slope = state.chn_trailer.energy_slope;
    v.energy_quad = state.chn_trailer.energy_quad;
    v.description = description_of(state.chn_trailer);
    return v;
}

SpectrumValues values_of(const spectrum::State& state) {
    SpectrumValues v = header_values(state);
    const std::span<const std::int32_t> counts = channel_counts(state);
    v.counts.assign(counts.begin(), counts.end());
    return v;
}

void put_values(const SpectrumValues& v, spectrum::State& state) {
    if (v.counts.size() > static_cast<std::size_t>(spectrum::Counts::capacity))
        raise(ErrorKind::out_of_range, std::to_string(v.counts.size()) + " channels, at most " +
                                           std::to_string(spectrum::Counts::capacity) + " fit");
    const StartDateTime& s = v.start;
    if (!is_valid(s))
        raise(ErrorKind::unreadable, "the start is not a date and time");
    if (s.year < 1900 || s.year > 2899)
        raise(ErrorKind::out_of_range,
              "the year " + std::to_string(s.year) + " has no century mark in a CHN date");

    state.clear_record();
    spectrum::ChnHeader& h = state.chn_header;
    spectrum::ChnTrailer& t = state.chn_trailer;
    h.num_channels = static_cast<std::int16_t>(v.counts.size());
    for (std::size_t k = 0; k < v.counts.size(); ++k)
        state.counts.set(static_cast<int>(k), v.counts[k]);
    h.live_time = spectrum::seconds_to_ticks(v.live_seconds, "live time");
    h.real_time = spectrum::seconds_to_ticks(v.real_seconds, "real time");

    auto two = [](int n) {
        return std::u32string{char32_t(U'0' + n / 10), char32_t(U'0' + n % 10)};
    };
    const int century = s.year / 100 - 19;
    h.start_date.assign(two(s.day) +
                        spectrum::widen(spectrum::num2month(static_cast<std::int16_t>(s.month))) +
                        two(s.year % 100) + (century == 0 ? U' ' : char32_t(U'0' + century)));
    h.start_time.assign(two(s.hour) + two(s.minute) + two(s.second));
    h.start_sec_tens = static_cast<std::uint8_t>('0' + s.second / 10);
    h.start_sec_units = static_cast<std::uint8_t>('0' + s.second % 10);

    t.trailer_type = -102;
    t.energy_zero = spectrum::to_float32(v.energy_zero, "energy zero");
    t.energy_slope = spectrum::to_float32(v.energy_slope, "energy slope");
    t.energy_quad = spectrum::to_float32(v.energy_quad, "energy quad");
    const std::u32string text = spectrum::from_utf8(v.description);
    state.text_buf.assign(text);
    t.sample_desc.assign(std::u32string_view(text).substr(0, 63));
    t.sample_desc_len = 63;
}

void append_integer(std::string& out, long long value) {
    char buffer[24];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    out.append(buffer, end);
}

void append_seconds(std::string& out, std::int32_t ticks) {
    const long long hundredths = 2LL * ticks;
    const long long whole = hundredths < 0 ? -hundredths : hundredths;
    if (hundredths < 0)
        out += '-';
    append_integer(out, whole / 100);
    const int fraction = static_cast<int>(whole % 100);
    if (fraction == 0)
        return;
    out += '.';
    out += static_cast<char>('0' + fraction / 10);
    if (fraction % 10 != 0)
        out += static_cast<char>('0' + fraction % 10);
}

void append_double(std::string& out, double value) {
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    out.append(buffer, end);
}

void append_terms(std::string& out, const SpectrumValues& v, int count) {
    const double terms[] = {v.energy_zero, v.energy_slope, v.energy_quad};
    for (int k = 0; k < count && k < 3; ++k) {
        if (k > 0)
            out += ' ';
        append_double(out, terms[k]);
    }
}

bool parse_number(std::string_view text, double& value) {
    if (!text.empty() && text[0] == '+')
        text.remove_prefix(1);
    if (text.empty())
        return false;
    // from_chars also takes "inf" and "nan", which no count, time or term can be.
    const char first = text[0] == '-' && text.size() > 1 ? text[1] : text[0];
    if (!(first == '.' || (first >= '0' && first <= '9')))
        return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && std::isfinite(value);
}

std::size_t line_number_at(std::string_view bytes, std::size_t offset) {
    std::size_t line = 1;
    offset = std::min(offset, bytes.size());
    for (std::size_t i = 0; i < offset; ++i) {
        if (bytes[i] == '\n' ||
            (bytes[i] == '\r' && (i + 1 >= bytes.size() || bytes[i + 1] != '\n')))
            ++line;
    }
    return line;
}

std::string quoted(std::string_view text) {
    constexpr std::size_t most = 40;
    std::string cut(text.substr(0, most));
    // Not past the start of a UTF-8 character.
    if (text.size() > most) {
        while (!cut.empty() && (static_cast<unsigned char>(cut.back()) & 0xC0) == 0x80)
            cut.pop_back();
        if (!cut.empty() && static_cast<unsigned char>(cut.back()) >= 0xC0)
            cut.pop_back();
        cut += "...";
    }
    return "'" + spectrum::escape_controls(cut) + "'";
}

}  // namespace brandel::formats
