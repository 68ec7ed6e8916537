#include "gui/preview_reading.hpp"

#include <exception>
#include <filesystem>

#include "app/org_types.hpp"
#include "app/recognition.hpp"
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

}  // namespace brandel::gui
