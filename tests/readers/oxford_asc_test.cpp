#include "readers/oxford_asc.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "example_file.hpp"
#include "spectrum/chn_file.hpp"
#include "spectrum/numbers.hpp"
#include "spectrum/state.hpp"
#include "spectrum/text.hpp"
#include "spectrum/text_source.hpp"
#include "temp_dir.hpp"

namespace brandel::readers {
namespace {

using spectrum::State;

// A header line with its key from column 1 and its value from column `value_column`.
std::string field(std::string key, std::size_t value_column, const std::string& value) {
    key.resize(value_column - 1, ' ');
    return key + value;
}

// A channel line: a label in columns 1-7, the count from column 8.
std::string channel(const std::string& label, const std::string& count) {
    return field(label, 8, count);
}

// An Oxford export: 15 header lines, then one line per channel.
struct Export {
    std::vector<std::string> header = {
        "Oxford MCA spectrum export",
        "ID:\x8e\x8e\x97\xbf Ge-1",  // 試料 in code page 932
        field("Conversion Gain:", 27, "4"),
        field("Elapsed Live Time:", 20, "3600.5"),
        field("Elapsed Real Time:", 20, "3700.25"),
        "Acquisition Date:  15-Jul-2003 09:41:20",
        field("Energy calibration   A =", 54, "1.5E-7"),
        field("Energy calibration   B =", 54, "0.5"),
        field("Energy calibration   C =", 54, "-1.25 keV"),
        "",
        "",
        "",
        "",
        "",
        "Channel Counts",
    };
    std::vector<std::string> lines = {channel("1", "10"), channel("2", "20"), channel("3", "30"),
                                      channel("4", "40")};

    std::string bytes(const std::string& eol = "\r\n") const {
        std::string out;
        for (const std::string& l : header)
            out += l + eol;
        for (const std::string& l : lines)
            out += l + eol;
        return out;
    }
    void set(std::size_t line, std::string text) { header.at(line - 1) = std::move(text); }
};

ReaderResult convert(State& state, const std::string& bytes) {
    brandel::test_support::TempDir dir;
    state.org_path = dir.write("SPEC01.asc", bytes);
    return read_org_oxford_asc(state);
}

template <std::size_t N>
std::string text(const spectrum::TextField<N>& f) {
    return spectrum::to_utf8(f.view());
}

std::vector<std::int32_t> counts(const State& state, int n) {
    return std::vector<std::int32_t>(state.counts.data(), state.counts.data() + n);
}

// A failure quotes the line as the export holds it, with its number: the example export with one
// field damaged, among them the date of a PIXE export in this layout.
TEST(OxfordAscReader, FailuresQuoteTheLineAsWritten) {
    struct Row {
        std::size_t line;
        const char* text;
        const char* reason;
    };
    const Row rows[] = {
        {3, "Acquisition Date: 09-01-2026 14:14:58",
         "line 3: the date 'Acquisition Date: 09-01-2026 14:14:58' is not DD-Mon-YYYY"},
        {3, "Acquisition Date:  05-Jul-2003 08:61",
         "line 3: the time 'Acquisition Date:  05-Jul-2003 08:61' is not hh:mm"},
        {5, "Elapsed Live Time:           9.9E99",
         "line 5: the live time 'Elapsed Live Time:           9.9E99' is out of range (at most "
         "42949672.94 s)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        test_support::ExampleLines file("nai_0705.asc");
        ASSERT_TRUE(convert(*std::make_unique<State>(), file.bytes()).complete());
        file.set(row.line, row.text);
        State state;
        const ReaderResult r = convert(state, file.bytes());
        EXPECT_EQ(r.outcome, Outcome::read_error);
        EXPECT_EQ(r.reason, row.reason);
    }
}

TEST(OxfordAscReader, ReadsEveryFieldWithAnyLineEnd) {
    for (const char* eol : {"\r\n", "\r", "\n"}) {
        SCOPED_TRACE(::testing::PrintToString(eol));
        State state;
        ReaderResult r = convert(state, Export{}.bytes(eol));
        ASSERT_TRUE(r.complete()) << r.reason;
        EXPECT_EQ(r.status, 0);
        const auto& h = state.chn_header;
        const auto& t = state.chn_trailer;
        EXPECT_EQ(h.mca_number, 444);
        EXPECT_EQ(h.segment, 1);
        EXPECT_EQ(h.num_channels, 4);
        EXPECT_EQ(h.live_time, 180025);
        EXPECT_EQ(h.real_time, 185012);  // 185012.5 rounds to even
        EXPECT_EQ(text(h.start_date), "15Jul031");
        EXPECT_EQ(text(h.start_time), "094100");
        EXPECT_EQ(h.start_sec_tens, '0');
        EXPECT_EQ(h.start_sec_units, '0');
        EXPECT_EQ(t.sample_desc_len, 63);
        EXPECT_EQ(text(t.sample_desc), "試料 Ge-1" + std::string(56, ' '));
        EXPECT_EQ(text(state.text_buf), "試料 Ge-1" + std::string(57, ' '));
        // energy = A + B * channel + C * channel^2
        EXPECT_EQ(t.energy_zero, 1.5e-7f);
        EXPECT_EQ(t.energy_slope, 0.5f);
        EXPECT_EQ(t.energy_quad, -1.25f);
        EXPECT_EQ(t.trailer_type, -102);
        EXPECT_EQ(counts(state, 5), (std::vector<std::int32_t>{10, 20, 30, 40, 0}));
    }
}

TEST(OxfordAscReader, AcquisitionDate) {
    struct Row {
        const char* line;
        const char* date;
        const char* time;
    };
    const Row rows[] = {
        {"Acquisition Date:  15-Jul-2003 09:41:20", "15Jul031", "094100"},
        {"Acquisition Date:  5-Jul-2003 09:41:20", " 5Jul031", "094100"},  // one-digit day
        {"Acquisition Date:  05-Jul-2003 09:41:20", "05Jul031", "094100"},
        {"Acquisition Date:  02-Nov-1998 17:05:00", "02Nov98 ", "170500"},
        {"acquisition date:  9-NOV-1998 17: 5:00", " 9NOV98 ", "170500"},
        {"Acquisition Date:  10-Jan-2004 00:00:59", "10Jan041", "000000"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        Export file;
        file.set(6, row.line);
        State state;
        ReaderResult r = convert(state, file.bytes());
        ASSERT_TRUE(r.complete()) << r.reason;
        EXPECT_EQ(text(state.chn_header.start_date), row.date);
        EXPECT_EQ(text(state.chn_header.start_time), row.time);
        EXPECT_EQ(state.chn_header.start_sec_tens, '0');
        EXPECT_EQ(state.chn_header.start_sec_units, '0');
    }
}

TEST(OxfordAscReader, HeaderKeys) {
    struct Row {
        const char* name;
        std::function<void(Export&)> edit;
        std::int16_t channels;
        float zero;  // the "A =" term
    };
    const std::vector<Row> rows = {
        {"key in another case, in a later line",
         [](Export& f) {
             f.set(3, "gain unknown");
             f.set(12, field("  conversion gain:", 27, "3"));
         },
         3, 1.5e-7f},
        {"calibration key inside a longer word",
         [](Export& f) { f.set(1, field("METADATA =", 54, "2.5")); }, 4, 2.5f},
        {"first occurrence wins", [](Export& f) { f.set(13, field("Conversion Gain:", 27, "2")); },
         4, 1.5e-7f},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Export file;
        row.edit(file);
        State state;
        ReaderResult r = convert(state, file.bytes());
        ASSERT_TRUE(r.complete()) << r.reason;
        EXPECT_EQ(state.chn_header.num_channels, row.channels);
        EXPECT_EQ(state.chn_trailer.energy_zero, row.zero);
    }
}

TEST(OxfordAscReader, ChannelLines) {
    struct Row {
        const char* name;
        std::string line;
        std::int32_t count;
    };
    const std::vector<Row> rows = {
        {"label columns are never read", "9999999" + std::string("1234"), 1234},
        {"blanks inside the count are dropped", channel("1", " 12 34"), 1234},
        {"halves round to even", channel("1", "2.5"), 2},
        {"exponent", channel("1", "1.5E3"), 1500},
        {"line shorter than column 8", "1", 0},
        {"empty line", "", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Export file;
        file.lines[1] = row.line;
        State state;
        ReaderResult r = convert(state, file.bytes());
        ASSERT_TRUE(r.complete()) << r.reason;
        EXPECT_EQ(counts(state, 4), (std::vector<std::int32_t>{10, row.count, 30, 40}));
    }
}

TEST(OxfordAscReader, LongTablesReadEachLineAsTheGeneralRuleReadsIt) {
    // Tables of right-aligned counts, now and then a line of another shape, with mixed line ends;
    // each count must be what the general rule reads in the line's characters from column 8.
    const std::vector<std::string> odd = {
        "   12\t  34", "    1 2 3", "  12345678",  "  1.5",           "   007",
        "7",           "  ",        "\x8e\x8e  5", "       \x8e\x8e", std::string(70, ' ') + "9",
        "  -4",        "  3 ",      "   +8"};
    std::uint64_t seed = 11;
    auto below = [&seed](std::size_t n) {
        seed = seed * 6364136223846793005u + 1442695040888963407u;
        return static_cast<std::size_t>((seed >> 33) % n);
    };
    for (int round = 0; round < 300; ++round) {
        const int channels = 50 + static_cast<int>(below(300));
        Export file;
        file.set(3, field("Conversion Gain:", 27, std::to_string(channels)));
        std::string bytes = Export{file.header, {}}.bytes();
        const bool mostly_plain = below(2) == 0;
        for (int k = 0; k < channels; ++k) {
            std::string line;
            if (k > 0 && below(mostly_plain ? 100 : 8) == 0) {
                line = std::to_string(k) + odd[below(odd.size())];
            } else {
                std::string count = std::to_string(below(below(3) == 0 ? 10'000'000 : 1000));
                count.insert(0, below(12) + 1, ' ');
                line = channel(std::to_string(k), count);
            }
            bytes += line + (below(4) == 0 ? (below(2) == 0 ? "\n" : "\r") : "\r\n");
        }
        SCOPED_TRACE(bytes);
        const spectrum::TextSource text = spectrum::TextSource::from_bytes(bytes);
        std::vector<std::int32_t> expected;
        for (int k = 0; k < channels; ++k) {
            const std::u32string_view line = text.line(15 + static_cast<std::size_t>(k));
            expected.push_back(static_cast<std::int32_t>(
                std::nearbyint(spectrum::leading_number(spectrum::column_range(line, 8, 106)))));
        }
        State state;
        const ReaderResult r = read_source(state, oxford_asc_layout, bytes);
        ASSERT_TRUE(r.complete()) << r.reason;
        ASSERT_EQ(counts(state, channels), expected);
    }
}

TEST(OxfordAscReader, ZeroChannelsStillReadTheHeader) {
    Export file;
    file.set(3, field("Conversion Gain:", 27, "0"));
    file.header.resize(9);
    file.lines.clear();
    State state;
    ReaderResult r = convert(state, file.bytes());
    ASSERT_TRUE(r.complete()) << r.reason;
    EXPECT_EQ(state.chn_header.num_channels, 0);
    EXPECT_EQ(state.chn_header.live_time, 180025);
    EXPECT_EQ(text(state.chn_header.start_date), "15Jul031");
    EXPECT_EQ(state.chn_trailer.energy_quad, -1.25f);
    EXPECT_EQ(state.chn_trailer.sample_desc_len, 63);
}

TEST(OxfordAscReader, Failures) {
    struct Row {
        const char* name;
        std::function<void(Export&)> edit;
        Outcome outcome;
        std::string reason;
    };
    const std::vector<Row> rows = {
        {"key missing", [](Export& f) { f.set(9, "Energy calibration   C"); },
         Outcome::key_not_found, "header key \"C =\" not found"},
        {"fewer channel lines than the count", [](Export& f) { f.lines.resize(2); },
         Outcome::read_error, "line 18: the file ends where channel 3 of 4 was expected"},
        {"file ends before the channel lines",
         [](Export& f) {
             f.header.resize(10);
             f.lines.clear();
         },
         Outcome::read_error, "no channel lines after the header"},
        {"only text after the header",
         [](Export& f) {
             f.lines = {"Channel 1 of 4", "1 2 3", "1 x", "-1 5", "1\t2 3"};
         },
         Outcome::read_error, "no channel lines after the header"},
        {"channel count too large",
         [](Export& f) { f.set(3, field("Conversion Gain:", 27, "40000")); }, Outcome::read_error,
         "line 3: the channel count 'Conversion Gain:          40000' is out of range (-32768 to "
         "32767)"},
        {"negative channel count", [](Export& f) { f.set(3, field("Conversion Gain:", 27, "-5")); },
         Outcome::read_error,
         "line 3: the channel count 'Conversion Gain:          -5' is negative"},
        {"time beyond 32 bits",
         [](Export& f) { f.set(4, field("Elapsed Live Time:", 20, "43000000")); },
         Outcome::read_error,
         "line 4: the live time 'Elapsed Live Time: 43000000' is out of range (at most "
         "42949672.94 s)"},
        {"calibration beyond a 32-bit float", [](Export& f) { f.set(8, field("B =", 54, "1E39")); },
         Outcome::read_error, "' is too large for a 32-bit float"},
        {"count beyond 32 bits", [](Export& f) { f.lines[3] = channel("4", "-2147483649"); },
         Outcome::read_error,
         "line 19: the count '4      -2147483649' of channel 4 is out of range"},
        {"more channels than fit",
         [](Export& f) {
             f.set(3, field("Conversion Gain:", 27, "17002"));
             f.lines.assign(17002, channel("1", "1"));
         },
         Outcome::read_error,
         "line 3: the channel count 'Conversion Gain:          17002' is more than the 17001 "
         "channels that fit"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Export file;
        row.edit(file);
        State state;
        ReaderResult r = convert(state, file.bytes());
        EXPECT_EQ(r.outcome, row.outcome);
        EXPECT_EQ(r.status, 0);
        EXPECT_NE(r.reason.find(row.reason), std::string::npos) << r.reason;
    }
}

// The header lines of current exports, as their MCA software writes them.
const std::string current_id = "ID: Soil core 7/2025" + std::string(56, ' ');  // 76 characters
const std::vector<std::string> current_settings = {
    "Acquisition Date:  28-Aug-2025 12:55",
    "Elapsed Real Time:        129691.00",
    "Elapsed Live Time:        129600.00",
    "Conversion Gain:               8192                 Calibration",
    "High Voltage:                     0               A =   5.410E-001",
    "Coarse Gain:                      0               B =   4.980E-001",
    "Fine Gain:                     2.08               C =   2.605E-007",
};

std::string row(const char* format, int label, int count) {
    char line[64];
    std::snprintf(line, sizeof line, format, label, count);
    return line;
}

int count_of_channel(int k) {
    return (k * 37) % 1001;
}

// A current export of 12 lines before the table: rows "%4d%14d" labelled from 0.
std::string twelve_line_export() {
    std::string out = current_id + "\r\n\r\n";
    for (const std::string& l : current_settings)
        out += l + "\r\n";
    out += "\r\n\r\nChannel     Contents\r\n";
    for (int k = 1; k <= 8192; ++k)
        out += row("%4d%14d", k - 1, count_of_channel(k)) + "\r\n";
    return out;
}

// A current export of 11 lines before the table: a maker's line first, no empty line after the
// ID, a line of one blank before the heading, rows labelled from 1 with a trailing blank.
std::string eleven_line_export() {
    std::string out = "Oxford Instruments, Inc\r\n" + current_id + "\r\n";
    for (const std::string& l : current_settings)
        out += l + "\r\n";
    out += " \r\nChannel   Contents\r\n";
    for (int k = 1; k <= 8192; ++k)
        out += row("%2d%14d ", k, count_of_channel(k)) + "\r\n";
    return out;
}

float f32_at(const std::string& bytes, std::size_t offset) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i)
        v |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes.at(offset + i)))
             << (8 * i);
    return std::bit_cast<float>(v);
}

TEST(OxfordAscReader, CurrentExportsOf12And11Lines) {
    const std::pair<const char*, std::string> files[] = {{"12 lines", twelve_line_export()},
                                                         {"11 lines", eleven_line_export()}};
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        brandel::test_support::TempDir dir;
        State state;
        state.org_path = dir.write("Soil7.asc", bytes);
        state.chn_dir = dir.dir();
        ReaderResult r = read_org_oxford_asc(state);
        ASSERT_TRUE(r.complete()) << r.reason;
        const auto& h = state.chn_header;
        EXPECT_EQ(h.num_channels, 8192);
        EXPECT_EQ(state.counts.at(0), count_of_channel(1)) << "the first row is channel 1";
        EXPECT_EQ(state.counts.at(1), count_of_channel(2));
        EXPECT_EQ(state.counts.at(8191), count_of_channel(8192));
        EXPECT_EQ(text(h.start_date), "28Aug251");
        EXPECT_EQ(text(h.start_time), "125500");
        EXPECT_EQ(h.live_time, 129600 * 50);
        EXPECT_EQ(h.real_time, 129691 * 50);
        EXPECT_EQ(text(state.chn_trailer.sample_desc), current_id.substr(3, 63));

        // The energy of channel 1000 as a CHN consumer computes it from the written file:
        // 0.541 + 0.498 * 1000 + 2.605e-7 * 1000^2 keV.
        spectrum::write_chn(state);
        const std::string chn = dir.read("Soil7.chn");
        const std::size_t trailer = 32 + 4 * 8192;
        ASSERT_EQ(chn.size(), trailer + 512);
        const double zero = f32_at(chn, trailer + 4);
        const double slope = f32_at(chn, trailer + 8);
        const double quad = f32_at(chn, trailer + 12);
        EXPECT_NEAR(zero + slope * 1000.0 + quad * 1000.0 * 1000.0, 498.8015, 1e-4);
        EXPECT_FLOAT_EQ(static_cast<float>(zero), 0.541f);
    }
}

TEST(OxfordAscReader, TableStartsAtTheFirstChannelLineAfterTheHeader) {
    struct Row {
        const char* name;
        std::vector<std::string> between;  // lines between the last key line and the table
        std::string first;                 // the first line of the table, its count from column 8
    };
    const std::vector<Row> rows = {
        {"heading and a label from 0", {"Channel     Contents"}, "   0             7"},
        {"tab between label and count", {""}, "0\t     7"},
        {"count with decimals", {"Channel Counts"}, "  1    7.0 "},
        {"lines that are not channel lines",
         {"Channel 1 of 4", "1 x", "-1 5", "1 2 3", "1.5 7", "12", "1 +", "1 7e"},
         "     1       7"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Export file;
        file.header.resize(9);
        for (const std::string& l : row.between)
            file.header.push_back(l);
        file.lines[0] = row.first;
        State state;
        ReaderResult r = convert(state, file.bytes());
        ASSERT_TRUE(r.complete()) << r.reason;
        EXPECT_EQ(counts(state, 4), (std::vector<std::int32_t>{7, 20, 30, 40}));
    }
}

}  // namespace
}  // namespace brandel::readers
