#include "tools/example_sources.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

#include "spectrum/bytes.hpp"

namespace brandel::tools {
namespace {

using spectrum::LittleEndianReader;

/// Lines of an ASCII-compatible text, cut at CR LF, CR or LF.
std::vector<std::string> split_lines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::string cur;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        char c = bytes[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(cur);
            cur.clear();
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
        } else {
            cur += c;
        }
    }
    if (!cur.empty())
        lines.push_back(cur);
    return lines;
}

/// Columns first..last (from 1) of an ASCII line.
std::string cols(const std::string& line, std::size_t first, std::size_t last) {
    return first > line.size() ? std::string() : line.substr(first - 1, last - first + 1);
}

SourceParams params(int channels, LineEnd end = LineEnd::crlf) {
    SourceParams p;
    p.channels = channels;
    p.seed = 42;
    p.line_end = end;
    return p;
}

TEST(ExampleSources, SameParametersGiveSameBytesAndTheSeedChangesThem) {
    for (Layout layout : all_layouts()) {
        SourceParams p = params(256);
        p.sample = U"試料";
        std::string a = make_source(layout, p);
        EXPECT_EQ(a, make_source(layout, p)) << static_cast<int>(layout);
        p.seed = 43;
        EXPECT_NE(a, make_source(layout, p)) << static_cast<int>(layout);
    }
}

TEST(ExampleSources, SpectrumFallsAndHasNoNegativeCounts) {
    std::vector<std::int32_t> c = spectrum_counts(1024, 7, 3600.0);
    ASSERT_EQ(c.size(), 1024u);
    long long low = 0, high = 0;
    for (int i = 100; i < 200; ++i)
        low += c[static_cast<std::size_t>(i)];
    for (int i = 900; i < 1000; ++i)
        high += c[static_cast<std::size_t>(i)];
    EXPECT_GT(low, 3 * high);
    for (std::int32_t v : c)
        EXPECT_GE(v, 0);
}

TEST(ExampleSources, LineEndsAreTheChosenOnes) {
    struct Row {
        LineEnd end;
        std::string_view terminator;
    };
    for (Row row : {Row{LineEnd::cr, "\r"}, Row{LineEnd::crlf, "\r\n"}, Row{LineEnd::lf, "\n"}}) {
        std::string text = canberra_txt(params(16, row.end));
        std::size_t lines = 8 + 16, found = 0;
        for (std::size_t at = 0; (at = text.find(row.terminator, at)) != std::string::npos;
             at += row.terminator.size())
            ++found;
        EXPECT_EQ(found, lines);
        EXPECT_EQ(text.size() - text.find_last_not_of("\r\n") - 1, row.terminator.size());
        if (row.end != LineEnd::crlf) {
            EXPECT_EQ(text.find("\r\n"), std::string::npos);
        }
    }
}

TEST(ExampleSources, CanberraValuesStandAtTheirColumns) {
    SourceParams p = params(300);
    p.live_seconds = 3600.5;
    p.real_seconds = 3700.25;  // a tie in the last written decimal
    p.sample = U"土壌試料";
    std::vector<std::string> lines = split_lines(canberra_txt(p));
    ASSERT_EQ(lines.size(), 8u + 300u);
    EXPECT_EQ(cols(lines[1], 1, 9), "Date Time");
    EXPECT_EQ(cols(lines[1], 15, 30), "2003/07/15 09:41");
    EXPECT_EQ(cols(lines[2], 15, 20), "3600.5");
    EXPECT_EQ(cols(lines[3], 1, 9), "True Time");
    EXPECT_EQ(cols(lines[3], 15, 20), "3700.2");  // halves to even: 3700.25 gives 3700.2
    EXPECT_EQ(cols(lines[4], 15, 19), "300");
    // The sample name from column 15, in Shift-JIS.
    EXPECT_EQ(lines[5].substr(14), "\x93\x79\x8F\xEB\x8E\x8E\x97\xBF");
    std::vector<std::int32_t> counts = spectrum_counts(300, 42, 3600.5);
    std::istringstream pair(lines[8 + 299]);
    long long ch = 0, count = 0;
    pair >> ch >> count;
    EXPECT_EQ(ch, 299);
    EXPECT_EQ(count, counts[299]);
}

TEST(ExampleSources, OxfordFollowsTheTwelveLinesOfACurrentExport) {
    SourceParams p = params(128, LineEnd::crlf);
    p.start = {2025, 8, 28, 12, 55, 7};
    p.live_seconds = 129600.0;
    p.real_seconds = 129691.0;
    p.sample = U"Ge-1";
    p.energy_zero = 0.541;
    p.energy_slope = 0.498;
    p.energy_quad = 2.605e-7;
    const std::string file = oxford_asc(p);
    std::vector<std::string> lines = split_lines(file);
    ASSERT_EQ(lines.size(), 12u + 128u);
    const std::vector<std::string> header = {
        "ID: Ge-1" + std::string(68, ' '),
        "",
        "Acquisition Date:  28-Aug-2025 12:55",
        "Elapsed Real Time:        129691.00",
        "Elapsed Live Time:        129600.00",
        "Conversion Gain:                128                 Calibration",
        "High Voltage:                     0               A =   5.410E-001",
        "Coarse Gain:                      0               B =   4.980E-001",
        "Fine Gain:                     2.08               C =   2.605E-007",
        "",
        "",
        "Channel     Contents",
    };
    for (std::size_t i = 0; i < header.size(); ++i)
        EXPECT_EQ(lines[i], header[i]) << "line " << i + 1;
    std::vector<std::int32_t> counts = spectrum_counts(128, 42, p.live_seconds);
    EXPECT_EQ(cols(lines[12], 1, 4), "   0");
    EXPECT_EQ(cols(lines[12 + 5], 1, 4), "   5");
    EXPECT_EQ(std::stoll(cols(lines[12 + 5], 5, 18)), counts[5]);
    EXPECT_EQ(file.substr(file.size() - 2), "\r\n");
}

TEST(ExampleSources, JaeriDatHoldsTimesThenChannelsInFieldsOfEight) {
    SourceParams p = params(4096);
    p.live_seconds = 3600.4;  // the values are whole seconds
    std::vector<std::string> lines = split_lines(kaihouken_dat(p));
    ASSERT_EQ(lines.size(), 1u + 410u);
    EXPECT_EQ(cols(lines[0], 1, 16), "03/07/1509:41:20");
    EXPECT_EQ(cols(lines[1], 7, 14), "    3600");
    EXPECT_EQ(cols(lines[1], 15, 22), "    3612");
    std::vector<std::int32_t> counts = spectrum_counts(4096, 42, p.live_seconds);
    EXPECT_EQ(std::stoll(cols(lines[1], 79, 86)), counts[9]);
    for (std::size_t i = 1; i < lines.size(); ++i)
        ASSERT_EQ(lines[i].size(), 86u) << i;
    EXPECT_EQ(std::stoll(cols(lines[410], 7, 14)), counts[4090]);
    EXPECT_EQ(cols(lines[410], 55, 86), "       0       0       0       0");  // the padding
}

TEST(ExampleSources, JaeriCsvAndTxtLayouts) {
    std::vector<std::string> csv = split_lines(kaihouken_csv(params(64)));
    ASSERT_EQ(csv.size(), 1u + 64u);
    EXPECT_EQ(csv[1], "0,3600,0");
    EXPECT_EQ(csv[2], "1,3612,0");

    SourceParams p = params(25, LineEnd::lf);
    p.sample = U"GE2";
    std::vector<std::string> txt = split_lines(kaihouken_txt(p));
    ASSERT_EQ(txt.size(), 2u + 3u);
    EXPECT_EQ(txt[0], "2003/07/15 09:41:20 GE2");
    EXPECT_EQ(txt[1], "3600.00,3612.48,25");
    std::vector<std::int32_t> c = spectrum_counts(25, 42, 3600.0);
    EXPECT_EQ(txt[4], std::to_string(c[20]) + "," + std::to_string(c[21]) + "," +
                          std::to_string(c[22]) + "," + std::to_string(c[23]) + "," +
                          std::to_string(c[24]));
}

TEST(ExampleSources, LaboBinaryLayouts) {
    SourceParams p = params(100);
    p.live_seconds = 120.0;
    p.real_seconds = 125.0;
    p.start = {2002, 7, 5, 9, 5, 3};
    p.sample = U"試料";
    p.energy_zero = 2.0;
    p.energy_slope = 0.5;
    p.energy_quad = 0.0001;
    std::vector<std::int32_t> counts = spectrum_counts(100, 42, 120.0);

    std::string bytes = labo_new(p);
    LittleEndianReader n(bytes, "labo_new");
    ASSERT_EQ(n.size(), 1024u + 4u * 100u);
    EXPECT_EQ(n.i16(54), 100);
    EXPECT_EQ(n.f32(64), 0.0001f);
    EXPECT_EQ(n.f32(68), 0.5f);
    EXPECT_EQ(n.f32(72), 2.0f);
    EXPECT_EQ((std::vector<int>{n.i16(80), n.i16(82), n.i16(84), n.i16(88), n.i16(90), n.i16(92)}),
              (std::vector<int>{2, 7, 5, 9, 5, 3}));
    EXPECT_EQ(n.i32(712), 120);
    EXPECT_EQ(n.i32(716), 125);
    EXPECT_EQ(n.bytes(774, 64), "\x8E\x8E\x97\xBF" + std::string(60, ' '));
    EXPECT_EQ(n.i32(1024), counts[0]);
    EXPECT_EQ(n.i32(1024 + 4 * 99), counts[99]);

    for (Layout layout : {Layout::labo_old, Layout::labo_list}) {
        p.start = {2002, 7, 16, 14, 23, 37};
        bytes = make_source(layout, p);
        LittleEndianReader o(bytes, "labo_old");
        ASSERT_EQ(o.size(), 1036u + 4u * 100u);
        EXPECT_EQ(o.bytes(0, 32), "\x8E\x8E\x97\xBF" + std::string(28, ' '));
        EXPECT_EQ(o.bytes(32, 9), "02-JUL-16");
        EXPECT_EQ(o.bytes(41, 8), "14:23:37");
        // A LIST header counts the channels after the two time values.
        EXPECT_EQ(o.i16(56), layout == Layout::labo_old ? 100 : 98);
        EXPECT_EQ(o.f32(68), 0.0001f);
        EXPECT_EQ(o.f32(72), 0.5f);
        EXPECT_EQ(o.f32(76), 2.0f);
        EXPECT_EQ(o.i32(718), 120);
        EXPECT_EQ(o.i32(722), 125);
        if (layout == Layout::labo_old) {
            EXPECT_EQ(o.i32(1036), counts[0]);
        } else {  // times in ticks of 20 ms, then the channels
            EXPECT_EQ(o.i32(1036), 6000);
            EXPECT_EQ(o.i32(1040), 6250);
            EXPECT_EQ(o.i32(1044), counts[2]);
        }
        EXPECT_EQ(o.i32(1036 + 4 * 99), counts[99]);
    }
}

TEST(ExampleSources, ExpectedConversionFollowsEachLayoutsRules) {
    auto at = [](int y, int mo, int d, int h, int mi, int s) {
        return StartTime{y, mo, d, h, mi, s};
    };
    struct Row {
        const char* name;
        Layout layout;
        int channels;
        StartTime start;
        double live;
        std::int16_t num_channels;
        std::int32_t live_ticks;
        std::u32string date, time;
        char tens, units;
    };
    const Row rows[] = {
        {"canberra 2003", Layout::canberra_txt, 512, at(2003, 7, 15, 9, 41, 20), 3600.5, 512,
         180025, U"15JUL031", U"094100", '0', '0'},
        {"canberra 1998, seven-character time cut", Layout::canberra_txt, 512,
         at(1998, 11, 2, 17, 5, 0), 36000.55, 512, 1800000, U"02NOV98 ", U"170500", '0', '0'},
        {"oxford month as written", Layout::oxford_asc, 512, at(2003, 7, 5, 9, 41, 20), 900.52, 512,
         45026, U"05Jul031", U"094100", '0', '0'},
        {"oxford 1998", Layout::oxford_asc, 512, at(1998, 11, 2, 17, 5, 0), 1.0, 512, 50,
         U"02Nov98 ", U"170500", '0', '0'},
        {"dat 4096 in 410 lines", Layout::kaihouken_dat, 4096, at(2003, 7, 15, 9, 41, 20), 3600.4,
         4096, 180000, U"15JUL031", U"094120", '2', '0'},
        {"dat 1000 rounds up", Layout::kaihouken_dat, 1000, at(1998, 7, 15, 9, 41, 20), 10.0, 1024,
         500, U"15JUL98 ", U"094120", '2', '0'},
        {"csv 4096 records", Layout::kaihouken_csv, 4096, at(2003, 7, 15, 9, 41, 20), 3600.0, 4096,
         180000, U"15JUL031", U"094120", '2', '0'},
        {"txt, a tie of ticks", Layout::kaihouken_txt, 300, at(2003, 7, 15, 9, 41, 20), 3600.25,
         300, 180012, U"15JUL031", U"094120", '2', '0'},
        {"labo new", Layout::labo_new, 100, at(2002, 7, 5, 9, 5, 3), 120.0, 100, 6000, U"05JUL021",
         U"090503", '0', '3'},
        {"labo new 1999", Layout::labo_new, 100, at(1999, 7, 5, 9, 5, 3), 120.0, 100, 6000,
         U"05JUL99 ", U"090503", '0', '3'},
        {"labo old", Layout::labo_old, 100, at(2002, 7, 16, 14, 23, 37), 120.0, 100, 6000,
         U"16JUL02 ", U"142337", '3', '7'},
        {"labo list counts three more", Layout::labo_list, 100, at(2002, 7, 16, 14, 23, 37), 120.5,
         103, 6025, U"16JUL02 ", U"142337", '3', '7'},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SourceParams p = params(row.channels);
        p.start = row.start;
        p.live_seconds = row.live;
        ExpectedConversion e = expected_conversion(row.layout, p);
        EXPECT_EQ(e.num_channels, row.num_channels);
        EXPECT_EQ(e.live_ticks, row.live_ticks);
        EXPECT_EQ(e.start_date, row.date);
        EXPECT_EQ(e.start_time, row.time);
        EXPECT_EQ(e.start_sec_tens, row.tens);
        EXPECT_EQ(e.start_sec_units, row.units);
        EXPECT_EQ(e.counts.size(), static_cast<std::size_t>(row.num_channels));
        EXPECT_EQ(e.sample_desc.size(), 63u);
    }
}

TEST(ExampleSources, ExpectedCountsAndDescriptions) {
    SourceParams p = params(100);
    p.live_seconds = 300.0;
    p.sample = std::u32string(20, U'試');  // 40 bytes: 16 fit the Labo(Old) field of 32

    ExpectedConversion list = expected_conversion(Layout::labo_list, p);
    EXPECT_EQ(list.counts[0], 15000);
    EXPECT_EQ(list.counts[99], spectrum_counts(100, 42, 300.0)[99]);
    EXPECT_EQ(list.counts[100], 0);
    EXPECT_EQ(list.counts[102], 0);
    EXPECT_EQ(list.sample_desc, U"from Labo LIST data" + std::u32string(44, U' '));
    EXPECT_EQ(list.energy_slope, 1.0f);

    EXPECT_EQ(expected_conversion(Layout::labo_old, p).sample_desc,
              std::u32string(16, U'試') + std::u32string(47, U' '));
    // 64 bytes hold all 20, then 24 blanks.
    EXPECT_EQ(expected_conversion(Layout::labo_new, p).sample_desc,
              std::u32string(20, U'試') + std::u32string(43, U' '));

    ExpectedConversion dat = expected_conversion(Layout::kaihouken_dat, p);
    EXPECT_EQ(dat.counts[0], 300);
    EXPECT_EQ(dat.counts[1], 3612);
    EXPECT_EQ(dat.sample_desc.substr(0, 23), U"JAERI開放研file(dat) Date:");
    EXPECT_EQ(dat.sample_desc.substr(23, 20), U"03/07/1509:41:20 試試試");
    EXPECT_EQ(dat.num_channels, 128);
    EXPECT_EQ(dat.counts[127], 0);

    p.sample = U"Sample with more than sixty-four characters, which the reader cuts at 63";
    EXPECT_EQ(expected_conversion(Layout::canberra_txt, p).sample_desc, p.sample.substr(0, 63));
    // The ID line's blank after "ID:" comes first.
    EXPECT_EQ(expected_conversion(Layout::oxford_asc, p).sample_desc,
              U" " + p.sample.substr(0, 62));
}

TEST(ExampleSources, ParametersOutOfRangeAreRefused) {
    for (auto change : std::vector<void (*)(SourceParams&)>{
             [](SourceParams& p) { p.channels = 1; },
             [](SourceParams& p) { p.channels = 16385; },
             [](SourceParams& p) { p.start.month = 13; },
             [](SourceParams& p) { p.start.year = 2070; },
             [](SourceParams& p) { p.sample = U"two\nlines"; },
         }) {
        SourceParams p = params(64);
        change(p);
        EXPECT_THROW(make_source(Layout::canberra_txt, p), std::invalid_argument);
        EXPECT_THROW(expected_conversion(Layout::labo_new, p), std::invalid_argument);
    }
}

TEST(ExampleSources, ExamplesFolderIsWhatTheGeneratorWrites) {
    const std::filesystem::path dir = std::filesystem::path(BRANDEL_SOURCE_DIR) / "examples";
    std::set<std::string> names = {"README.md", ".gitattributes"};
    std::set<Layout> layouts;
    for (const ExampleFile& file : example_files()) {
        names.insert(file.name);
        layouts.insert(file.layout);
        std::ifstream in(dir / file.name, std::ios::binary);
        ASSERT_TRUE(in) << file.name << " is missing: run brandel-make-examples examples";
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_TRUE(bytes == make_source(file.layout, file.params))
            << file.name << " differs from the generator: run brandel-make-examples examples";
    }
    EXPECT_EQ(layouts.size(), all_layouts().size());
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        EXPECT_TRUE(names.count(entry.path().filename().string())) << entry.path();
}

}  // namespace
}  // namespace brandel::tools
