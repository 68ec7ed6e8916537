#include "app/recognition.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/driver.hpp"
#include "spectrum/paths.hpp"
#include "spectrum/state.hpp"
#include "temp_dir.hpp"
#include "tools/example_sources.hpp"

namespace brandel::app {
namespace {

using spectrum::State;
using tools::ExampleFile;
using tools::Layout;

std::vector<std::string> names_of(const std::vector<const OrgType*>& types) {
    std::vector<std::string> names;
    for (const OrgType* t : types)
        names.emplace_back(t->name);
    return names;
}

std::string name_of(Layout layout) {
    return std::string(find_org_type(static_cast<int>(layout))->name);
}

// What each example fits: its own layout alone, except that a Labo(Old) file, whose header the
// LIST layout shares, also reads as Labo(LIST).
std::vector<std::string> expected_fits(Layout layout) {
    if (layout == Layout::labo_old)
        return {"labo-old", "labo-list"};
    return {name_of(layout)};
}

TEST(Recognition, EveryExampleFitsItsOwnLayout) {
    for (const ExampleFile& file : tools::example_files()) {
        SCOPED_TRACE(file.name);
        const std::string bytes = tools::make_source(file.layout, file.params);
        EXPECT_EQ(names_of(fitting_types(bytes)), expected_fits(file.layout));
    }
}

// Generated files of every layout across sizes, line ends, dates and times fit what the examples
// fit: a tiny or a blank-timed file must not start to read as another layout.
TEST(Recognition, GeneratedFilesFitTheirOwnLayout) {
    for (Layout layout : tools::all_layouts())
        for (int channels : {2, 16, 1000})
            for (tools::LineEnd end :
                 {tools::LineEnd::cr, tools::LineEnd::crlf, tools::LineEnd::lf})
                for (bool late : {false, true}) {
                    tools::SourceParams p;
                    p.channels = channels;
                    p.line_end = end;
                    p.start = late ? tools::StartTime{1998, 12, 31, 23, 59, 59}
                                   : tools::StartTime{2003, 7, 5, 0, 0, 0};
                    p.live_seconds = late ? 99999.99 : 0.0;
                    p.real_seconds = late ? 100000.0 : 0.0;
                    SCOPED_TRACE(name_of(layout) + " " + std::to_string(channels) + " channels");
                    EXPECT_EQ(names_of(fitting_types(tools::make_source(layout, p))),
                              expected_fits(layout));
                }
}

// Every example converted under every type with a reader: it converts under a type it fits,
// and under any other type nothing is written and the reason names the layouts it fits.
TEST(Recognition, ExamplesConvertOnlyUnderATypeTheyFit) {
    test_support::TempDir src;
    for (const ExampleFile& file : tools::example_files()) {
        const std::string path = src.write(file.name, tools::make_source(file.layout, file.params));
        const std::vector<std::string> fits = expected_fits(file.layout);
        for (const OrgType& type : org_types()) {
            if (type.layout == nullptr)
                continue;
            SCOPED_TRACE(file.name + " as " + std::string(type.name));
            test_support::TempDir out;
            State state;
            state.org_type = type.index;
            state.chn_dir = out.dir();
            state.org_path = path;
            const readers::ReaderResult r = convert_current(state);
            const bool fits_type =
                std::find(fits.begin(), fits.end(), std::string(type.name)) != fits.end();
            EXPECT_EQ(r.complete(), fits_type) << r.reason;
            EXPECT_EQ(out.exists(spectrum::base_name_of(file.name) + ".chn"), fits_type);
            if (!fits_type) {
                std::string names;
                for (const std::string& n : fits)
                    names += (names.empty() ? "" : " or ") + std::string(find_org_type(n)->caption);
                EXPECT_TRUE(r.reason.ends_with("; it reads as " + names)) << r.reason;
            }
        }
    }
}

}  // namespace
}  // namespace brandel::app
