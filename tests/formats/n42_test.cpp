#include "formats/n42.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "n42_schema.hpp"
#include "sample_record.hpp"

namespace brandel::formats {
namespace {

using test_support::SampleRecord;

// The text between a start tag of `element` and its end tag.
std::string inside(const std::string& document, const std::string& element) {
    const std::size_t start = document.find("<" + element);
    const std::size_t open_end = document.find('>', start);
    const std::size_t end = document.find("</" + element + ">", open_end);
    if (start == std::string::npos || end == std::string::npos)
        return "(no " + element + ")";
    return document.substr(open_end + 1, end - open_end - 1);
}

TEST(N42Writer, CarriesTheRecordsValues) {
    SampleRecord r;
    const std::string doc = n42_bytes(*r.state());
    EXPECT_TRUE(
        doc.starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<RadInstrumentData "
                        "xmlns=\"http://physics.nist.gov/N42/2011/N42\">"));
    EXPECT_EQ(inside(doc, "CoefficientValues"), "-1.25 0.5 1.2000000424450263e-05");
    EXPECT_EQ(inside(doc, "Remark"), "Co-60 check");
    EXPECT_EQ(inside(doc, "StartDateTime"), "2003-07-15T09:41:20");
    EXPECT_EQ(inside(doc, "RealTimeDuration"), "PT1815.48S");
    EXPECT_EQ(inside(doc, "LiveTimeDuration"), "PT1815.34S");
    EXPECT_EQ(inside(doc, "ChannelData"), "0 5 12");
    EXPECT_VALID_N42(doc);
}

TEST(N42Writer, EscapesTheDescriptionAndStaysValid) {
    SampleRecord r;
    r.sample = U" 海水 & <試料> \"a\" 'b'\x01\x1B\t";
    const std::string doc = n42_bytes(*r.state());
    EXPECT_EQ(inside(doc, "Remark"), " 海水 &amp; &lt;試料&gt; &quot;a&quot; &apos;b&apos;")
        << "control characters become blanks, as in the CHN text, and trailing blanks go";
    EXPECT_VALID_N42(doc);
    const FormatReading back = read_n42(doc);
    ASSERT_TRUE(back.complete) << back.reason;
    EXPECT_EQ(back.values.description, " 海水 & <試料> \"a\" 'b'");

    r.sample = U"";
    EXPECT_EQ(n42_bytes(*r.state()).find("<Remark>"), std::string::npos);
}

TEST(N42Writer, EdgesOfTheRecordValidate) {
    SampleRecord r;
    r.counts = {};
    r.live_ticks = 0;
    r.start_date = U"31DEC99 ";
    r.start_time = U"235959";
    std::string doc = n42_bytes(*r.state());
    EXPECT_EQ(inside(doc, "ChannelData"), "");
    EXPECT_EQ(inside(doc, "StartDateTime"), "1999-12-31T23:59:59");
    EXPECT_EQ(inside(doc, "LiveTimeDuration"), "PT0S");
    EXPECT_VALID_N42(doc);

    r.counts.assign(17001, 0);
    r.counts.front() = std::numeric_limits<std::int32_t>::min();
    r.counts.back() = std::numeric_limits<std::int32_t>::max();
    r.start_date = U"29FEB001";
    r.energy_zero = 0, r.energy_slope = 1, r.energy_quad = 0;
    doc = n42_bytes(*r.state());
    EXPECT_EQ(inside(doc, "StartDateTime"), "2000-02-29T23:59:59");
    EXPECT_EQ(inside(doc, "CoefficientValues"), "0 1 0");
    EXPECT_VALID_N42(doc);
    const FormatReading back = read_n42(doc);
    ASSERT_TRUE(back.complete) << back.reason;
    EXPECT_EQ(back.values, values_of(*r.state()));
}

TEST(N42Writer, RefusesWhatTheSchemaRefuses) {
    SampleRecord r;
    r.real_ticks = 0;
    try {
        n42_bytes(*r.state());
        ADD_FAILURE() << "a real time of 0 was written";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "the real time is 0 s, and an N42 file needs a real time above 0");
    }
    r = SampleRecord{};
    r.start_date = U"29FEB00 ";  // 1900 was no leap year
    EXPECT_ANY_THROW(n42_bytes(*r.state()));
    r = SampleRecord{};
    r.energy_quad = std::numeric_limits<float>::infinity();
    EXPECT_ANY_THROW(n42_bytes(*r.state()));
}

TEST(N42Schema, RefusesAnInvalidDocument) {
    SampleRecord r;
    std::string doc = n42_bytes(*r.state());
    doc.replace(doc.find("PT1815.48S"), 10, "1815.48");
    const std::optional<std::string> errors = test_support::n42_schema_errors(doc);
    if (!errors)
        GTEST_SKIP() << "no N42 schema or no xmllint here";
    EXPECT_NE(errors->find("RealTimeDuration"), std::string::npos) << *errors;
}

// A document as other programs write it: a prefix on every name, comments, several remarks, a
// zone on the start, durations in hours and minutes, counts with zeros counted.
TEST(N42Reader, ReadsADocumentOfAnotherProgram) {
    const std::string doc =
        "<?xml version=\"1.0\"?>\n"
        "<!-- written by a detector -->\n"
        "<n42:RadInstrumentData xmlns:n42=\"http://physics.nist.gov/N42/2011/N42\" "
        "n42DocUUID=\"d72b7fa7-4a20-43d4-b1b2-7e3b8c5a9d21\">\n"
        "  <n42:RadInstrumentInformation id=\"RadInstrumentInformation-1\">\n"
        "    <n42:RadInstrumentManufacturerName>ORTEC</n42:RadInstrumentManufacturerName>\n"
        "  </n42:RadInstrumentInformation>\n"
        "  <n42:EnergyCalibration id='ec2'>\n"
        "    <n42:CoefficientValues>9 9 9</n42:CoefficientValues>\n"
        "  </n42:EnergyCalibration>\n"
        "  <n42:EnergyCalibration id='ec1'>\n"
        "    <n42:CoefficientValues> -0.5\n 0.25 1e-6 </n42:CoefficientValues>\n"
        "  </n42:EnergyCalibration>\n"
        "  <n42:RadMeasurement id=\"background\"><n42:Remark>no spectrum</n42:Remark>"
        "</n42:RadMeasurement>\n"
        "  <n42:RadMeasurement id=\"m1\">\n"
        "    <n42:Remark>Soil &amp; <![CDATA[<core> 3]]>&#x8A66;</n42:Remark>\n"
        "    <n42:Remark>second remark</n42:Remark>\n"
        "    <n42:MeasurementClassCode>Foreground</n42:MeasurementClassCode>\n"
        "    <n42:StartDateTime>2025-11-03T08:15:30.250+09:00</n42:StartDateTime>\n"
        "    <n42:RealTimeDuration>PT1H0M2.5S</n42:RealTimeDuration>\n"
        "    <n42:Spectrum id=\"s1\" energyCalibrationReference=\"ec1\">\n"
        "      <n42:LiveTimeDuration>P0Y0M0DT0H59M30S</n42:LiveTimeDuration>\n"
        "      <n42:ChannelData compressionCode=\"CountedZeroes\">\n"
        "        0 3 7 12.0 0 2 5\n"
        "      </n42:ChannelData>\n"
        "    </n42:Spectrum>\n"
        "  </n42:RadMeasurement>\n"
        "</n42:RadInstrumentData>\n";
    const FormatReading r = read_n42(doc);
    ASSERT_TRUE(r.complete) << r.reason;
    EXPECT_EQ(r.values.counts, (std::vector<std::int32_t>{0, 0, 0, 7, 12, 0, 0, 5}));
    EXPECT_EQ(r.values.description, "Soil & <core> 3試");
    EXPECT_EQ(r.values.start, (StartDateTime{2025, 11, 3, 8, 15, 30}));
    EXPECT_EQ(r.values.real_seconds, 3602.5);
    EXPECT_EQ(r.values.live_seconds, 3570);
    EXPECT_EQ(r.values.energy_zero, -0.5);
    EXPECT_EQ(r.values.energy_slope, 0.25);
    EXPECT_EQ(r.values.energy_quad, 1e-6);
}

TEST(N42Reader, SaysWhyADocumentDoesNotRead) {
    SampleRecord r;
    const std::string good = n42_bytes(*r.state());
    auto edited = [&](const std::string& from, const std::string& to) {
        std::string doc = good;
        doc.replace(doc.find(from), from.size(), to);
        return doc;
    };
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"<a><b></a>", "line 1 of the XML: the end tag </a> closes <b>"},
        {"<?xml version=\"1.0\"?>\n<N42InstrumentData/>",
         "the root element is <N42InstrumentData>, not the <RadInstrumentData> of N42-2012"},
        {edited("</RadInstrumentData>", ""),
         "line 32 of the XML: the element <RadInstrumentData> is not closed"},
        {edited("0 5 12", "0 5 x"), "<ChannelData> on line 28 holds 'x', which is not a count"},
        {edited("compressionCode=\"None\"", "compressionCode=\"Gzip\""),
         "<ChannelData> on line 28 holds 'Gzip', which is not a compression this program reads"},
        {edited("PT1815.48S", "P1MT1815.48S"),
         "<RealTimeDuration> on line 25 holds 'P1MT1815.48S', which is not a duration without "
         "years or months"},
        {edited("2003-07-15", "2003-02-30"),
         "<StartDateTime> on line 24 holds '2003-02-30T09:41:20', which is not a day of the "
         "calendar and a time of the clock"},
        {edited("energyCalibrationReference=\"energy\"", "energyCalibrationReference=\"e2\""),
         "<Spectrum> on line 26 refers to the energy calibration 'e2', which the document does "
         "not hold"},
        {edited("<LiveTimeDuration>PT1815.34S</LiveTimeDuration>", ""),
         "<Spectrum> on line 26 has no <LiveTimeDuration>"},
        {edited("&amp;", "&nbsp;"),
         "line 3 of the XML: the reference &nbsp; stands for no character"},
    };
    for (const auto& [doc, reason] : cases) {
        const FormatReading read = read_n42(doc);
        EXPECT_FALSE(read.complete) << doc;
        EXPECT_EQ(read.reason, reason);
    }
}

}  // namespace
}  // namespace brandel::formats
