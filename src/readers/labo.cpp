#include "readers/labo.hpp"

#include <initializer_list>
#include <string>

#include "readers/labo_layout.hpp"
#include "spectrum/codepage.hpp"
#include "spectrum/errors.hpp"
#include "spectrum/months.hpp"
#include "spectrum/numbers.hpp"

namespace brandel::readers {

using spectrum::LittleEndianReader;
using spectrum::State;

namespace {

constexpr std::uint8_t sample_desc_len = 63;

std::u32string text_at(const LittleEndianReader& file, std::size_t offset, std::size_t count) {
    return spectrum::decode_cp932(file.bytes(offset, count));
}

std::u32string joined(std::initializer_list<std::u32string_view> parts) {
    std::u32string out;
    for (std::u32string_view part : parts)
        out += part;
    return out;
}

/// Characters 1-2, 4-5 and 7-8 of a time text "HH:MM:SS"; the separators are not examined.
std::u32string hhmmss(std::u32string_view t) {
    return joined(
        {spectrum::columns(t, 1, 2), spectrum::columns(t, 4, 2), spectrum::columns(t, 7, 2)});
}

/// N int32 counts follow the header directly, channel 1 first. A count of 0 is an empty
/// spectrum; counts past the 17001st raise after those that fit are stored.
void read_channels(State& state, const LittleEndianReader& file, std::int16_t count,
                   std::size_t first) {
    check_channel_count(count);
    state.chn_header.num_channels = count;
    read_counts(state.counts, file, first, count);
}

/// The header holds whole seconds; the record holds ticks of 20 ms.
void read_times(spectrum::ChnHeader& header, const LittleEndianReader& file, std::size_t live,
                std::size_t real) {
    header.live_time = spectrum::seconds_to_ticks(file.i32(live), "live time");
    header.real_time = spectrum::seconds_to_ticks(file.i32(real), "real time");
}

/// Builds the date from the day, month and year words as the text DD/MM/YY, each number with at
/// least two digits: a number that needs more digits shifts the later positions, and a month
/// number without a name gives no month name.
std::u32string labo_new_date(std::int16_t day, std::int16_t month, std::int16_t year) {
    const std::u32string d = two_digits(day) + U"/" + two_digits(month) + U"/" + two_digits(year);
    const auto month_number =
        static_cast<std::int16_t>(spectrum::leading_number(spectrum::columns(d, 4, 2)));
    return joined({spectrum::columns(d, 1, 2), spectrum::widen(spectrum::num2month(month_number)),
                   spectrum::columns(d, 7, 2), century_mark_from_year(year)});
}

void read_labo_new(State& state, std::string_view bytes) {
    using H = LaboNewHeader;
    const LittleEndianReader file(bytes, "the Labo(New) file");
    require_header(file, H::size, "the Labo(New) file");
    spectrum::ChnHeader& header = state.chn_header;
    spectrum::ChnTrailer& trailer = state.chn_trailer;

    read_channels(state, file, file.i16(H::num_channels), H::size);
    read_times(header, file, H::live_time, H::real_time);

    header.start_date.assign(
        labo_new_date(file.i16(H::day), file.i16(H::month), file.i16(H::year)));
    const std::u32string t = two_digits(file.i16(H::hour)) + U":" +
                             two_digits(file.i16(H::minute)) + U":" +
                             two_digits(file.i16(H::second));
    header.start_time.assign(hhmmss(t));
    finish_start_time(header);

    const std::u32string desc = text_at(file, H::sample_desc, H::sample_desc_bytes);
    trailer.sample_desc.assign(std::u32string_view(desc).substr(0, trailer.sample_desc.width));
    trailer.sample_desc_len = sample_desc_len;

    // The file holds the coefficients from the highest power down.
    trailer.energy_zero = file.f32(H::energy_zero);
    trailer.energy_slope = file.f32(H::energy_slope);
    trailer.energy_quad = file.f32(H::energy_quad);
}

void read_labo_old(State& state, std::string_view bytes) {
    using H = LaboOldHeader;
    const LittleEndianReader file(bytes, "the Labo(Old) file");
    require_header(file, H::size, "the Labo(Old) file");
    spectrum::ChnTrailer& trailer = state.chn_trailer;

    read_channels(state, file, file.i16(H::num_channels), H::size);
    read_times(state.chn_header, file, H::live_time, H::real_time);
    set_labo_old_start(state.chn_header, file);

    trailer.sample_desc.assign(text_at(file, H::sample_desc, H::sample_desc_bytes));
    trailer.sample_desc_len = sample_desc_len;

    trailer.energy_zero = file.f32(H::energy_zero);
    trailer.energy_slope = file.f32(H::energy_slope);
    trailer.energy_quad = file.f32(H::energy_quad);
}

// A Labo(New) or Labo(Old) file is its header and exactly the header's N channel values.
void require_channel_size(std::string_view bytes, std::size_t header_size, std::size_t count_offset,
                          std::string_view what) {
    const LittleEndianReader file(bytes, std::string(what));
    require_header(file, header_size, what);
    const std::int16_t count = file.i16(count_offset);
    const std::size_t expected = header_size + 4 * static_cast<std::size_t>(count < 0 ? 0 : count);
    if (bytes.size() != expected)
        spectrum::raise(spectrum::ErrorKind::unreadable,
                        std::string(what) + " of " + std::to_string(count) + " channels holds " +
                            std::to_string(expected) + " bytes, this file " +
                            std::to_string(bytes.size()));
}

void labo_new_shape(std::string_view bytes) {
    require_channel_size(bytes, LaboNewHeader::size, LaboNewHeader::num_channels,
                         "a Labo(New) file");
}

void labo_old_shape(std::string_view bytes) {
    require_channel_size(bytes, LaboOldHeader::size, LaboOldHeader::num_channels,
                         "a Labo(Old) file");
}

}  // namespace

const ReaderLayout labo_new_layout{{101, 1}, read_labo_new, labo_new_shape};
const ReaderLayout labo_old_layout{{101, 2}, read_labo_old, labo_old_shape};

void require_header(const LittleEndianReader& file, std::size_t size, std::string_view what) {
    if (file.size() < size)
        spectrum::raise(spectrum::ErrorKind::end_of_file,
                        std::string(what) + " ends at byte " + std::to_string(file.size()) +
                            ", inside its " + std::to_string(size) + "-byte header");
}

void read_counts(spectrum::Counts& counts, const LittleEndianReader& file, std::size_t first,
                 int count) {
    // The channels the record holds in one run; a channel past them raises as set does, once
    // its value has been read.
    const std::span<std::int32_t> room = counts.room(0, count);
    file.i32s(first, room);
    for (auto k = static_cast<int>(room.size()); k < count; ++k)
        counts.set(k, file.i32(first + 4 * static_cast<std::size_t>(k)));
}

void set_labo_old_start(spectrum::ChnHeader& header, const LittleEndianReader& file) {
    using H = LaboOldHeader;
    const std::u32string date = text_at(file, H::date, H::date_bytes);
    header.start_date.assign(joined({spectrum::columns(date, 8, 2), spectrum::columns(date, 4, 3),
                                     spectrum::columns(date, 1, 2)}));
    header.start_time.assign(hhmmss(text_at(file, H::time, H::time_bytes)));
    finish_start_time(header);
}

ReaderResult read_org_labo_new(State& state) {
    return run_reader(state, labo_new_layout);
}

ReaderResult read_org_labo_old(State& state) {
    return run_reader(state, labo_old_layout);
}

}  // namespace brandel::readers
