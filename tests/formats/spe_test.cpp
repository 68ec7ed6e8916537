#include "formats/spe.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sample_record.hpp"
#include "spectrum/codepage.hpp"

namespace brandel::formats {
namespace {

using test_support::SampleRecord;

TEST(SpeWriter, WritesTheSectionsOfAnMcaProgramsFile) {
    SampleRecord r;
    EXPECT_EQ(spe_bytes(*r.state()),
              "$SPEC_ID:\r\n"
              "Co-60 check\r\n"
              "$SPEC_REM:\r\n"
              "DETDESC# MCA 301, segment 1\r\n"
              "AP# Brandel & Korvin\r\n"
              "$DATE_MEA:\r\n"
              "07/15/2003 09:41:20\r\n"
              "$MEAS_TIM:\r\n"
              "1815.34 1815.48\r\n"
              "$DATA:\r\n"
              "0 2\r\n"
              "       0\r\n"
              "       5\r\n"
              "      12\r\n"
              "$ENER_FIT:\r\n"
              "-1.25 0.5\r\n"
              "$MCA_CAL:\r\n"
              "3\r\n"
              "-1.25 0.5 1.2000000424450263e-05 keV\r\n");
}

TEST(SpeWriter, DescriptionIsTheCodePage932TextOfTheChnTrailer) {
    SampleRecord r;
    r.sample = U"海水 & <試料>\n1999";
    const std::string bytes = spe_bytes(*r.state());
    EXPECT_NE(bytes.find("$SPEC_ID:\r\n" + spectrum::encode_cp932(U"海水 & <試料> 1999", 18) +
                         "\r\n$SPEC_REM:"),
              std::string::npos)
        << "a line end inside the description would start a line of its own";
    // Sixty-three bytes hold 31 double-byte characters, not 63: the CHN file holds no more.
    r.sample = std::u32string(40, U'試');
    EXPECT_NE(
        spe_bytes(*r.state())
            .find("$SPEC_ID:\r\n" + spectrum::encode_cp932(std::u32string(31, U'試'), 62) + "\r\n"),
        std::string::npos);
}

TEST(SpeWriter, CenturyMarkGivesTheYear) {
    SampleRecord r;
    r.start_date = U"31DEC99 ";
    r.start_time = U"235959";
    EXPECT_NE(spe_bytes(*r.state()).find("$DATE_MEA:\r\n12/31/1999 23:59:59\r\n"),
              std::string::npos);
    r.start_date = U"01Jan001";
    r.start_time = U" 00000";
    EXPECT_NE(spe_bytes(*r.state()).find("$DATE_MEA:\r\n01/01/2000 00:00:00\r\n"),
              std::string::npos);
}

TEST(SpeWriter, EmptyAndFullSpectraAndExtremeCounts) {
    SampleRecord r;
    r.counts = {};
    EXPECT_NE(spe_bytes(*r.state()).find("$DATA:\r\n0 -1\r\n$ENER_FIT:"), std::string::npos);
    r.counts = {-2147483647 - 1, 2147483647, -5};
    EXPECT_NE(spe_bytes(*r.state()).find("0 2\r\n-2147483648\r\n2147483647\r\n      -5\r\n"),
              std::string::npos);
    r.counts.assign(17001, 7);
    const FormatReading back = read_spe(spe_bytes(*r.state()));
    ASSERT_TRUE(back.complete) << back.reason;
    EXPECT_EQ(back.values.counts, r.counts);
}

TEST(SpeWriter, RefusesWhatNoDateOrReaderCanHold) {
    SampleRecord r;
    r.start_date = U"31FEB03 ";
    EXPECT_THROW(
        {
            try {
                spe_bytes(*r.state());
            } catch (const std::exception& e) {
                EXPECT_STREQ(e.what(), "the start date '31FEB03' is not a day of the calendar");
                throw;
            }
        },
        std::exception);
    r = SampleRecord{};
    r.start_time = U"246000";
    EXPECT_ANY_THROW(spe_bytes(*r.state()));
    r = SampleRecord{};
    r.energy_slope = std::numeric_limits<float>::quiet_NaN();
    EXPECT_ANY_THROW(spe_bytes(*r.state()));
}

TEST(SpeReader, ReadsWhatItWrites) {
    for (const std::u32string& sample : {std::u32string(U"海水 &<> \"'"), std::u32string()}) {
        SampleRecord r;
        r.sample = sample;
        r.energy_zero = 0, r.energy_slope = 1, r.energy_quad = 0;
        const auto state = r.state();
        const FormatReading back = read_spe(spe_bytes(*state));
        ASSERT_TRUE(back.complete) << back.reason;
        EXPECT_EQ(back.values, values_of(*state));
    }
}

// A file as ORTEC's programs write it, line by line: blank-padded counts, the calibration in
// exponent notation, sections this reader passes over.
TEST(SpeReader, ReadsAFileOfAnMcaProgram) {
    const std::string file =
        "$SPEC_ID:\r\n"
        "No sample description was entered.\r\n"
        "$SPEC_REM:\r\n"
        "DET# 1\r\n"
        "DETDESC# MCB 129\r\n"
        "AP# Maestro Version 6.08\r\n"
        "$DATE_MEA:\r\n"
        "03/15/2011 14:23:05\r\n"
        "$MEAS_TIM:\r\n"
        "300 302\r\n"
        "$DATA:\r\n"
        "0 3\r\n"
        "       0\r\n"
        "      17\r\n"
        "    1024\r\n"
        "       3\r\n"
        "$ROI:\r\n"
        "0\r\n"
        "$PRESETS:\r\n"
        "None\r\n"
        "0\r\n"
        "0\r\n"
        "$ENER_FIT:\r\n"
        "-0.391460 0.182044\r\n"
        "$MCA_CAL:\r\n"
        "3\r\n"
        "-3.914600E-001 1.820440E-001 2.000000E-008 keV\r\n"
        "$SHAPE_CAL:\r\n"
        "3\r\n"
        "1.0E+000 0.0E+000 0.0E+000\r\n";
    const FormatReading r = read_spe(file);
    ASSERT_TRUE(r.complete) << r.reason;
    EXPECT_EQ(r.values.description, "No sample description was entered.");
    EXPECT_EQ(r.values.start, (StartDateTime{2011, 3, 15, 14, 23, 5}));
    EXPECT_EQ(r.values.live_seconds, 300);
    EXPECT_EQ(r.values.real_seconds, 302);
    EXPECT_EQ(r.values.counts, (std::vector<std::int32_t>{0, 17, 1024, 3}));
    EXPECT_EQ(r.values.energy_zero, -0.39146);
    EXPECT_EQ(r.values.energy_slope, 0.182044);
    EXPECT_EQ(r.values.energy_quad, 2e-08);
}

TEST(SpeReader, TakesTheLayoutsOfOtherPrograms) {
    // LF line ends, counts several to a line, only a linear fit, a description in UTF-8.
    FormatReading r = read_spe(
        "\xEF\xBB\xBF$SPEC_ID:\n\xE8\xA9\xA6\xE6\x96\x99\n$DATE_MEA:\n12/31/1999 23:59\n"
        "$MEAS_TIM:\n10.5 11\n$DATA:\n0 4\n1 2 3\n4\t5\n$ENER_FIT:\n1.5 0.25\n");
    ASSERT_TRUE(r.complete) << r.reason;
    EXPECT_EQ(r.values.description, "試料");
    EXPECT_EQ(r.values.start, (StartDateTime{1999, 12, 31, 23, 59, 0}));
    EXPECT_EQ(r.values.counts, (std::vector<std::int32_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(r.values.energy_zero, 1.5);
    EXPECT_EQ(r.values.energy_slope, 0.25);
    EXPECT_EQ(r.values.energy_quad, 0);

    // CR line ends, a calibration in MeV, a code page 932 description; no calibration at all.
    r = read_spe("$SPEC_ID:\r" + spectrum::encode_cp932(U"海水", 4) +
                 "\r$DATE_MEA:\r01/02/2000 03:04:05\r$MEAS_TIM:\r1 2\r$DATA:\r0 0\r9\r"
                 "$MCA_CAL:\r2\r0.001 0.0005 MeV\r");
    ASSERT_TRUE(r.complete) << r.reason;
    EXPECT_EQ(r.values.description, "海水");
    EXPECT_EQ(r.values.energy_zero, 1);
    EXPECT_EQ(r.values.energy_slope, 0.5);
    r = read_spe(
        "$SPEC_ID:\r\n\r\n$DATE_MEA:\r\n01/02/2000 03:04:05\r\n$MEAS_TIM:\r\n1 2\r\n"
        "$DATA:\r\n0 0\r\n9\r\n");
    ASSERT_TRUE(r.complete) << r.reason;
    EXPECT_EQ(r.values.description, "");
    EXPECT_EQ(r.values.energy_zero, 0);
    EXPECT_EQ(r.values.energy_slope, 1);
}

TEST(SpeReader, SaysWhatItFoundWhereAFileDoesNotRead) {
    const std::string head =
        "$SPEC_ID:\r\ns\r\n$DATE_MEA:\r\n07/15/2003 09:41:20\r\n$MEAS_TIM:\r\n1 2\r\n";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"S0123 report\r\n", "line 1 'S0123 report' is no $SECTION: line, so this is no SPE file"},
        {head, "the file has no $DATA: section"},
        {head + "$DATA:\r\n0 2\r\n1\r\n2x\r\n3\r\n",
         "line 10 '2x' holds '2x', which is no count of 32 bits"},
        {head + "$DATA:\r\n0 2\r\n1\r\n2\r\n",
         "$DATA: holds 2 of the 3 counts its first line names"},
        {head + "$DATA:\r\n0 1\r\n1\r\n2\r\n3\r\n",
         "line 11 '3' holds more counts than the 2 that the channel range names"},
        {head + "$DATA:\r\n0 17001\r\n",
         "line 8 '0 17001' names 17002 channels, at most 17001 fit"},
        {head + "$DATA:\r\n5 6\r\n1\r\n2\r\n",
         "line 8 '5 6' is not the channel range \"0 N-1\" of $DATA:"},
        {head + "$DATA:\r\n0 0\r\n4294967296\r\n",
         "line 9 '4294967296' holds '4294967296', which is no count of 32 bits"},
        {"$SPEC_ID:\r\ns\r\n$DATE_MEA:\r\n02/29/2003 09:41:20\r\n",
         "line 4 '02/29/2003 09:41:20' is not a date and time mm/dd/yyyy hh:mm:ss"},
        {"$SPEC_ID:\r\ns\r\n$DATE_MEA:\r\n2003-07-15 09:41:20\r\n",
         "line 4 '2003-07-15 09:41:20' is not a date and time mm/dd/yyyy hh:mm:ss"},
        {"$SPEC_ID:\r\ns\r\n$DATE_MEA:\r\n07/15/2003 09:41:20\r\n$MEAS_TIM:\r\n-1 2\r\n",
         "line 6 '-1 2' is not the live and real time of $MEAS_TIM:"},
        {head + "$DATA:\r\n0 0\r\n1\r\n$MCA_CAL:\r\n3\r\n1 2 3 eV\r\n",
         "line 12 '1 2 3 eV' gives the energy in 'eV', not keV or MeV"},
    };
    for (const auto& [file, reason] : cases) {
        const FormatReading r = read_spe(file);
        EXPECT_FALSE(r.complete) << file;
        EXPECT_EQ(r.reason, reason) << file;
    }
}

}  // namespace
}  // namespace brandel::formats
