#include "readers/labo_list.hpp"

#include <cmath>
#include <cstdlib>

#include "readers/labo_layout.hpp"
#include "spectrum/errors.hpp"
#include "spectrum/numbers.hpp"

namespace brandel::readers {

namespace {

using H = LaboOldHeader;

// The first two values stand right after the header; they are the live and real times in ticks.
constexpr std::size_t live_value = H::size;
constexpr std::size_t real_value = H::size + 4;

void read_labo_list(spectrum::State& state, std::string_view bytes) {
    const std::string_view what = "the Labo(LIST) file";
    // The value count comes from the file's length, not from the header. Its formula takes
    // 1024 bytes off although the header has 1036, so it asks for three values more than the
    // file holds: values past the end read as zero.
    const spectrum::LittleEndianReader file(bytes, std::string(what),
                                            spectrum::LittleEndianReader::Past::zero);
    require_header(file, H::size, what);
    const double formula = (static_cast<double>(bytes.size()) - 1024.0) / 4.0;
    auto where = [&] {
        return "the channel count " + spectrum::number_text(std::nearbyint(formula)) +
               " from the file's " + std::to_string(bytes.size()) + " bytes";
    };
    const std::int16_t count = int16_of(formula, where);
    state.chn_header.num_channels = count;
    if (!read_counts(state.counts, file, H::size, count))
        refuse(spectrum::ErrorKind::out_of_range, where(),
               "is more than the " + std::to_string(spectrum::Counts::capacity) +
                   " channels that fit");

    // The first two values are the live and real times, already in ticks; they stay in the
    // spectrum as channels 1 and 2.
    state.chn_header.live_time = state.counts.at(0);
    state.chn_header.real_time = state.counts.at(1);
    for (const std::size_t at : {live_value, real_value})
        if (const std::int32_t ticks = file.i32(at); ticks < 0)
            refuse(spectrum::ErrorKind::unreadable,
                   "byte " + std::to_string(at) + ": the " + (at == live_value ? "live" : "real") +
                       " time " + std::to_string(ticks) + " (ticks of 20 ms)",
                   "is negative");

    set_labo_old_start(state.chn_header, file);

    state.chn_trailer.sample_desc.assign(U"from Labo LIST data");
    state.chn_trailer.sample_desc_len = 63;
    state.source_values.unsigned_counts = true;
}

void labo_list_shape(std::string_view bytes) {
    const std::string damage = labo_old_damage(bytes);
    if (!damage.empty())
        spectrum::raise(spectrum::ErrorKind::unreadable, damage);
}

// Whether the first two values are the header's times: ticks of 20 ms within a tick of the
// whole seconds the header holds.
bool values_are_header_times(const spectrum::LittleEndianReader& file) {
    auto agree = [&](std::size_t value, std::size_t seconds) {
        return std::llabs(static_cast<long long>(file.i32(value)) - 50LL * file.i32(seconds)) < 50;
    };
    return agree(live_value, H::live_time) && agree(real_value, H::real_time);
}

}  // namespace

const ReaderLayout labo_list_layout{{101, 3}, read_labo_list, labo_list_shape};

std::string labo_old_damage(std::string_view bytes) {
    if (bytes.size() < H::size)
        return {};  // no header: the reading refuses it
    const spectrum::LittleEndianReader file(bytes, "the Labo(LIST) file",
                                            spectrum::LittleEndianReader::Past::zero);
    // Only a header whose date and time read is taken for a Labo(Old) header.
    spectrum::ChnHeader start;
    fill_labo_old_start(start, file);
    if (!is_start_date(start) || !is_start_time(start))
        return {};
    // Times that no header of a measurement holds.
    for (const std::size_t at : {H::live_time, H::real_time}) {
        const std::int32_t seconds = file.i32(at);
        if (seconds < 0 || seconds > 42949672)
            return time_field(file, at, at == H::live_time ? "live" : "real") +
                   " of a Labo(Old) header is " + (seconds < 0 ? "negative" : "out of range");
    }
    const std::int16_t count = file.i16(H::num_channels);
    const std::size_t data = bytes.size() - H::size;
    const auto values = static_cast<long long>(data / 4);
    if (data % 4 == 0 && count == values)
        return {};  // a whole Labo(Old) file, which a LIST reading reads too
    // A LIST header that records times holds those of the first two values; one that records
    // none counts the channels after the two times, every value as the count formula counts
    // them, or nothing.
    const bool header_times = file.i32(H::real_time) != 0;
    const auto formula =
        static_cast<long long>(std::nearbyint((static_cast<double>(bytes.size()) - 1024.0) / 4.0));
    if (header_times ? values_are_header_times(file)
                     : count == 0 || count == values - 2 || count == formula)
        return {};
    return "byte " + std::to_string(H::num_channels) + ": a Labo(Old) header announces " +
           std::to_string(count) + " channels but the file holds " + values_after(bytes, H::size);
}

ReaderResult read_org_labo_list(spectrum::State& state) {
    return run_reader(state, labo_list_layout);
}

}  // namespace brandel::readers
