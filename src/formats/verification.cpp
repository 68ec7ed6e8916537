#include "formats/verification.hpp"

#include <cmath>
#include <cstdio>
#include <memory>

#include "formats/csv.hpp"
#include "spectrum/chn_file.hpp"

namespace brandel::formats {

namespace {

bool same(double a, double b) {
    return a == b || (std::isnan(a) && std::isnan(b));
}

std::string number_text(double value) {
    std::string text;
    append_double(text, value);
    return text;
}

std::string two(int n) {
    return std::string(1, static_cast<char>('0' + n / 10 % 10)) + static_cast<char>('0' + n % 10);
}

std::string start_text(const StartDateTime& s) {
    return std::to_string(s.year) + "-" + two(s.month) + "-" + two(s.day) + " " + two(s.hour) +
           ":" + two(s.minute) + ":" + two(s.second);
}

std::string differs(const std::string& what, const std::string& read, const std::string& written) {
    return what + " reads " + read + ", " + written + " was written";
}

std::string count_difference(std::span<const std::int32_t> read,
                             std::span<const std::int32_t> written) {
    if (read.size() != written.size())
        return "it holds " + std::to_string(read.size()) + " channels, " +
               std::to_string(written.size()) + " were written";
    for (std::size_t k = 0; k < read.size(); ++k)
        if (read[k] != written[k])
            return differs("channel " + std::to_string(k), std::to_string(read[k]),
                           std::to_string(written[k]));
    return {};
}

std::string byte_text(unsigned char byte) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", byte);
    return text;
}

std::string byte_difference(std::string_view read, std::string_view written) {
    const std::size_t n = std::min(read.size(), written.size());
    for (std::size_t i = 0; i < n; ++i)
        if (read[i] != written[i])
            return differs("byte " + std::to_string(i),
                           byte_text(static_cast<unsigned char>(read[i])),
                           byte_text(static_cast<unsigned char>(written[i])));
    if (read.size() != written.size())
        return "it holds " + std::to_string(read.size()) + " bytes, " +
               std::to_string(written.size()) + " were written";
    return {};
}

// A CSV file carries the counts and each channel's energy, nothing else of the record.
std::string csv_difference(std::string_view on_disk, const SpectrumValues& values) {
    const CsvReading reading = read_csv(on_disk);
    if (!reading.complete)
        return "it does not read: " + reading.reason;
    if (std::string d = count_difference(reading.counts, values.counts); !d.empty())
        return d;
    const bool energies =
        has_calibration(values.energy_zero, values.energy_slope, values.energy_quad);
    for (std::size_t k = 0; k < reading.energies.size(); ++k) {
        const auto c = static_cast<double>(k);
        const double energy =
            energies ? values.energy_zero + values.energy_slope * c + values.energy_quad * c * c
                     : std::nan("");
        if (!same(reading.energies[k], energy))
            return differs("the energy of channel " + std::to_string(k),
                           number_text(reading.energies[k]), number_text(energy));
    }
    return {};
}

FormatReading chn_reading(std::string_view on_disk) {
    FormatReading reading;
    try {
        auto state = std::make_unique<spectrum::State>();
        spectrum::read_chn_record(on_disk, *state);
        reading.values = values_of(*state);
        reading.complete = true;
    } catch (const std::exception& e) {
        reading.reason = e.what();
    }
    return reading;
}

std::string value_difference(const OutputFormat& format, std::string_view on_disk,
                             const SpectrumValues& values) {
    if (&format == find_output_format("csv"))
        return csv_difference(on_disk, values);
    const FormatReading reading =
        &format == &chn_format() ? chn_reading(on_disk) : format.read_back(on_disk);
    if (!reading.complete)
        return "it does not read: " + reading.reason;
    return first_difference(reading.values, values);
}

std::string upper(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return out;
}

}  // namespace

std::string first_difference(const SpectrumValues& read, const SpectrumValues& written) {
    if (std::string d = count_difference(read.counts, written.counts); !d.empty())
        return d;
    if (!same(read.live_seconds, written.live_seconds))
        return differs("the live time", number_text(read.live_seconds) + " s",
                       number_text(written.live_seconds) + " s");
    if (!same(read.real_seconds, written.real_seconds))
        return differs("the real time", number_text(read.real_seconds) + " s",
                       number_text(written.real_seconds) + " s");
    if (read.start != written.start)
        return differs("the start", start_text(read.start), start_text(written.start));
    if (!same(read.energy_zero, written.energy_zero))
        return differs("the energy zero", number_text(read.energy_zero),
                       number_text(written.energy_zero));
    if (!same(read.energy_slope, written.energy_slope))
        return differs("the energy slope", number_text(read.energy_slope),
                       number_text(written.energy_slope));
    if (!same(read.energy_quad, written.energy_quad))
        return differs("the energy quad", number_text(read.energy_quad),
                       number_text(written.energy_quad));
    if (read.description != written.description)
        return differs("the description", formats::quoted(read.description),
                       formats::quoted(written.description));
    return {};
}

std::string verification_failure(const OutputFormat& format, const std::string& file_name,
                                 std::string_view on_disk, std::string_view written,
                                 const SpectrumValues& values) {
    std::string difference;
    try {
        difference = value_difference(format, on_disk, values);
        // What no value shows (a field the reader passes over) still shows in the bytes.
        if (difference.empty())
            difference = byte_difference(on_disk, written);
    } catch (const std::exception& e) {
        difference = std::string("it cannot be compared: ") + e.what();
    }
    if (difference.empty())
        return {};
    return "verification failed: " + upper(format.name) + " file " + file_name + ": " + difference;
}

}  // namespace brandel::formats
