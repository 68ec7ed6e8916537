#include "readers/labo.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <ostream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "example_file.hpp"
#include "spectrum/text.hpp"
#include "temp_dir.hpp"

namespace brandel::readers {
namespace {

using spectrum::State;
using spectrum::to_utf8;

/// A binary file image built field by field at literal offsets, little-endian.
struct Image {
    std::string bytes;
    explicit Image(std::size_t size) : bytes(size, '\0') {}
    Image& i16(std::size_t at, std::int16_t v) { return put(at, static_cast<std::uint16_t>(v), 2); }
    Image& i32(std::size_t at, std::int32_t v) { return put(at, static_cast<std::uint32_t>(v), 4); }
    Image& f32(std::size_t at, float v) { return put(at, std::bit_cast<std::uint32_t>(v), 4); }
    Image& text(std::size_t at, std::string_view t) {
        bytes.replace(at, t.size(), t);
        return *this;
    }
    Image& put(std::size_t at, std::uint32_t v, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i)
            bytes[at + i] = static_cast<char>((v >> (8 * i)) & 0xff);
        return *this;
    }
};

/// Where the two layouts keep what they share.
struct Layout {
    const char* name;
    Reader read;
    std::size_t header;  // size of the header record; the counts follow it
    std::size_t count_at;
    std::size_t live_at;
    friend void PrintTo(const Layout& row, std::ostream* out) { *out << row.name; }
};
const Layout labo_new{"New", read_org_labo_new, 1024, 54, 712};
const Layout labo_old{"Old", read_org_labo_old, 1036, 56, 718};

/// A file of the layout with `n` channels holding 10, 20, 30, ..., started 15 July 2003 at
/// 09:41:20.
Image with_channels(const Layout& layout, std::int16_t n, std::size_t stored) {
    Image image(layout.header + 4 * stored);
    image.i16(layout.count_at, n);
    if (layout.header == 1024)
        image.i16(80, 3).i16(82, 7).i16(84, 15).i16(88, 9).i16(90, 41).i16(92, 20);
    else
        image.text(32, "03-JUL-15").text(41, "09:41:20");
    for (std::size_t k = 0; k < stored; ++k)
        image.i32(layout.header + 4 * k, static_cast<std::int32_t>(10 * (k + 1)));
    return image;
}

ReaderResult convert(const test_support::TempDir& dir, Reader read, const std::string& bytes,
                     State& state) {
    state.org_path = dir.write("spectrum.dat", bytes);
    return read(state);
}

std::string shift_jis_sample = "\x8e\x8e\x97\xbf";  // 試料

TEST(LaboNew, ReadsEveryFieldOfTheHeader) {
    test_support::TempDir dir;
    std::string desc = shift_jis_sample + std::string(59, 'a') + "Z";  // 64 bytes, 62 chars
    Image image = with_channels(labo_new, 3, 3);
    image.f32(64, 0.0001f).f32(68, 0.5f).f32(72, 2.0f);
    image.i16(80, 2).i16(82, 7).i16(84, 5).i16(88, 9).i16(90, 5).i16(92, 3);
    image.i32(712, 120).i32(716, 125).text(774, desc);

    State state;
    state.text_buf.assign(U"left over");
    ReaderResult result = convert(dir, read_org_labo_new, image.bytes, state);
    ASSERT_TRUE(result.complete()) << result.reason;
    EXPECT_EQ(result.status, 0);

    const auto& h = state.chn_header;
    const auto& t = state.chn_trailer;
    EXPECT_EQ(h.mca_number, 101);
    EXPECT_EQ(h.segment, 1);
    EXPECT_EQ(h.num_channels, 3);
    EXPECT_EQ(state.counts.at(0), 10);
    EXPECT_EQ(state.counts.at(2), 30);
    EXPECT_EQ(state.counts.at(3), 0);
    EXPECT_EQ(h.live_time, 6000);
    EXPECT_EQ(h.real_time, 6250);
    EXPECT_EQ(to_utf8(h.start_date.view()), "05JUL021");
    EXPECT_EQ(to_utf8(h.start_time.view()), "090503");
    EXPECT_EQ(h.start_sec_tens, '0');
    EXPECT_EQ(h.start_sec_units, '3');
    EXPECT_EQ(t.energy_quad, 0.0001f);
    EXPECT_EQ(t.energy_slope, 0.5f);
    EXPECT_EQ(t.energy_zero, 2.0f);
    EXPECT_EQ(t.trailer_type, -102);
    EXPECT_EQ(t.sample_desc_len, 63);
    // Characters, not bytes, are counted: two-byte 試料 stands for two of the 63.
    EXPECT_EQ(to_utf8(t.sample_desc.view()), "試料" + std::string(59, 'a') + "Z ");
    EXPECT_EQ(state.text_buf, spectrum::TextField<64>{});
}

TEST(LaboNew, DescriptionOf64CharactersLosesItsLast) {
    test_support::TempDir dir;
    Image image = with_channels(labo_new, 0, 0);
    image.text(774, std::string(63, 'x') + "y");
    State state;
    ASSERT_TRUE(convert(dir, read_org_labo_new, image.bytes, state).complete());
    EXPECT_EQ(to_utf8(state.chn_trailer.sample_desc.view()), std::string(63, 'x'));
}

struct NewDateRow {
    const char* name;
    std::int16_t year, month, day, hour, minute, second;
    const char* date;
    const char* time;
    friend void PrintTo(const NewDateRow& row, std::ostream* out) { *out << row.name; }
};

class LaboNewDate : public ::testing::TestWithParam<NewDateRow> {};

TEST_P(LaboNewDate, BuildsDateAndTimeFromTheWords) {
    const NewDateRow& row = GetParam();
    test_support::TempDir dir;
    Image image = with_channels(labo_new, 0, 0);
    image.i16(80, row.year).i16(82, row.month).i16(84, row.day);
    image.i16(88, row.hour).i16(90, row.minute).i16(92, row.second);
    State state;
    ReaderResult result = convert(dir, read_org_labo_new, image.bytes, state);
    ASSERT_TRUE(result.complete()) << result.reason;
    EXPECT_EQ(to_utf8(state.chn_header.start_date.view()), row.date);
    EXPECT_EQ(to_utf8(state.chn_header.start_time.view()), row.time);
    EXPECT_EQ(state.chn_header.start_sec_tens, row.time[4]);
    EXPECT_EQ(state.chn_header.start_sec_units, row.time[5]);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LaboNewDate,
    ::testing::Values(
        NewDateRow{"Year2", 2, 7, 5, 9, 5, 3, "05JUL021", "090503"},
        NewDateRow{"Year99", 99, 7, 5, 9, 5, 3, "05JUL99 ", "090503"},
        NewDateRow{"Year70", 70, 12, 31, 23, 59, 59, "31DEC70 ", "235959"},
        NewDateRow{"Year69", 69, 1, 1, 0, 0, 0, "01JAN691", "000000"},
        // Four digits shift the year positions: 05/07/2002 gives 20 and no century mark.
        NewDateRow{"Year2002", 2002, 7, 5, 9, 5, 3, "05JUL20 ", "090503"}),
    [](const auto& info) { return std::string(info.param.name); });

// Words that give no date or no time leave a file that is not converted, and the reason shows
// what the words gave.
TEST(LaboNew, DateOrTimeWordsThatMakeNoSenseAreRefused) {
    struct Row {
        const char* name;
        std::int16_t year, month, day, hour, minute, second;
        const char* reason;
    };
    const Row rows[] = {
        {"month 13 has no name", 2, 13, 5, 9, 5, 3,
         "byte 80: the date year 2, month 13, day 5 is not a date"},
        {"month 0 has no name", 2, 0, 5, 9, 5, 3,
         "byte 80: the date year 2, month 0, day 5 is not a date"},
        // 123/07/02: month and year both from "/0".
        {"three-digit day", 2, 7, 123, 9, 5, 3,
         "byte 80: the date year 2, month 7, day 123 is not a date"},
        {"day 0", 2, 7, 0, 9, 5, 3, "byte 80: the date year 2, month 7, day 0 is not a date"},
        {"hour 24", 2, 7, 5, 24, 5, 3,
         "byte 88: the time hour 24, minute 5, second 3 is not a time"},
        {"minute 60", 2, 7, 5, 9, 60, 3,
         "byte 88: the time hour 9, minute 60, second 3 is not a time"},
        {"negative second", 2, 7, 5, 9, 5, -1,
         "byte 88: the time hour 9, minute 5, second -1 is not a time"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        test_support::TempDir dir;
        Image image = with_channels(labo_new, 0, 0);
        image.i16(80, row.year).i16(82, row.month).i16(84, row.day);
        image.i16(88, row.hour).i16(90, row.minute).i16(92, row.second);
        State state;
        ReaderResult result = convert(dir, read_org_labo_new, image.bytes, state);
        EXPECT_EQ(result.outcome, Outcome::read_error);
        EXPECT_EQ(result.reason, row.reason);
    }
}

TEST(LaboOld, ReadsEveryFieldOfTheHeader) {
    test_support::TempDir dir;
    Image image = with_channels(labo_old, 2, 2);
    image.text(0, shift_jis_sample + "sample 7").text(32, "02-JUL-16").text(41, "14:23:37");
    image.f32(68, 0.25f).f32(72, 0.75f).f32(76, -1.5f);
    image.i32(718, 3600).i32(722, 3601);
    // The New layout's fields hold other values; the Old reader must not look there.
    image.i16(54, 999).f32(64, 9.0f).i32(712, 7);

    State state;
    ReaderResult result = convert(dir, read_org_labo_old, image.bytes, state);
    ASSERT_TRUE(result.complete()) << result.reason;
    const auto& h = state.chn_header;
    const auto& t = state.chn_trailer;
    EXPECT_EQ(h.mca_number, 101);
    EXPECT_EQ(h.segment, 2);
    EXPECT_EQ(h.num_channels, 2);
    EXPECT_EQ(state.counts.at(1), 20);
    EXPECT_EQ(h.live_time, 180000);
    EXPECT_EQ(h.real_time, 180050);
    EXPECT_EQ(to_utf8(h.start_date.view()), "16JUL02 ");
    EXPECT_EQ(to_utf8(h.start_time.view()), "142337");
    EXPECT_EQ(h.start_sec_tens, '3');
    EXPECT_EQ(h.start_sec_units, '7');
    EXPECT_EQ(t.energy_quad, 0.25f);
    EXPECT_EQ(t.energy_slope, 0.75f);
    EXPECT_EQ(t.energy_zero, -1.5f);
    EXPECT_EQ(t.sample_desc_len, 63);
    // The 32 bytes are taken as they stand (NUL bytes included), then padded to 63.
    std::u32string desc = U"試料sample 7" + std::u32string(20, U'\0') + std::u32string(33, U' ');
    EXPECT_EQ(t.sample_desc.str(), desc);
}

TEST(LaboOld, BlankTensOfTheMinuteBecomesZero) {
    test_support::TempDir dir;
    Image image = with_channels(labo_old, 0, 0);
    image.text(32, "98/Nov/02").text(41, "07: 5: 9");
    State state;
    ASSERT_TRUE(convert(dir, read_org_labo_old, image.bytes, state).complete());
    EXPECT_EQ(to_utf8(state.chn_header.start_date.view()), "02Nov98 ");
    EXPECT_EQ(to_utf8(state.chn_header.start_time.view()), "0705 9");
    EXPECT_EQ(state.chn_header.start_sec_tens, '0');  // a blank counts 0
    EXPECT_EQ(state.chn_header.start_sec_units, '9');
}

struct OutcomeRow {
    const char* name;
    std::int16_t count;  // N in the header
    std::size_t stored;  // values present after the header
    std::int32_t live;   // seconds
    std::size_t cut;     // bytes taken off the end of the file
    Outcome outcome;
    std::string reason;  // expected within the reason; header size and offsets filled in
    friend void PrintTo(const OutcomeRow& row, std::ostream* out) { *out << row.name; }
};

class LaboOutcome : public ::testing::TestWithParam<std::tuple<Layout, OutcomeRow>> {};

TEST_P(LaboOutcome, EndsAsExpected) {
    const auto& [layout, row] = GetParam();
    test_support::TempDir dir;
    Image image = with_channels(layout, row.count, row.stored);
    image.i32(layout.live_at, row.live);
    image.bytes.resize(image.bytes.size() - row.cut);
    State state;
    ReaderResult result = convert(dir, layout.read, image.bytes, state);
    EXPECT_EQ(result.outcome, row.outcome) << result.reason;
    std::string reason = row.reason;
    for (auto [mark, value] : {std::pair{"{H}", layout.header}, {"{H+8}", layout.header + 8}})
        for (auto at = reason.find(mark); at != std::string::npos; at = reason.find(mark))
            reason.replace(at, std::string_view(mark).size(), std::to_string(value));
    EXPECT_NE(result.reason.find(reason), std::string::npos) << result.reason;
    EXPECT_EQ(result.status, 0);
    if (row.count > 17001) {
        EXPECT_EQ(state.counts.at(17000), 170010);  // what fits is stored first
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LaboOutcome,
    ::testing::Combine(
        ::testing::Values(labo_new, labo_old),
        ::testing::Values(
            OutcomeRow{"NoChannels", 0, 0, 1, 0, Outcome::complete, ""},
            OutcomeRow{"TruncatedChannels", 3, 2, 1, 0, Outcome::read_error,
                       "header announces 3 channels but the file holds 2 values"},
            OutcomeRow{"HalfAValueMissing", 3, 3, 1, 2, Outcome::read_error,
                       "header announces 3 channels but the file holds 2 values and 2 bytes"},
            OutcomeRow{"ShortHeader", 0, 0, 1, 1, Outcome::read_error,
                       "inside its {H}-byte header"},
            OutcomeRow{"NegativeCount", -5, 0, 1, 0, Outcome::read_error,
                       "channel count -5 is negative"},
            OutcomeRow{"TooManyChannels", 17002, 17002, 1, 0, Outcome::read_error,
                       "the channel count 17002 is more than the 17001 channels that fit"},
            OutcomeRow{"LiveTimeTooLong", 0, 0, 50'000'000, 0, Outcome::read_error, "live time"})),
    [](const auto& info) {
        return std::string(std::get<0>(info.param).name) + std::get<1>(info.param).name;
    });

// A failure quotes the header field as the file holds it, with its byte offset: the example of
// each layout with one field damaged.
TEST(LaboFailures, QuoteTheFieldAndItsOffset) {
    struct Row {
        Reader read;
        const char* example;
        std::size_t offset;
        std::string field;  // the bytes written there
        const char* reason;
    };
    auto le = [](std::int64_t value, std::size_t size) {
        std::string bytes(size, '\0');
        test_support::put_le(bytes, 0, value, size);
        return bytes;
    };
    const Row rows[] = {
        {read_org_labo_new, "labo_new.spc", 82, le(13, 2),
         "byte 80: the date year 2, month 13, day 5 is not a date"},
        {read_org_labo_new, "labo_new.spc", 712, le(-5, 4),
         "byte 712: the live time -5 s is negative"},
        {read_org_labo_new, "labo_new.spc", 54, le(-2, 2),
         "byte 54: the channel count -2 is negative"},
        {read_org_labo_old, "labo_old.spc", 32, "02-JUX-16",
         "byte 32: the date '02-JUX-16' is not YY-MMM-DD"},
        {read_org_labo_old, "labo_old.spc", 41,
         std::string("14:\0"
                     "3:37",
                     8),
         "byte 41: the time '14:\\x003:37' is not hh:mm:ss"},
        {read_org_labo_old, "labo_old.spc", 722, le(50'000'000, 4),
         "byte 722: the real time 50000000 s is out of range (at most 42949672.94 s)"},
        {read_org_labo_old, "labo_old.spc", 56, le(513, 2),
         "byte 56: a Labo(Old) header announces 513 channels but the file holds 512 values"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.reason);
        test_support::TempDir dir;
        std::string bytes = test_support::example_bytes(row.example);
        State state;
        ASSERT_TRUE(convert(dir, row.read, bytes, state).complete());
        bytes.replace(row.offset, row.field.size(), row.field);
        const ReaderResult result = convert(dir, row.read, bytes, state);
        EXPECT_EQ(result.outcome, Outcome::read_error);
        EXPECT_EQ(result.reason, row.reason);
    }
}

TEST(LaboMissing, FileAndFolderAreReported) {
    test_support::TempDir dir;
    for (Reader read : {read_org_labo_new, read_org_labo_old}) {
        State state;
        state.org_path = dir.dir() + "absent.dat";
        ReaderResult result = read(state);
        EXPECT_EQ(result.outcome, Outcome::file_not_found);
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.reason, "File does not exist.");
        state.org_path = dir.dir() + "no folder/absent.dat";
        result = read(state);
        EXPECT_EQ(result.outcome, Outcome::file_not_found);
        EXPECT_EQ(result.status, -1);
    }
}

}  // namespace
}  // namespace brandel::readers
