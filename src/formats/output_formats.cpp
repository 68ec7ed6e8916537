#include "formats/output_formats.hpp"

#include <array>

#include "formats/csv.hpp"
#include "formats/n42.hpp"
#include "formats/spe.hpp"
#include "spectrum/chn_file.hpp"
#include "spectrum/paths.hpp"
#include "spectrum/regular_file.hpp"

namespace brandel::formats {

namespace {

constexpr std::array<OutputFormat, 4> formats = {{
    {"chn", "chn", spectrum::chn_bytes, nullptr},
    {"spe", "spe", spe_bytes, read_spe},
    {"n42", "n42", n42_bytes, read_n42},
    {"csv", "csv", csv_bytes, nullptr},
}};

// Larger than any file of 17001 channels in any of the formats.
constexpr std::size_t max_output_bytes = std::size_t{64} << 20;

bool same_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

}  // namespace

std::span<const OutputFormat> output_formats() {
    return formats;
}

const OutputFormat& chn_format() {
    return formats[0];
}

const OutputFormat* find_output_format(std::string_view name) {
    for (const OutputFormat& f : formats)
        if (same_ignoring_case(f.name, name))
            return &f;
    return nullptr;
}

std::string parse_format_list(std::string_view text, FormatList& chosen) {
    std::array<bool, formats.size()> named{};
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string_view name = text.substr(start, comma - start);
        const OutputFormat* format = find_output_format(name);
        if (format == nullptr)
            return name.empty() ? "an empty format name in --format " + std::string(text)
                                : "unknown format " + std::string(name) + " (chn, spe, n42 or csv)";
        named[static_cast<std::size_t>(format - formats.data())] = true;
        start = comma + 1;
    }
    chosen.clear();
    for (std::size_t i = 0; i < formats.size(); ++i)
        if (named[i])
            chosen.push_back(&formats[i]);
    return {};
}

std::string format_list_text(const FormatList& chosen) {
    std::string text;
    for (const OutputFormat* f : chosen)
        text += (text.empty() ? "" : ",") + std::string(f->name);
    return text;
}

std::string output_path(const spectrum::State& state, const OutputFormat& format) {
    return state.chn_dir + spectrum::base_name_of(state.org_path) + "." +
           std::string(format.extension);
}

const OutputFormat* readable_format_of(std::string_view path) {
    const std::string name = spectrum::file_name_of(path);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos)
        return nullptr;
    const std::string_view extension = std::string_view(name).substr(dot + 1);
    for (const OutputFormat& f : formats)
        if (f.read_back != nullptr && same_ignoring_case(f.extension, extension))
            return &f;
    return nullptr;
}

FormatReading read_output_file(const std::string& path) {
    FormatReading reading;
    const OutputFormat* format = readable_format_of(path);
    if (format == nullptr) {
        reading.reason = "no reader knows the extension of " + spectrum::file_name_of(path);
        return reading;
    }
    try {
        return format->read_back(spectrum::read_regular_file(path, max_output_bytes));
    } catch (const std::exception& e) {
        reading.reason = e.what();
    }
    return reading;
}

}  // namespace brandel::formats
