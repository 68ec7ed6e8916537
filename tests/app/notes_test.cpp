// The notes of what a conversion's outputs could not keep: none for a source whose values all
// fit, and each loss in its own words, from readings of real layouts and from records set up by
// hand. The notes reach the manifest and --info.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/driver.hpp"
#include "app/manifest.hpp"
#include "app/org_types.hpp"
#include "app/recognition.hpp"
#include "formats/notes.hpp"
#include "spectrum/state.hpp"
#include "temp_dir.hpp"
#include "tools/example_sources.hpp"

namespace brandel::app {
namespace {

using formats::conversion_notes;
using spectrum::State;
using tools::Layout;

std::vector<std::string> notes_of(Layout layout, const tools::SourceParams& params) {
    State state;
    const std::string bytes = tools::make_source(layout, params);
    const readers::ReaderResult r =
        read_as(state, *find_org_type(static_cast<std::int16_t>(layout)), bytes);
    EXPECT_TRUE(r.complete()) << r.reason;
    return conversion_notes(state);
}

TEST(Notes, SourcesWhoseValuesAllFitHaveNone) {
    tools::SourceParams p;
    p.channels = 64;
    // The JAERI layouts keep their whole first line, date included, as the description.
    p.sample = U"St.3 土壌";
    p.live_seconds = 3599.98;
    p.real_seconds = 3612.48;
    p.energy_zero = -0.25;
    p.energy_slope = 0.5;
    for (const Layout layout : tools::all_layouts()) {
        SCOPED_TRACE(static_cast<int>(layout));
        EXPECT_EQ(notes_of(layout, p), std::vector<std::string>{});
    }
    EXPECT_EQ(formats::keeps_line({}), "CHN keeps: all");
}

TEST(Notes, ADescriptionLongerThanItsFieldIsNotedWithWhatWasKept) {
    tools::SourceParams p;
    p.channels = 32;
    p.sample = std::u32string(40, U'土');  // 80 bytes of code page 932
    const std::vector<std::string> notes = notes_of(Layout::canberra_txt, p);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0], "description cut from 40 characters to 62 bytes (31 characters)");

    // The ID field starts with the blank after "ID:".
    p.sample = std::u32string(70, U'x');
    EXPECT_EQ(
        notes_of(Layout::oxford_asc, p),
        std::vector<std::string>{"description cut from 71 characters to 63 bytes (63 characters)"});
}

TEST(Notes, EachLossIsToldInItsOwnWords) {
    State state;
    state.chn_header.num_channels = 4;
    state.chn_header.start_date.assign(U"15JUL032");
    state.chn_header.live_time = 617;   // 12.34 s
    state.chn_header.real_time = 1000;  // 20 s
    state.chn_trailer.energy_zero = 1e-45f;
    state.chn_trailer.energy_slope = 0.5f;
    state.chn_trailer.sample_desc.assign(U"Fe € é ok");
    spectrum::SourceValues& source = state.source_values;
    source.live_seconds = 12.345;
    source.real_seconds = 20.0;
    source.has_energy = true;
    source.energy = {1.2e-45, 0.5, 0.0};
    source.unsigned_counts = true;
    state.counts.set(1, -1294967296);
    state.counts.set(3, -1);
    const std::vector<std::string> notes = conversion_notes(state);
    const std::vector<std::string> expected{
        "2 characters that code page 932 lacks written as \"?\" (€é)",
        "live time 12.345 s rounded to 12.34 s (steps of 20 ms)",
        "energy zero 1.2e-45 kept as 1e-45 (32-bit float)",
        "the year 2103 is outside 1900-2099, the years other programs read from a CHN date",
        "channel 2: the count 3000000000 is above the signed 32-bit range and is written as "
        "-1294967296 (1 more such count)",
    };
    EXPECT_EQ(notes, expected);
    EXPECT_EQ(formats::keeps_line(notes).rfind("CHN keeps less: 2 characters", 0), 0u);

    // A text layout's negative count is as written, and kept.
    source.unsigned_counts = false;
    EXPECT_EQ(conversion_notes(state).size(), 4u);
}

TEST(Notes, TheManifestCarriesThemBesideAConvertedSource) {
    test_support::TempDir src, out;
    tools::SourceParams p;
    p.channels = 32;
    p.sample = std::u32string(40, U'土');
    State state;
    state.org_type = static_cast<std::int16_t>(Layout::canberra_txt);
    state.chn_dir = out.dir();
    const std::vector<std::string> sources{
        src.write("long.TXT", tools::make_source(Layout::canberra_txt, p))};
    BatchOptions options;
    options.manifest = out.dir() + "manifest.csv";
    ASSERT_EQ(convert_paths(state, sources, nullptr, options).converted, 1);
    const std::string text = out.read("manifest.csv");
    std::size_t at = 3;  // after the byte-order mark
    std::vector<std::string> header, line;
    ASSERT_TRUE(next_csv_record(text, at, header));
    ASSERT_TRUE(next_csv_record(text, at, line));
    ASSERT_EQ(line.size(), header.size());
    EXPECT_EQ(header.back(), "notes");
    EXPECT_EQ(line.back(), "description cut from 40 characters to 62 bytes (31 characters)");
}

}  // namespace
}  // namespace brandel::app
