#include "gui/preview_reading.hpp"

#include <cctype>
#include <cmath>
#include <exception>
#include <filesystem>

#include "app/manifest.hpp"
#include "app/org_types.hpp"
#include "app/recognition.hpp"
#include "formats/csv.hpp"
#include "formats/notes.hpp"
#include "formats/output_formats.hpp"
#include "spectrum/chn_file.hpp"
#include "spectrum/paths.hpp"
#include "spectrum/regular_file.hpp"

namespace brandel::gui {

namespace {

// Checks the file can be previewed; false with the reason set when it cannot.
bool readable(PreviewReading& reading) {
    std::error_code ec;
    const std::filesystem::path p = spectrum::fs_path(reading.path);
    if (!std::filesystem::is_regular_file(p, ec)) {
        reading.reason = "not a regular file";
        return false;
    }
    reading.size = std::filesystem::file_size(p, ec);
    if (ec) {
        reading.reason = ec.message();
        return false;
    }
    if (reading.size > preview_limit_bytes) {
        reading.too_large = true;
        reading.reason = "too large to preview";
        return false;
    }
    return true;
}

}  // namespace

PreviewReading read_source_preview(const std::string& path, int chosen) {
    PreviewReading reading;
    reading.path = path;
    if (!readable(reading))
        return reading;

    const app::Recognition recognition = app::recognise_file(path);
    if (!recognition.source.loaded) {
        reading.reason = recognition.source.failure.reason;
        return reading;
    }
    for (const app::OrgType* type : recognition.fits)
        reading.fits.push_back(type->index);

    auto state = std::make_unique<spectrum::State>();
    state->org_path = path;
    readers::ReaderResult result;
    const app::OrgType* type = app::find_org_type(chosen);
    if (type != nullptr) {
        result = app::read_as(*state, *type, recognition.source.bytes);
        reading.read_as = type->index;
    } else {
        result = app::read_as_fitting(*state, recognition.source.bytes, recognition.fits);
        if (recognition.fits.size() == 1)
            reading.read_as = recognition.fits.front()->index;
    }
    reading.complete = result.complete();
    reading.reason = result.reason;
    // A source reader keeps the times in ticks of 20 ms.
    reading.live_seconds = state->chn_header.live_time / 50.0;
    reading.real_seconds = state->chn_header.real_time / 50.0;
    // What a conversion of it would not keep.
    if (reading.complete)
        reading.notes = formats::keeps_line(formats::conversion_notes(*state));
    reading.state = std::move(state);
    return reading;
}

PreviewReading read_chn_preview(const std::string& path) {
    PreviewReading reading;
    reading.path = path;
    if (!readable(reading))
        return reading;
    auto state = std::make_unique<spectrum::State>();
    state->org_path = path;
    try {
        spectrum::read_chn(*state);
        reading.complete = true;
    } catch (const std::exception& e) {
        reading.reason = e.what();
        return reading;
    }
    // The times as the file holds them, to the tick; the reading itself rounds them to seconds.
    const spectrum::ChnTicks ticks = spectrum::header_ticks(state->disk_header);
    reading.live_seconds = ticks.live / 50.0;
    reading.real_seconds = ticks.real / 50.0;
    reading.state = std::move(state);
    return reading;
}

void terms_of_energies(const std::vector<double>& energies, formats::SpectrumValues& values) {
    values.energy_zero = 0;
    values.energy_slope = 1;
    values.energy_quad = 0;
    const std::size_t n = std::min<std::size_t>(energies.size(), 3);
    if (n < 2)
        return;
    for (std::size_t k = 0; k < n; ++k)
        if (!std::isfinite(energies[k]))
            return;
    const double e0 = energies[0], e1 = energies[1];
    const double quad = n == 3 ? (energies[2] - 2 * e1 + e0) / 2 : 0.0;
    values.energy_zero = e0;
    values.energy_slope = e1 - e0 - quad;
    values.energy_quad = quad;
}

namespace {

std::string extension_of(const std::string& path) {
    const std::string name = spectrum::file_name_of(path);
    const std::size_t dot = name.rfind('.');
    std::string extension = dot == std::string::npos ? std::string() : name.substr(dot + 1);
    for (char& c : extension)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return extension;
}

// A CSV file holds the counts and each channel's energy, nothing of the measurement.
void read_csv_preview(PreviewReading& reading) {
    // The size was checked before: the preview's limit is far below the reader's.
    const std::string bytes = spectrum::read_regular_file(reading.path, preview_limit_bytes);
    // A manifest kept beside the files it lists is a CSV file too.
    if (std::string_view(bytes).starts_with("\xEF\xBB\xBF" + std::string(app::manifest_header))) {
        reading.reason = "it is a manifest of conversions, not a spectrum";
        return;
    }
    const formats::CsvReading csv = formats::read_csv(bytes);
    if (!csv.complete) {
        reading.reason = csv.reason;
        return;
    }
    formats::SpectrumValues values;
    values.counts = csv.counts;
    terms_of_energies(csv.energies, values);
    reading.values = std::move(values);
    reading.values_complete = false;
    reading.complete = true;
}

}  // namespace

PreviewReading read_output_preview(const std::string& path) {
    const std::string kind = extension_of(path);
    if (kind == "CHN") {
        PreviewReading reading = read_chn_preview(path);
        reading.kind = kind;
        return reading;
    }
    PreviewReading reading;
    reading.path = path;
    reading.kind = kind;
    if (!readable(reading))
        return reading;
    if (kind == "CSV") {
        try {
            read_csv_preview(reading);
        } catch (const std::exception& e) {
            reading.reason = e.what();
        }
        return reading;
    }
    formats::FormatReading read = formats::read_output_file(path);
    if (!read.complete) {
        reading.reason = read.reason;
        return reading;
    }
    reading.complete = true;
    reading.live_seconds = read.values.live_seconds;
    reading.real_seconds = read.values.real_seconds;
    reading.values = std::move(read.values);
    return reading;
}

}  // namespace brandel::gui
