#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "spectrum/state.hpp"

namespace brandel::test_support {

/// A spectrum record as a conversion leaves it, from a few values.
struct SampleRecord {
    std::vector<std::int32_t> counts = {0, 5, 12};
    std::int32_t live_ticks = 90767;  // 1815.34 s
    std::int32_t real_ticks = 90774;  // 1815.48 s
    std::u32string start_date = U"15JUL031";
    std::u32string start_time = U"094120";
    float energy_zero = -1.25f;
    float energy_slope = 0.5f;
    float energy_quad = 1.2e-05f;
    std::u32string sample = U"Co-60 check";
    std::int16_t mca_number = 301;
    std::int16_t segment = 1;

    /// A record of these values, in a state of its own (a state is too large for the stack of
    /// some test threads).
    std::unique_ptr<spectrum::State> state() const {
        auto s = std::make_unique<spectrum::State>();
        spectrum::ChnHeader& h = s->chn_header;
        spectrum::ChnTrailer& t = s->chn_trailer;
        h.mca_number = mca_number;
        h.segment = segment;
        h.num_channels = static_cast<std::int16_t>(counts.size());
        for (std::size_t k = 0; k < counts.size(); ++k)
            s->counts.set(static_cast<int>(k), counts[k]);
        h.live_time = live_ticks;
        h.real_time = real_ticks;
        h.start_date.assign(start_date);
        h.start_time.assign(start_time);
        h.start_sec_tens = static_cast<std::uint8_t>(start_time.size() > 4 ? start_time[4] : 0);
        h.start_sec_units = static_cast<std::uint8_t>(start_time.size() > 5 ? start_time[5] : 0);
        t.trailer_type = -102;
        t.energy_zero = energy_zero;
        t.energy_slope = energy_slope;
        t.energy_quad = energy_quad;
        t.sample_desc_len = 63;
        t.sample_desc.assign(sample);
        return s;
    }
};

}  // namespace brandel::test_support
