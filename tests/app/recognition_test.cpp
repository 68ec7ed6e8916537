#include "app/recognition.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/driver.hpp"
#include "example_file.hpp"
#include "readers/labo.hpp"
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

// Converts `bytes` as a file under `type` into a fresh folder: the reading, and whether a CHN
// file was written.
struct Conversion {
    readers::ReaderResult result;
    bool written = false;
};
Conversion convert_as(const std::string& bytes, std::int16_t type) {
    test_support::TempDir src;
    test_support::TempDir out;
    State state;
    state.org_type = type;
    state.chn_dir = out.dir();
    state.org_path = src.write("cut.spc", bytes);
    Conversion c;
    c.result = convert_current(state);
    c.written = out.exists("cut.chn");
    return c;
}

// A Labo(Old) file cut short, cut inside a value, or padded keeps its header, whose channel count
// no longer describes the file: no type converts it, the automatic type says what it is, and its
// own type no longer sends the user to Labo(LIST).
TEST(Recognition, ADamagedLaboOldFileIsToldAsSuch) {
    const std::string whole = test_support::example_bytes("labo_old.spc");
    ASSERT_EQ(whole.size(), 1036u + 4 * 512);
    struct Row {
        const char* name;
        std::string bytes;
        const char* holds;
    };
    const Row rows[] = {
        {"cut to 3080 bytes", whole.substr(0, 3080), "511 values"},
        {"cut to 3072 bytes", whole.substr(0, 3072), "509 values"},
        {"cut inside a value", whole.substr(0, 3081), "511 values and 1 byte"},
        {"only the header", whole.substr(0, 1036), "0 values"},
        {"a value lost inside", whole.substr(0, 2000) + whole.substr(2004), "511 values"},
        {"padded by two values", whole + std::string(8, '\0'), "514 values"},
        {"padded by one value", whole + std::string(4, '\0'), "513 values"},
        {"padded by two bytes", whole + "\r\n", "512 values and 2 bytes"},
    };
    const std::int16_t labo_old = static_cast<std::int16_t>(Layout::labo_old);
    const std::int16_t labo_list = static_cast<std::int16_t>(Layout::labo_list);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_TRUE(fitting_types(row.bytes).empty());
        const std::string damage =
            std::string("byte 56: a Labo(Old) header announces 512 channels but the file holds ") +
            row.holds;
        const Conversion automatic = convert_as(row.bytes, org_type_auto);
        EXPECT_FALSE(automatic.written);
        EXPECT_EQ(automatic.result.reason, "it looks like a damaged Labo(Old) file: " + damage);
        const Conversion old = convert_as(row.bytes, labo_old);
        EXPECT_FALSE(old.written);
        EXPECT_EQ(old.result.reason, damage + "; it fits no layout");
        const Conversion list = convert_as(row.bytes, labo_list);
        EXPECT_FALSE(list.written);
        EXPECT_EQ(list.result.reason, damage + "; it fits no layout");
    }
}

// Damaged copies of a Labo(Old) file: bytes cut off, added, taken out or put in after the header,
// and bytes replaced anywhere. None that its own type refuses converts under the automatic type,
// and one whose header is whole is told as a damaged Labo(Old) file.
TEST(Recognition, NoDamagedLaboOldFileConvertsAsAnotherLayout) {
    const std::string whole = test_support::example_bytes("labo_old.spc");
    tools::SplitMix64 random(2024);
    auto below = [&random](std::size_t n) { return static_cast<std::size_t>(random.below(n)); };
    int refused = 0;
    for (int round = 0; round < 600; ++round) {
        std::string bytes = whole;
        const std::size_t kind = round % 5;
        const std::size_t at = 1036 + below(whole.size() - 1036);
        const std::size_t n = 1 + below(16);
        if (kind == 0)
            bytes.resize(at);
        else if (kind == 1)
            bytes += std::string(n, static_cast<char>(below(256)));
        else if (kind == 2)
            bytes.erase(at, n);
        else if (kind == 3)
            bytes.insert(at, n, static_cast<char>(below(256)));
        else
            for (std::size_t k = 0; k < 1 + n % 4; ++k)
                bytes[below(bytes.size())] = static_cast<char>(below(256));
        State state;
        if (readers::read_source(state, readers::labo_old_layout, bytes).complete())
            continue;
        ++refused;
        SCOPED_TRACE("round " + std::to_string(round));
        const readers::ReaderResult automatic = read_as_fitting(state, bytes, fitting_types(bytes));
        EXPECT_FALSE(automatic.complete());
        if (kind < 4) {
            EXPECT_TRUE(automatic.reason.starts_with(
                "it looks like a damaged Labo(Old) file: byte 56: a Labo(Old) header announces "
                "512 channels but the file holds "))
                << automatic.reason;
        }
    }
    EXPECT_GT(refused, 450);
}

}  // namespace
}  // namespace brandel::app
