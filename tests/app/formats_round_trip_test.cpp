// Every example file converted into every format and each file read back: the CHN with
// read_chn, the SPE and N42 files with their readers, the CSV parsed here. All four must carry
// the values of the conversion, field by field.

#include <gtest/gtest.h>

#include <charconv>
#include <string>
#include <vector>

#include "app/driver.hpp"
#include "formats/output_formats.hpp"
#include "n42_schema.hpp"
#include "spectrum/chn_file.hpp"
#include "spectrum/paths.hpp"
#include "temp_dir.hpp"
#include "tools/example_sources.hpp"

namespace brandel::app {
namespace {

using formats::SpectrumValues;

std::int32_t i32_at(const std::string& bytes, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return static_cast<std::int32_t>(v);
}

// The values of a CHN file as read_chn reads it; the times from the header's tick counts, which
// read_chn rounds to whole seconds.
SpectrumValues chn_values(const std::string& path) {
    spectrum::State state;
    state.org_path = path;
    spectrum::read_chn(state);
    SpectrumValues v;
    v.counts.assign(state.counts.data(), state.counts.data() + state.chn_header.num_channels);
    v.real_seconds = i32_at(state.disk_header, 8) / 50.0;
    v.live_seconds = i32_at(state.disk_header, 12) / 50.0;
    v.start = formats::start_of(state.chn_header);
    v.energy_zero = state.chn_trailer.energy_zero;
    v.energy_slope = state.chn_trailer.energy_slope;
    v.energy_quad = state.chn_trailer.energy_quad;
    v.description = formats::description_of(state.chn_trailer);
    return v;
}

// Checks a CSV file against the values: the header, one row per channel from 0 with its count,
// and the energy of the terms, or none when they are no calibration.
void expect_csv_agrees(const std::string& csv, const SpectrumValues& v) {
    const std::string header = "channel,energy_keV,counts\r\n";
    ASSERT_TRUE(csv.starts_with(header));
    const bool energies = formats::has_calibration(v.energy_zero, v.energy_slope, v.energy_quad);
    std::size_t at = header.size();
    for (std::size_t k = 0; k < v.counts.size(); ++k) {
        const std::size_t end = csv.find("\r\n", at);
        ASSERT_NE(end, std::string::npos) << "row " << k;
        const std::string row = csv.substr(at, end - at);
        at = end + 2;
        const std::size_t c1 = row.find(','), c2 = row.rfind(',');
        ASSERT_NE(c1, c2) << row;
        EXPECT_EQ(row.substr(0, c1), std::to_string(k));
        EXPECT_EQ(row.substr(c2 + 1), std::to_string(v.counts[k]));
        const std::string energy = row.substr(c1 + 1, c2 - c1 - 1);
        if (!energies) {
            EXPECT_EQ(energy, "") << row;
            continue;
        }
        double e = 0;
        std::from_chars(energy.data(), energy.data() + energy.size(), e);
        const double c = static_cast<double>(k);
        EXPECT_EQ(e, v.energy_zero + v.energy_slope * c + v.energy_quad * c * c) << row;
    }
    EXPECT_EQ(at, csv.size()) << "no rows after the last channel";
}

TEST(FormatsRoundTrip, EveryExampleReadsBackAlikeFromEveryFormat) {
    test_support::TempDir out;
    formats::FormatList all;
    ASSERT_EQ(formats::parse_format_list("chn,spe,n42,csv", all), "");
    for (const tools::ExampleFile& example : tools::example_files()) {
        SCOPED_TRACE(example.name);
        spectrum::State state;
        state.org_type = static_cast<std::int16_t>(example.layout);
        state.chn_dir = out.dir();
        const std::string source = std::string(BRANDEL_SOURCE_DIR) + "/examples/" + example.name;
        const BatchReport report = convert_paths(state, {source}, nullptr, ReadAhead::off, all);
        ASSERT_EQ(report.converted, 1)
            << (report.failures.empty() ? "" : report.failures[0].reason);

        const std::string base = out.dir() + spectrum::base_name_of(example.name);
        const SpectrumValues chn = chn_values(base + ".chn");
        // The CHN file carries what a correct conversion gives.
        const tools::ExpectedConversion want =
            tools::expected_conversion(example.layout, example.params);
        EXPECT_EQ(chn.counts, want.counts);
        EXPECT_EQ(chn.live_seconds, want.live_ticks / 50.0);
        EXPECT_EQ(chn.real_seconds, want.real_ticks / 50.0);
        EXPECT_EQ(chn.energy_slope, want.energy_slope);

        for (const char* ext : {".spe", ".n42"}) {
            const formats::FormatReading back = formats::read_output_file(base + ext);
            ASSERT_TRUE(back.complete) << ext << ": " << back.reason;
            EXPECT_EQ(back.values, chn) << ext;
        }
        EXPECT_VALID_N42(out.read(spectrum::base_name_of(example.name) + ".n42"));
        expect_csv_agrees(out.read(spectrum::base_name_of(example.name) + ".csv"), chn);
    }
}

}  // namespace
}  // namespace brandel::app
