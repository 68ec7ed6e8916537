#include "readers/labo_list.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <ostream>
#include <string>

#include "example_file.hpp"
#include "spectrum/text.hpp"
#include "temp_dir.hpp"

namespace brandel::readers {
namespace {

using spectrum::State;
using spectrum::to_utf8;

constexpr std::size_t header_size = 1036;

/// A LIST file of `size` bytes: a header with the given date and time texts, then the values
/// 1, 2, 3, ... as int32 from offset 1036 for as long as whole values fit.
std::string list_file(std::size_t size, std::string_view date = "02-JUL-16",
                      std::string_view time = "14:23:37") {
    std::string bytes(size, '\0');
    auto put = [&](std::size_t at, std::string_view text) {
        if (at + text.size() <= size)
            bytes.replace(at, text.size(), text);
    };
    put(32, date);
    put(41, time);
    for (std::size_t at = header_size, v = 1; at + 4 <= size; at += 4, ++v)
        for (std::size_t i = 0; i < 4; ++i)
            bytes[at + i] = static_cast<char>((v >> (8 * i)) & 0xff);
    return bytes;
}

ReaderResult convert(const test_support::TempDir& dir, const std::string& bytes, State& state) {
    state.org_path = dir.write("list.dat", bytes);
    return read_org_labo_list(state);
}

struct CountRow {
    const char* name;
    std::size_t size;
    std::int16_t count;
    friend void PrintTo(const CountRow& row, std::ostream* out) { *out << row.name; }
};

class LaboListCount : public ::testing::TestWithParam<CountRow> {};

// The count is (L - 1024) / 4 rounded halves to even: the last three values lie past the end
// and read as zero.
TEST_P(LaboListCount, CountComesFromTheFileLength) {
    const CountRow& row = GetParam();
    test_support::TempDir dir;
    State state;
    ReaderResult result = convert(dir, list_file(row.size), state);
    ASSERT_TRUE(result.complete()) << result.reason;
    ASSERT_EQ(state.chn_header.num_channels, row.count);
    const int whole = static_cast<int>((row.size - header_size) / 4);
    for (int k = 0; k < row.count; ++k)
        EXPECT_EQ(state.counts.at(k), k < whole ? k + 1 : 0) << "channel " << k + 1;
    EXPECT_EQ(state.counts.at(row.count), 0);
}

INSTANTIATE_TEST_SUITE_P(Rows, LaboListCount,
                         ::testing::Values(CountRow{"HeaderOnly", 1036, 3},
                                           CountRow{"FiveValues", 1036 + 20, 8},
                                           CountRow{"HalfRoundsUpToEven", 1024 + 12 + 2, 4},
                                           CountRow{"HalfRoundsDownToEven", 1024 + 16 + 2, 4},
                                           CountRow{"QuarterRoundsDown", 1024 + 16 + 1, 4},
                                           CountRow{"ThreeQuartersRoundUp", 1024 + 16 + 3, 5}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LaboList, FillsTheRecordFromDateTimeAndFirstValues) {
    test_support::TempDir dir;
    std::string bytes = list_file(header_size + 16);
    // Calibration, count, times and description of the header are not used.
    bytes.replace(0, 4, "\x8e\x8e\x97\xbf");
    bytes[56] = 7;
    bytes[72] = 0x40;
    bytes[718] = 9;
    State state;
    state.chn_header.start_sec_tens = 'x';
    ReaderResult result = convert(dir, bytes, state);
    ASSERT_TRUE(result.complete()) << result.reason;
    const auto& h = state.chn_header;
    const auto& t = state.chn_trailer;
    EXPECT_EQ(h.mca_number, 101);
    EXPECT_EQ(h.segment, 3);
    EXPECT_EQ(h.num_channels, 7);
    EXPECT_EQ(h.live_time, 1);  // the first two values, not scaled
    EXPECT_EQ(h.real_time, 2);
    EXPECT_EQ(state.counts.at(0), 1);
    EXPECT_EQ(state.counts.at(1), 2);
    EXPECT_EQ(to_utf8(h.start_date.view()), "16JUL02 ");
    EXPECT_EQ(to_utf8(h.start_time.view()), "142337");
    EXPECT_EQ(h.start_sec_tens, '3');
    EXPECT_EQ(h.start_sec_units, '7');
    EXPECT_EQ(t.energy_zero, 0.0f);
    EXPECT_EQ(t.energy_slope, 1.0f);
    EXPECT_EQ(t.energy_quad, 0.0f);
    EXPECT_EQ(t.trailer_type, -102);
    EXPECT_EQ(t.sample_desc_len, 63);
    EXPECT_EQ(to_utf8(t.sample_desc.view()), "from Labo LIST data" + std::string(44, ' '));
    EXPECT_EQ(state.text_buf, spectrum::TextField<64>{});
}

TEST(LaboList, BlankTensOfTheMinuteBecomesZero) {
    test_support::TempDir dir;
    State state;
    ASSERT_TRUE(convert(dir, list_file(header_size, "98/Nov/02", "07: 5:09"), state).complete());
    EXPECT_EQ(to_utf8(state.chn_header.start_date.view()), "02Nov98 ");
    EXPECT_EQ(to_utf8(state.chn_header.start_time.view()), "070509");
    EXPECT_EQ(state.chn_header.start_sec_tens, '0');
    EXPECT_EQ(state.chn_header.start_sec_units, '9');
}

struct FailureRow {
    const char* name;
    std::size_t size;
    Outcome outcome;
    const char* reason;
    friend void PrintTo(const FailureRow& row, std::ostream* out) { *out << row.name; }
};

class LaboListFailure : public ::testing::TestWithParam<FailureRow> {};

TEST_P(LaboListFailure, IsReported) {
    const FailureRow& row = GetParam();
    test_support::TempDir dir;
    State state;
    ReaderResult result = convert(dir, list_file(row.size), state);
    EXPECT_EQ(result.outcome, row.outcome);
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(result.reason.find(row.reason), std::string::npos) << result.reason;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LaboListFailure,
    ::testing::Values(
        FailureRow{"ShorterThanHeader", 1035, Outcome::read_error, "inside its 1036-byte header"},
        FailureRow{"Empty", 0, Outcome::read_error, "inside its 1036-byte header"},
        FailureRow{
            "TooManyChannels", 1024 + 4 * 17002, Outcome::read_error,
            "the channel count 17002 from the file's 69032 bytes is more than the 17001 channels "
            "that fit"},
        FailureRow{
            "CountBeyond16Bits", 1024 + 4 * 32768, Outcome::read_error,
            "the channel count 32768 from the file's 132096 bytes is out of range (-32768 to "
            "32767)"}),
    [](const auto& info) { return std::string(info.param.name); });

// A failure quotes the field as the file holds it, with its byte offset: the example LIST file
// with one field damaged.
TEST(LaboList, FailuresQuoteTheFieldAndItsOffset) {
    struct Row {
        std::size_t offset;
        std::string field;
        const char* reason;
    };
    const Row rows[] = {
        {32, "02-JUL-32", "byte 32: the date '02-JUL-32' is not YY-MMM-DD"},
        {1036, std::string("\xfb\xff\xff\xff", 4),
         "byte 1036: the live time -5 (ticks of 20 ms) is negative"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.reason);
        test_support::TempDir dir;
        std::string bytes = test_support::example_bytes("labo_list.lst");
        State state;
        ASSERT_TRUE(convert(dir, bytes, state).complete());
        bytes.replace(row.offset, row.field.size(), row.field);
        const ReaderResult result = convert(dir, bytes, state);
        EXPECT_EQ(result.outcome, Outcome::read_error);
        EXPECT_EQ(result.reason, row.reason);
    }
}

// A LIST file begins with a Labo(Old) header. What its count and times say tells it from a
// Labo(Old) file that lost or gained values: a header that records times holds those of the first
// two values; one that records none counts the channels after the two times, every value as the
// count formula does, or nothing. Anything else is a damaged Labo(Old) file.
TEST(LaboList, TheHeaderTellsAListFileFromADamagedOldFile) {
    struct Row {
        const char* name;
        std::int16_t count;        // the header's channel count
        std::int32_t live, real;   // the header's times, whole seconds
        std::int32_t first_value;  // the live time the first value holds, in ticks
        std::size_t values;        // values after the header
        bool converts;
    };
    const Row rows[] = {
        {"times agree, any count", 999, 300, 302, 15000, 40, true},
        {"times agree within a tick", 7, 300, 302, 15049, 40, true},
        {"times one second off", 38, 300, 302, 15050, 40, false},
        {"no times, count after the two times", 38, 0, 0, 1, 40, true},
        {"no times, count of the formula", 43, 0, 0, 1, 40, true},
        {"no times, no count", 0, 0, 0, 1, 40, true},
        {"no times, count of every value", 40, 0, 0, 1, 40, true},
        {"no times, another count", 41, 0, 0, 1, 40, false},
        {"live time but no real time", 38, 9, 0, 1, 40, true},
        {"times set, count after the two times", 38, 600, 603, 147, 40, false},
        {"negative header time", 40, -1, 5, 1, 40, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string bytes = list_file(header_size + 4 * row.values);
        test_support::put_le(bytes, 56, row.count, 2);
        test_support::put_le(bytes, 718, row.live, 4);
        test_support::put_le(bytes, 722, row.real, 4);
        test_support::put_le(bytes, 1036, row.first_value, 4);
        test_support::put_le(bytes, 1040, 15100, 4);
        test_support::TempDir dir;
        State state;
        const ReaderResult result = convert(dir, bytes, state);
        EXPECT_EQ(result.complete(), row.converts) << result.reason;
        if (!row.converts && row.live >= 0) {
            EXPECT_EQ(result.reason, "byte 56: a Labo(Old) header announces " +
                                         std::to_string(row.count) +
                                         " channels but the file holds 40 values");
        }
    }
}

TEST(LaboListMissing, FolderGivesStatusMinusOne) {
    test_support::TempDir dir;
    State state;
    state.org_path = dir.dir() + "no folder/list.dat";
    ReaderResult result = read_org_labo_list(state);
    EXPECT_EQ(result.outcome, Outcome::file_not_found);
    EXPECT_EQ(result.status, -1);
    EXPECT_EQ(result.reason, "File does not exist.");
}

}  // namespace
}  // namespace brandel::readers
