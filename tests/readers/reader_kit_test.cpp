#include "readers/reader_kit.hpp"

#include <gtest/gtest.h>

#include <string>

#include "spectrum/errors.hpp"
#include "spectrum/state.hpp"
#include "temp_dir.hpp"

namespace brandel::readers {
namespace {

using spectrum::ChnHeader;

ChnHeader header_of(std::u32string_view date, std::u32string_view time) {
    ChnHeader h;
    h.start_date.assign(date);
    h.start_time.assign(time);
    h.live_time = 50;
    h.real_time = 50;
    return h;
}

// The reason check_reading gives, empty when the reading makes sense.
std::string refusal(const ChnHeader& h) {
    try {
        check_reading(h);
        return {};
    } catch (const spectrum::SpectrumError& e) {
        return e.what();
    }
}

TEST(CheckReading, DatesAndTimesAsTheRecordHoldsThem) {
    struct Row {
        std::u32string date, time;
        std::string reason;
    };
    const Row rows[] = {
        {U"15JUL031", U"094120", ""},
        {U" 5Jul031", U"094100", ""},  // a one-digit day behind a blank; month in any case
        {U"02nov98 ", U"0705 9", ""},  // a blank before a digit is a number too
        {U"31DEC99 ", U"235959", ""},
        {U"01JAN00X", U"000000", ""},  // the century mark is not a number of the date
        {U"00JUL031", U"094120", "start date '00JUL031' is not a date"},
        {U"32JUL031", U"094120", "start date '32JUL031' is not a date"},
        {U"5 JUL031", U"094120", "start date '5 JUL031' is not a date"},
        {U"15JLY031", U"094120", "start date '15JLY031' is not a date"},
        {U"15JUL0 1", U"094120", "start date '15JUL0 1' is not a date"},
        {U"  NB1", U"094120", "start date '  NB1' is not a date"},
        {U"15JUL031", U"240000", "start time '240000' is not a time"},
        {U"15JUL031", U"096000", "start time '096000' is not a time"},
        {U"15JUL031", U"094160", "start time '094160' is not a time"},
        {U"15JUL031", U"petr00", "start time 'petr00' is not a time"},
        {U"15JUL031", U"9 4120", "start time '9 4120' is not a time"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(spectrum::to_utf8(row.date + U"|" + row.time));
        EXPECT_EQ(refusal(header_of(row.date, row.time)), row.reason);
    }
}

TEST(CheckReading, FieldsNeverSetAndNegativeTimes) {
    ChnHeader never_set;  // text fields of NUL characters
    EXPECT_EQ(refusal(never_set),
              "start date '\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00' is not a date");

    ChnHeader h = header_of(U"15JUL031", U"094120");
    h.live_time = 0;
    h.real_time = 0;
    EXPECT_EQ(refusal(h), "") << "a time of 0 is a time";
    h.live_time = -25;
    EXPECT_EQ(refusal(h), "live time -0.50 s is negative");
    h.live_time = 0;
    h.real_time = -100;
    EXPECT_EQ(refusal(h), "real time -2.00 s is negative");
}

// A layout for the frame's own tests: it stores what its bytes say, and its shape wants an "S".
void store_date(spectrum::State& state, std::string_view bytes) {
    state.chn_header.start_date.assign(spectrum::widen(bytes.substr(0, 8)));
    state.chn_header.start_time.assign(U"094120");
}
void starts_with_s(std::string_view bytes) {
    if (!bytes.starts_with("S"))
        spectrum::raise(spectrum::ErrorKind::unreadable, "no S");
}
const ReaderLayout test_layout{{7, 9}, store_date, starts_with_s};

TEST(ReaderFrame, ChecksTheReadingAndTheShapeAfterTheSteps) {
    spectrum::State state;
    ReaderResult r = read_source(state, test_layout, "15JUL031 S");
    EXPECT_EQ(r.reason, "no S") << "the shape is part of a complete reading";
    r = read_source(state, test_layout, "S5JUL031");
    EXPECT_EQ(r.reason, "start date 'S5JUL031' is not a date");
    EXPECT_EQ(state.chn_header.mca_number, 7) << "the entry defaults come first";
    EXPECT_EQ(r.outcome, Outcome::read_error);
    try {
        require_text_shape(std::string_view("S\0", 2));
        ADD_FAILURE() << "a NUL byte passed";
    } catch (const spectrum::SpectrumError& e) {
        EXPECT_STREQ(e.what(), "byte 1 is a NUL byte, which no text file holds");
    }
    EXPECT_NO_THROW(require_text_shape(std::string(1024, 'x') + '\0'))
        << "only the first kilobyte is looked at";
}

TEST(ReaderFrame, RunReaderHandsOverTheBytesItLoaded) {
    test_support::TempDir dir;
    spectrum::State state;
    state.org_path = dir.write("a.txt", "not a date");
    LoadedSource source;
    ReaderResult r = run_reader(state, test_layout, &source);
    EXPECT_FALSE(r.complete());
    EXPECT_TRUE(source.loaded);
    EXPECT_EQ(source.bytes, "not a date");

    state.org_path = dir.dir() + "absent/a.txt";
    r = run_reader(state, test_layout, &source);
    EXPECT_EQ(r.outcome, Outcome::file_not_found);
    EXPECT_EQ(r.status, -1);
    EXPECT_FALSE(source.loaded);
    EXPECT_EQ(source.failure.reason, "File does not exist.");
}

}  // namespace
}  // namespace brandel::readers
