#include "readers/labo_list.hpp"

#include "readers/labo_layout.hpp"
#include "spectrum/numbers.hpp"

namespace brandel::readers {

namespace {

void read_labo_list(spectrum::State& state, std::string_view bytes) {
    using H = LaboOldHeader;
    const std::string_view what = "the Labo(LIST) file";
    // The value count comes from the file's length, not from the header. Its formula takes
    // 1024 bytes off although the header has 1036, so it asks for three values more than the
    // file holds: values past the end read as zero.
    const spectrum::LittleEndianReader file(bytes, std::string(what),
                                            spectrum::LittleEndianReader::Past::zero);
    require_header(file, H::size, what);
    const std::int16_t count = spectrum::round_to_int16(
        (static_cast<double>(bytes.size()) - 1024.0) / 4.0, "Labo(LIST) channel count");
    state.chn_header.num_channels = count;
    read_counts(state.counts, file, H::size, count);

    // The first two values are the live and real times, already in ticks; they stay in the
    // spectrum as channels 1 and 2.
    state.chn_header.live_time = state.counts.at(0);
    state.chn_header.real_time = state.counts.at(1);

    set_labo_old_start(state.chn_header, file);

    state.chn_trailer.sample_desc.assign(U"from Labo LIST data");
    state.chn_trailer.sample_desc_len = 63;
}

}  // namespace

// The count comes from the file's length, so any file that holds the header has the LIST
// shape; the reading itself refuses a shorter one.
const ReaderLayout labo_list_layout{{101, 3}, read_labo_list, nullptr};

ReaderResult read_org_labo_list(spectrum::State& state) {
    return run_reader(state, labo_list_layout);
}

}  // namespace brandel::readers
