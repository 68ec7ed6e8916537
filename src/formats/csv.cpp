#include "formats/csv.hpp"

#include <cmath>
#include <limits>

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

CsvReading read_csv(std::string_view bytes) {
    CsvReading reading;
    std::size_t line = 0;
    auto fail = [&](const std::string& why) {
        reading.reason = "line " + std::to_string(line + 1) + ": " + why;
        reading.counts.clear();
        reading.energies.clear();
        return reading;
    };
    for (std::size_t at = 0; at < bytes.size(); ++line) {
        std::size_t end = bytes.find('\n', at);
        if (end == std::string_view::npos)
            return fail("the line does not end");
        std::string_view text = bytes.substr(at, end - at);
        at = end + 1;
        if (!text.empty() && text.back() == '\r')
            text.remove_suffix(1);
        if (line == 0) {
            if (text != "channel,energy_keV,counts")
                return fail("no header channel,energy_keV,counts but " + formats::quoted(text));
            continue;
        }
        const std::size_t first = text.find(',');
        const std::size_t second =
            first == std::string_view::npos ? first : text.find(',', first + 1);
        if (second == std::string_view::npos ||
            text.find(',', second + 1) != std::string_view::npos)
            return fail("no row of three fields but " + formats::quoted(text));
        double channel = 0, energy = std::numeric_limits<double>::quiet_NaN(), count = 0;
        const std::string_view energy_text = text.substr(first + 1, second - first - 1);
        if (!parse_number(text.substr(0, first), channel) ||
            channel != static_cast<double>(reading.counts.size()))
            return fail("the channel is not " + std::to_string(reading.counts.size()) + " but " +
                        formats::quoted(text.substr(0, first)));
        if (!energy_text.empty() && !parse_number(energy_text, energy))
            return fail("the energy is no number but " + formats::quoted(energy_text));
        if (!parse_number(text.substr(second + 1), count) || count != std::floor(count) ||
            count < std::numeric_limits<std::int32_t>::min() ||
            count > std::numeric_limits<std::int32_t>::max())
            return fail("the count is no 32-bit integer but " +
                        formats::quoted(text.substr(second + 1)));
        reading.counts.push_back(static_cast<std::int32_t>(count));
        reading.energies.push_back(energy);
    }
    if (line == 0)
        return fail("the file is empty");
    reading.complete = true;
    return reading;
}

}  // namespace brandel::formats
