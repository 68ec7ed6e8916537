#include "gui/preview_reading.hpp"

#include <exception>
#include <filesystem>

#include "app/org_types.hpp"
#include "spectrum/chn_file.hpp"
#include "spectrum/paths.hpp"

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

readers::ReaderResult read_as(spectrum::State& state, const std::string& path,
                              const app::OrgType& type) {
    state.reset();
    state.org_path = path;
    return type.reader(state);
}

}  // namespace

PreviewReading read_source_preview(const std::string& path, int chosen) {
    PreviewReading reading;
    reading.path = path;
    if (!readable(reading))
        return reading;

    auto state = std::make_unique<spectrum::State>();
    for (const app::OrgType& type : app::org_types())
        if (type.reader && read_as(*state, path, type).complete())
            reading.fits.push_back(type.index);

    const app::OrgType* type = app::find_org_type(chosen);
    if (type == nullptr && reading.fits.size() == 1)
        type = app::find_org_type(reading.fits.front());
    if (type == nullptr || type->reader == nullptr) {
        reading.reason = reading.fits.empty() ? "it fits no layout" : "no type chosen";
        return reading;
    }
    const readers::ReaderResult result = read_as(*state, path, *type);
    reading.read_as = type->index;
    reading.complete = result.complete();
    reading.reason = result.reason;
    // A source reader keeps the times in ticks of 20 ms.
    reading.live_seconds = state->chn_header.live_time / 50.0;
    reading.real_seconds = state->chn_header.real_time / 50.0;
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
    reading.live_seconds = state->chn_header.live_time;  // whole seconds in a CHN file
    reading.real_seconds = state->chn_header.real_time;
    reading.state = std::move(state);
    return reading;
}

}  // namespace brandel::gui
