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
void read_channels(State& state, const LittleEndianReader& file, std::size_t count_at,
                   std::size_t first) {
    const std::int16_t count = file.i16(count_at);
    state.chn_header.num_channels = count;
    if (!read_counts(state.counts, file, first, count))
        refuse(spectrum::ErrorKind::out_of_range, channel_count_field(count_at, count),
               "is more than the " + std::to_string(spectrum::Counts::capacity) +
                   " channels that fit");
}

/// The header holds whole seconds; the record holds ticks of 20 ms.
void read_times(spectrum::ChnHeader& header, const LittleEndianReader& file, std::size_t live,
                std::size_t real) {
    header.live_time = ticks_of(file.i32(live), [&] { return time_field(file, live, "live"); });
    header.real_time = ticks_of(file.i32(real), [&] { return time_field(file, real, "real"); });
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

// A Labo(New) or Labo(Old) file is its header and exactly the header's N channel values; it is
// checked before any value is read, so that a file cut short or padded is told by its size. A
// negative count is told as such.
void require_channel_size(std::string_view bytes, std::size_t header_size, std::size_t count_at,
                          std::string_view layout) {
    const LittleEndianReader file(bytes, "the " + std::string(layout) + " file");
    require_header(file, header_size, "the " + std::string(layout) + " file");
    const std::int16_t count = file.i16(count_at);
    if (count < 0)
        refuse(spectrum::ErrorKind::out_of_range, channel_count_field(count_at, count),
               "is negative");
    if (bytes.size() != header_size + 4 * static_cast<std::size_t>(count))
        refuse(spectrum::ErrorKind::unreadable,
               "byte " + std::to_string(count_at) + ": a " + std::string(layout) +
                   " header announces " + std::to_string(count) + " channels",
               "but the file holds " + values_after(bytes, header_size));
}

void labo_new_shape(std::string_view bytes) {
    require_channel_size(bytes, LaboNewHeader::size, LaboNewHeader::num_channels, "Labo(New)");
}

void labo_old_shape(std::string_view bytes) {
    require_channel_size(bytes, LaboOldHeader::size, LaboOldHeader::num_channels, "Labo(Old)");
}

void read_labo_new(State& state, std::string_view bytes) {
    using H = LaboNewHeader;
    const LittleEndianReader file(bytes, "the Labo(New) file");
    labo_new_shape(bytes);
    spectrum::ChnHeader& header = state.chn_header;
    spectrum::ChnTrailer& trailer = state.chn_trailer;

    read_channels(state, file, H::num_channels, H::size);
    read_times(header, file, H::live_time, H::real_time);

    const std::int16_t year = file.i16(H::year), month = file.i16(H::month), day = file.i16(H::day);
    const std::int16_t hour = file.i16(H::hour), minute = file.i16(H::minute),
                       second = file.i16(H::second);
    header.start_date.assign(labo_new_date(day, month, year));
    const std::u32string t =
        two_digits(hour) + U":" + two_digits(minute) + U":" + two_digits(second);
    header.start_time.assign(hhmmss(t));
    finish_start_time(header);
    check_start(
        header,
        [&](bool date) {
            auto word = [](const char* name, std::int16_t value) {
                return std::string(name) + " " + std::to_string(value);
            };
            return date ? "byte " + std::to_string(H::year) + ": the date " + word("year", year) +
                              ", " + word("month", month) + ", " + word("day", day)
                        : "byte " + std::to_string(H::hour) + ": the time " + word("hour", hour) +
                              ", " + word("minute", minute) + ", " + word("second", second);
        },
        "a date", "a time");

    const std::u32string desc = text_at(file, H::sample_desc, H::sample_desc_bytes);
    trailer.sample_desc.assign(std::u32string_view(desc).substr(0, trailer.sample_desc.width));
    trailer.sample_desc_len = sample_desc_len;
    keep_description(state, desc);
    state.source_values.unsigned_counts = true;

    // The file holds the coefficients from the highest power down.
    trailer.energy_zero = file.f32(H::energy_zero);
    trailer.energy_slope = file.f32(H::energy_slope);
    trailer.energy_quad = file.f32(H::energy_quad);
}

void read_labo_old(State& state, std::string_view bytes) {
    using H = LaboOldHeader;
    const LittleEndianReader file(bytes, "the Labo(Old) file");
    labo_old_shape(bytes);
    spectrum::ChnTrailer& trailer = state.chn_trailer;

    read_channels(state, file, H::num_channels, H::size);
    read_times(state.chn_header, file, H::live_time, H::real_time);
    set_labo_old_start(state.chn_header, file);

    const std::u32string desc = text_at(file, H::sample_desc, H::sample_desc_bytes);
    trailer.sample_desc.assign(desc);
    trailer.sample_desc_len = sample_desc_len;
    keep_description(state, desc);
    state.source_values.unsigned_counts = true;

    trailer.energy_zero = file.f32(H::energy_zero);
    trailer.energy_slope = file.f32(H::energy_slope);
    trailer.energy_quad = file.f32(H::energy_quad);
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

bool read_counts(spectrum::Counts& counts, const LittleEndianReader& file, std::size_t first,
                 int count) {
    // The channels the record holds in one run; the first past them is read, so that a file
    // that ends there says so, and then refused.
    const std::span<std::int32_t> room = counts.room(0, count);
    file.i32s(first, room);
    if (static_cast<int>(room.size()) >= count)
        return true;
    (void)file.i32(first + 4 * room.size());
    return false;
}

std::string channel_count_field(std::size_t offset, std::int32_t count) {
    return "byte " + std::to_string(offset) + ": the channel count " + std::to_string(count);
}

std::string time_field(const LittleEndianReader& file, std::size_t offset, std::string_view which) {
    return "byte " + std::to_string(offset) + ": the " + std::string(which) + " time " +
           std::to_string(file.i32(offset)) + " s";
}

std::string values_after(std::string_view bytes, std::size_t header_size) {
    const std::size_t data = bytes.size() - std::min(bytes.size(), header_size);
    std::string text = std::to_string(data / 4) + " values";
    if (data % 4 != 0)
        text += " and " + std::to_string(data % 4) + (data % 4 == 1 ? " byte" : " bytes");
    return text;
}

void fill_labo_old_start(spectrum::ChnHeader& header, const LittleEndianReader& file) {
    using H = LaboOldHeader;
    const std::u32string date = text_at(file, H::date, H::date_bytes);
    header.start_date.assign(joined({spectrum::columns(date, 8, 2), spectrum::columns(date, 4, 3),
                                     spectrum::columns(date, 1, 2)}));
    header.start_time.assign(hhmmss(text_at(file, H::time, H::time_bytes)));
    finish_start_time(header);
}

void set_labo_old_start(spectrum::ChnHeader& header, const LittleEndianReader& file) {
    using H = LaboOldHeader;
    fill_labo_old_start(header, file);
    check_start(
        header,
        [&](bool date) {
            const std::size_t at = date ? H::date : H::time;
            return "byte " + std::to_string(at) + ": the " + (date ? "date" : "time") + " '" +
                   quote_bytes(file.bytes(at, date ? H::date_bytes : H::time_bytes)) + "'";
        },
        "YY-MMM-DD", "hh:mm:ss");
}

ReaderResult read_org_labo_new(State& state) {
    return run_reader(state, labo_new_layout);
}

ReaderResult read_org_labo_old(State& state) {
    return run_reader(state, labo_old_layout);
}

}  // namespace brandel::readers
