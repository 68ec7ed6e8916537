#include "formats/spectrum_values.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "sample_record.hpp"
#include "spectrum/chn_file.hpp"
#include "temp_dir.hpp"

namespace brandel::formats {
namespace {

using test_support::SampleRecord;

StartDateTime start(const std::u32string& date, const std::u32string& time) {
    spectrum::ChnHeader h;
    h.start_date.assign(date);
    h.start_time.assign(time);
    return start_of(h);
}

TEST(StartOf, CenturyMarkAndTwoCharacterNumbers) {
    EXPECT_EQ(start(U"31DEC99 ", U"235959"), (StartDateTime{1999, 12, 31, 23, 59, 59}));
    EXPECT_EQ(start(U"01JAN001", U"000000"), (StartDateTime{2000, 1, 1, 0, 0, 0}));
    EXPECT_EQ(start(U" 5jul031", U" 9 5 7"), (StartDateTime{2003, 7, 5, 9, 5, 7}));
    EXPECT_EQ(start(U"01Mar002", U"120000"), (StartDateTime{2100, 3, 1, 12, 0, 0}));
    EXPECT_EQ(start(U"29FEB001", U"120000"), (StartDateTime{2000, 2, 29, 12, 0, 0}));
}

TEST(StartOf, RefusesWhatIsNoDayOrTime) {
    const std::pair<std::u32string, std::u32string> bad_dates[] = {
        {U"29FEB00 ", U"120000"},  // 1900 was no leap year
        {U"31APR03 ", U"120000"}, {U"00JAN031", U"120000"},
        {U"15JUX031", U"120000"}, {U"15JUL03-", U"120000"},  // a mark of the 1800s cut to its field
        {U"15JUL03x", U"120000"},
    };
    for (const auto& [date, time] : bad_dates) {
        try {
            start(date, time);
            ADD_FAILURE() << "took a date of " << spectrum::to_utf8(date);
        } catch (const std::exception& e) {
            EXPECT_NE(std::string(e.what()).find("is not a day of the calendar"),
                      std::string::npos);
        }
    }
    for (const std::u32string time : {U"240000", U"126000", U"1200 x", U"12"}) {
        try {
            start(U"15JUL031", time);
            ADD_FAILURE() << "took a time of " << spectrum::to_utf8(time);
        } catch (const std::exception& e) {
            EXPECT_NE(std::string(e.what()).find("is not a time of the clock"), std::string::npos);
        }
    }
}

TEST(Description, IsTheTextTheChnTrailerCarries) {
    spectrum::ChnTrailer t;
    EXPECT_EQ(description_of(t), "") << "a field never set is NUL bytes";
    t.sample_desc.assign(U"  Co-60 \r\n check   ");
    EXPECT_EQ(description_of(t), "  Co-60    check");
    t.sample_desc.assign(std::u32string(U"ab") + U'\0' + U"cd");
    EXPECT_EQ(description_of(t), "ab");
    t.sample_desc.assign(U"Ünïcode ✓ 海");
    EXPECT_EQ(description_of(t), "?n?code ? 海") << "what code page 932 lacks is a '?' in CHN";
    t.sample_desc.assign(std::u32string(40, U'海'));
    EXPECT_EQ(description_of(t), spectrum::to_utf8(std::u32string(31, U'海')));

    // The CHN file read back gives the same description.
    SampleRecord r;
    r.sample = U" 海水試料 & <NaI> \t";
    auto state = r.state();
    test_support::TempDir dir;
    state->org_path = dir.write("x.chn", spectrum::chn_bytes(*state));
    spectrum::State back;
    back.org_path = state->org_path;
    spectrum::read_chn(back);
    EXPECT_EQ(description_of(back.chn_trailer), description_of(state->chn_trailer));
    EXPECT_EQ(description_of(back.chn_trailer), " 海水試料 & <NaI>");
}

TEST(Calibration, OnlyTermsThatGiveEnergiesAreOne) {
    EXPECT_FALSE(has_calibration(0, 1, 0)) << "what readers store when the source has none";
    EXPECT_FALSE(has_calibration(5, 0, 0));
    EXPECT_FALSE(has_calibration(0, std::numeric_limits<double>::quiet_NaN(), 0));
    EXPECT_FALSE(has_calibration(std::numeric_limits<double>::infinity(), 1, 0));
    EXPECT_TRUE(has_calibration(0, 1, 1e-9));
    EXPECT_TRUE(has_calibration(-0.5, 1, 0));
    EXPECT_TRUE(has_calibration(0, 0.999999f, 0));
    EXPECT_TRUE(has_calibration(0, 0, 1e-6));
}

TEST(NumberText, SecondsAreExactAndDoublesReadBack) {
    std::string s;
    for (std::int32_t ticks : {90767, 90765, 90750, 0, 1, 2147483647, -3}) {
        append_seconds(s, ticks);
        s += ' ';
    }
    EXPECT_EQ(s, "1815.34 1815.3 1815 0 0.02 42949672.94 -0.06 ");
    for (float f : {0.1f, 1.2e-05f, -1.25f, 3.4e38f, 1e-45f}) {
        std::string text;
        append_double(text, f);
        double back = 0;
        ASSERT_TRUE(parse_number(text, back)) << text;
        EXPECT_EQ(back, static_cast<double>(f)) << text;
    }
    double v = 0;
    for (const char* bad : {"", "+", "nan", "inf", "-inf", "1e", "1 2", "0x10", "1,5", "1e999"})
        EXPECT_FALSE(parse_number(bad, v)) << bad;
    EXPECT_TRUE(parse_number("+1.5E+000", v));
    EXPECT_EQ(v, 1.5);
    EXPECT_TRUE(parse_number("-.5", v));
    EXPECT_EQ(v, -0.5);
}

TEST(PutValues, FillsTheRecordAsAConversionDoes) {
    SampleRecord r;
    r.start_date = U"31DEC99 ";
    const auto state = r.state();
    const SpectrumValues v = values_of(*state);
    spectrum::State filled;
    filled.counts.set(7, 99);  // from an earlier reading
    put_values(v, filled);
    EXPECT_EQ(values_of(filled), v);
    EXPECT_EQ(filled.counts.at(7), 0);
    EXPECT_EQ(filled.chn_header.live_time, 90767);
    EXPECT_EQ(spectrum::to_utf8(filled.chn_header.start_date.view()), "31DEC99 ");
    EXPECT_EQ(filled.chn_header.start_sec_tens, '2');
    EXPECT_EQ(filled.chn_header.start_sec_units, '0');
    EXPECT_EQ(filled.chn_trailer.trailer_type, -102);
    // The layout's marks are no values of the output formats; the rest is the CHN it came from.
    filled.chn_header.mca_number = state->chn_header.mca_number;
    filled.chn_header.segment = state->chn_header.segment;
    EXPECT_EQ(spectrum::chn_bytes(filled), spectrum::chn_bytes(*state));

    SpectrumValues old = v;
    old.start.year = 1899;
    EXPECT_ANY_THROW(put_values(old, filled));
    SpectrumValues many = v;
    many.counts.assign(17002, 1);
    EXPECT_ANY_THROW(put_values(many, filled));
}

}  // namespace
}  // namespace brandel::formats
