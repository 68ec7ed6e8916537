#include "formats/csv.hpp"

#include "formats/spectrum_values.hpp"

namespace brandel::formats {

std::string csv_bytes(const spectrum::State& state) {
    const std::span<const std::int32_t> counts = channel_counts(state);
    const double zero = state.chn_trailer.energy_zero;
    const double slope = state.chn_trailer.energy_slope;
    const double quad = state.chn_trailer.energy_quad;
    const bool energies = has_calibration(zero, slope, quad);

    std::string out;
    out.reserve(32 + (energies ? 36 : 16) * counts.size());
    out += "channel,energy_keV,counts\r\n";
    for (std::size_t k = 0; k < counts.size(); ++k) {
        const auto c = static_cast<double>(k);
        append_integer(out, static_cast<long long>(k));
        out += ',';
        if (energies)
            append_double(out, zero + slope * c + quad * c * c);
        out += ',';
        append_integer(out, counts[k]);
        out += "\r\n";
    }
    return out;
}

}  // namespace brandel::formats
