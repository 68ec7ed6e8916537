#include "readers/canberra_txt.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "example_file.hpp"
#include "spectrum/state.hpp"
#include "spectrum/text.hpp"
#include "temp_dir.hpp"

namespace brandel::readers {
namespace {

using spectrum::State;

// A header line with its key from column 1 and its value from column 15.
std::string field(std::string key, const std::string& value) {
    key.resize(14, ' ');
    return key + value;
}

// A CANBERRA report: 8 header lines, then the channel table.
struct Report {
    std::vector<std::string> header = {
        "CANBERRA spectrum report",
        field("Sample Name:", "\x8e\x8e\x97\xbf Ge-1"),  // 試料 in code page 932
        field("Channel No", "    4"),
        field("Live Time", "3600.5 sec"),
        field("True Time", "3700.25"),
        field("Date Time", "2003/07/15 09:41:27"),
        "",
        "Channel  Counts",
    };
    std::vector<std::string> table = {"1 10", "2 20", "3 30", "4 40"};

    std::string bytes(const std::string& eol = "\r\n") const {
        std::string out;
        for (const std::string& l : header)
            out += l + eol;
        for (const std::string& l : table)
            out += l + eol;
        return out;
    }
    void set(std::size_t line, std::string text) { header.at(line - 1) = std::move(text); }
};

ReaderResult convert(State& state, const std::string& bytes) {
    brandel::test_support::TempDir dir;
    state.org_path = dir.write("S0123.TXT", bytes);
    return read_org_canberra_txt(state);
}

template <std::size_t N>
std::string text(const spectrum::TextField<N>& f) {
    return spectrum::to_utf8(f.view());
}

std::vector<std::int32_t> counts(const State& state, int n) {
    return std::vector<std::int32_t>(state.counts.data(), state.counts.data() + n);
}

TEST(CanberraTxtReader, ReadsEveryFieldWithAnyLineEnd) {
    for (const char* eol : {"\r\n", "\r", "\n"}) {
        SCOPED_TRACE(::testing::PrintToString(eol));
        State state;
        ReaderResult r = convert(state, Report{}.bytes(eol));
        ASSERT_TRUE(r.complete()) << r.reason;
        EXPECT_EQ(r.status, 0);
        const auto& h = state.chn_header;
        const auto& t = state.chn_trailer;
        EXPECT_EQ(h.mca_number, 301);
        EXPECT_EQ(h.segment, 1);
        EXPECT_EQ(h.num_channels, 4);
        EXPECT_EQ(h.live_time, 180025);
        EXPECT_EQ(h.real_time, 185010);  // only "3700.2" is read
        EXPECT_EQ(text(h.start_date), "15JUL031");
        EXPECT_EQ(text(h.start_time), "094100");  // seconds are not read
        EXPECT_EQ(h.start_sec_tens, '0');
        EXPECT_EQ(h.start_sec_units, '0');
        EXPECT_EQ(t.sample_desc_len, 63);
        EXPECT_EQ(text(t.sample_desc), "試料 Ge-1" + std::string(56, ' '));
        EXPECT_EQ(text(state.text_buf), "試料 Ge-1" + std::string(57, ' '));
        EXPECT_EQ(t.energy_zero, 0.0f);
        EXPECT_EQ(t.energy_slope, 1.0f);
        EXPECT_EQ(t.energy_quad, 0.0f);
        EXPECT_EQ(t.trailer_type, -102);
        EXPECT_EQ(counts(state, 5), (std::vector<std::int32_t>{10, 20, 30, 40, 0}));
    }
}

TEST(CanberraTxtReader, HeaderFields) {
    struct Row {
        const char* name;
        std::function<void(Report&)> edit;
        std::int16_t channels;
        std::int32_t live;
    };
    const std::vector<Row> rows = {
        {"key anywhere in the line, any case", [](Report& r) { r.set(3, "  channel no  4096"); },
         4096, 180025},
        {"key found in a later line",
         [](Report& r) {
             r.set(3, "no count here");
             r.set(7, field("CHANNEL NO", "    3"));
         },
         3, 180025},
        {"first occurrence wins", [](Report& r) { r.set(7, field("Live Time", "1")); }, 4, 180025},
        {"time cut to six characters", [](Report& r) { r.set(4, field("Live Time", "3600.55")); },
         4, 180025},
        {"ticks round halves to even", [](Report& r) { r.set(4, field("Live Time", "1.25")); }, 4,
         62},
        {"blanks inside a number are dropped",
         [](Report& r) { r.set(3, field("Channel No", " 1 2")); }, 12, 180025},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Report report;
        report.table.clear();
        for (int k = 1; k <= 4096; ++k)
            report.table.push_back(std::to_string(k) + " 1");
        row.edit(report);
        State state;
        ReaderResult r = convert(state, report.bytes());
        ASSERT_TRUE(r.complete()) << r.reason;
        EXPECT_EQ(state.chn_header.num_channels, row.channels);
        EXPECT_EQ(state.chn_header.live_time, row.live);
    }
}

TEST(CanberraTxtReader, DateAndTime) {
    struct Row {
        const char* columns_15_to_30;
        const char* date;
        const char* time;
    };
    const Row rows[] = {
        {"2003/07/15 09:41", "15JUL031", "094100"},
        {"1998/11/02 17:05", "02NOV98 ", "170500"},
        {"2003/07/15 09: 5", "15JUL031", "090500"},  // a blank minute tens becomes 0
        {"2101/12/31 23:59", "31DEC012", "235900"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.columns_15_to_30);
        Report report;
        report.set(6, field("Date Time", row.columns_15_to_30));
        State state;
        ReaderResult r = convert(state, report.bytes());
        ASSERT_TRUE(r.complete()) << r.reason;
        EXPECT_EQ(text(state.chn_header.start_date), row.date);
        EXPECT_EQ(text(state.chn_header.start_time), row.time);
        EXPECT_EQ(state.chn_header.start_sec_tens, '0');
        EXPECT_EQ(state.chn_header.start_sec_units, '0');
    }
}

TEST(CanberraTxtReader, ChannelTableLayouts) {
    struct Row {
        const char* name;
        std::vector<std::string> table;
        std::vector<std::int32_t> expected;
    };
    const std::vector<Row> rows = {
        {"several pairs a line", {"1 10 2 20", "3 30   4 40"}, {10, 20, 30, 40}},
        {"commas and blanks", {"1, 10, 2,20", "  3 ,30", "4\t40"}, {10, 20, 30, 40}},
        {"counts round halves to even", {"1 10.5 2 11.5", "3 -2.5 4 1.5E3"}, {10, 12, -2, 1500}},
        {"extra pairs are ignored", {"1 1 2 2 3 3 4 4 5 5"}, {1, 2, 3, 4}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Report report;
        report.table = row.table;
        State state;
        ReaderResult r = convert(state, report.bytes());
        ASSERT_TRUE(r.complete()) << r.reason;
        EXPECT_EQ(counts(state, 4), row.expected);
        EXPECT_EQ(state.counts.at(4), 0);
    }
}

TEST(CanberraTxtReader, ZeroChannelsNeedNoTable) {
    Report report;
    report.set(3, field("Channel No", "0"));
    report.header.resize(6);
    report.table.clear();
    State state;
    ReaderResult r = convert(state, report.bytes());
    ASSERT_TRUE(r.complete()) << r.reason;
    EXPECT_EQ(state.chn_header.num_channels, 0);
    EXPECT_EQ(state.chn_header.live_time, 180025);
    EXPECT_EQ(text(state.chn_header.start_date), "15JUL031");
}

TEST(CanberraTxtReader, Failures) {
    struct Row {
        const char* name;
        std::function<void(Report&)> edit;
        Outcome outcome;
        std::string reason;
    };
    const std::vector<Row> rows = {
        {"key missing", [](Report& r) { r.set(5, "Real Time     3700"); }, Outcome::key_not_found,
         "header key \"True Time\" not found"},
        {"table shorter than the count", [](Report& r) { r.table.pop_back(); }, Outcome::read_error,
         "line 12: the file ends where a value was expected"},
        {"file ends inside a pair", [](Report& r) { r.table.back() = "4"; }, Outcome::read_error,
         "line 13: the file ends where a value was expected"},
        {"file ends before the table",
         [](Report& r) {
             r.header.resize(6);
             r.table.clear();
         },
         Outcome::read_error, "line 7: the file ends where a value was expected"},
        {"channel count too large", [](Report& r) { r.set(3, field("Channel No", "40000")); },
         Outcome::read_error,
         "line 3: the channel count 'Channel No    40000' is out of range (-32768 to 32767)"},
        {"negative channel count", [](Report& r) { r.set(3, field("Channel No", "   -5")); },
         Outcome::read_error, "line 3: the channel count 'Channel No       -5' is negative"},
        {"time beyond 32 bits", [](Report& r) { r.set(5, field("True Time", "9E99")); },
         Outcome::read_error,
         "line 5: the true time 'True Time     9E99' is out of range (at most 42949672.94 s)"},
        {"count beyond 32 bits", [](Report& r) { r.table[2] = "3 2147483648"; },
         Outcome::read_error,
         "line 11: the count '2147483648' of channel 3 is out of range (-2147483648 to "
         "2147483647)"},
        {"more channels than fit",
         [](Report& r) {
             r.set(3, field("Channel No", "17002"));
             r.table.assign(17002, "0 1");
         },
         Outcome::read_error,
         "line 3: the channel count 'Channel No    17002' is more than the 17001 channels that "
         "fit"},
        {"no name for month 13",
         [](Report& r) { r.set(6, field("Date Time", "2003/13/15 09:41")); }, Outcome::read_error,
         "line 6: the date 'Date Time     2003/13/15 09:41' is not YYYY/MM/DD"},
        {"day 32", [](Report& r) { r.set(6, field("Date Time", "2003/07/32 09:41")); },
         Outcome::read_error,
         "line 6: the date 'Date Time     2003/07/32 09:41' is not YYYY/MM/DD"},
        {"hour 24", [](Report& r) { r.set(6, field("Date Time", "2003/07/15 24:00")); },
         Outcome::read_error, "line 6: the time 'Date Time     2003/07/15 24:00' is not hh:mm"},
        {"no time at all", [](Report& r) { r.set(6, field("Date Time", "2003/07/15")); },
         Outcome::read_error, "line 6: the time 'Date Time     2003/07/15' is not hh:mm"},
        {"negative live time", [](Report& r) { r.set(4, field("Live Time", "-3.5")); },
         Outcome::read_error, "line 4: the live time 'Live Time     -3.5' is negative"},
        {"negative real time", [](Report& r) { r.set(5, field("True Time", "-1")); },
         Outcome::read_error, "line 5: the true time 'True Time     -1' is negative"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Report report;
        row.edit(report);
        State state;
        ReaderResult r = convert(state, report.bytes());
        EXPECT_EQ(r.outcome, row.outcome);
        EXPECT_EQ(r.status, 0);
        EXPECT_NE(r.reason.find(row.reason), std::string::npos) << r.reason;
    }
}

// A failure quotes the line as the report holds it, with its number: the example report with one
// field damaged.
TEST(CanberraTxtReader, FailuresQuoteTheLineAsWritten) {
    struct Row {
        std::size_t line;
        const char* text;
        const char* reason;
    };
    const Row rows[] = {
        {2, "Date Time   : 2003/07/32 09:41:20",
         "line 2: the date 'Date Time   : 2003/07/32 09:41:20' is not YYYY/MM/DD"},
        {3, "Live Time   : -1800.0 sec",
         "line 3: the live time 'Live Time   : -1800.0 sec' is negative"},
        {5, "Channel No  : 99999",
         "line 5: the channel count 'Channel No  : 99999' is out of range (-32768 to 32767)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        test_support::ExampleLines report("S0123.TXT");
        ASSERT_TRUE(convert(*std::make_unique<State>(), report.bytes()).complete());
        report.set(row.line, row.text);
        State state;
        const ReaderResult r = convert(state, report.bytes());
        EXPECT_EQ(r.outcome, Outcome::read_error);
        EXPECT_EQ(r.reason, row.reason);
    }
}

TEST(CanberraTxtReader, MissingFileAndFolder) {
    brandel::test_support::TempDir dir;
    State state;
    state.org_path = dir.dir() + "absent.txt";
    ReaderResult r = read_org_canberra_txt(state);
    EXPECT_EQ(r.outcome, Outcome::file_not_found);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.reason, "File does not exist.");

    state.org_path = dir.dir() + "no-such-folder/S0123.TXT";
    r = read_org_canberra_txt(state);
    EXPECT_EQ(r.outcome, Outcome::file_not_found);
    EXPECT_EQ(r.status, -1);
}

}  // namespace
}  // namespace brandel::readers
