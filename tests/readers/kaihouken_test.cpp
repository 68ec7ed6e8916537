#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "example_file.hpp"
#include "readers/kaihouken.hpp"
#include "spectrum/text.hpp"
#include "temp_dir.hpp"

namespace brandel::readers {
namespace {

using spectrum::to_utf8;

constexpr std::string_view dat_header = "03/07/1509:41:20";
constexpr std::string_view txt_header = "2003/07/15 09:41:20";

/// A dat data line: six columns of line number, then each value right-justified in 8 columns.
std::string dat_line(const std::vector<std::string>& values) {
    std::string line = "000001";
    for (const std::string& v : values)
        line += std::string(8 - v.size(), ' ') + v;
    return line;
}

/// `lines` lines joined by `end`, each line ended.
std::string file_of(const std::vector<std::string>& lines, std::string_view end = "\r\n") {
    std::string out;
    for (const std::string& l : lines)
        (out += l) += end;
    return out;
}

std::string repeated(std::string_view head, std::string_view line, int times) {
    std::string out(head);
    out += "\r\n";
    for (int i = 0; i < times; ++i)
        (out += line) += "\r\n";
    return out;
}

class KaihoukenTest : public ::testing::Test {
  protected:
    ReaderResult convert(Reader reader, std::string_view bytes) {
        state->org_path = dir.write("source", bytes);
        return reader(*state);
    }
    std::string desc() const { return to_utf8(state->chn_trailer.sample_desc.view()); }
    std::string date() const { return to_utf8(state->chn_header.start_date.view()); }
    std::string time() const { return to_utf8(state->chn_header.start_time.view()); }
    std::int32_t count(int i) const { return state->counts.at(i); }

    brandel::test_support::TempDir dir;
    std::unique_ptr<spectrum::State> state = std::make_unique<spectrum::State>();
};

TEST_F(KaihoukenTest, FirstLineGivesDateTimeAndDescription) {
    struct Row {
        const char* name;
        Reader reader;
        std::string first_line;
        const char* date;
        const char* time;
        char sec_tens, sec_units;
        const char* desc;
    };
    const std::string long_line = "03/07/1509:41:20 " + std::string(40, 'x');
    const Row rows[] = {
        {"dat", read_org_kaihouken_dat, std::string(dat_header), "15JUL031", "094120", '2', '0',
         "JAERI開放研file(dat) Date:03/07/1509:41:20"},
        {"csv", read_org_kaihouken_csv, std::string(dat_header), "15JUL031", "094120", '2', '0',
         "JAERI開放研file(csv) Date:03/07/1509:41:20"},
        {"txt", read_org_kaihouken_txt, std::string(txt_header), "15JUL031", "094120", '2', '0',
         "JAERI開放研file(txt) Date:2003/07/15 09:41:20"},
        {"year 98 has a blank mark", read_org_kaihouken_dat, "98/11/0223:05:59", "02NOV98 ",
         "230559", '5', '9', nullptr},
        {"year 69 is of the 2000s", read_org_kaihouken_txt, "2069/01/31 00:00:07", "31JAN691",
         "000007", '0', '7', nullptr},
        {"blank third character becomes 0", read_org_kaihouken_dat, "03/07/15 9: 5: 7", "15JUL031",
         " 905 7", '0', '7', nullptr},
        {"blanks around the line are trimmed", read_org_kaihouken_txt, "2003/07/15 09:41:20   ",
         "15JUL031", "094120", '2', '0', "JAERI開放研file(txt) Date:2003/07/15 09:41:20"},
        {"only 40 characters of a long line fit", read_org_kaihouken_dat, long_line, "15JUL031",
         "094120", '2', '0', nullptr},
        {"code page 932 text", read_org_kaihouken_dat, "03/07/1509:41:20 \x8e\x8e\x97\xbf",
         "15JUL031", "094120", '2', '0', "JAERI開放研file(dat) Date:03/07/1509:41:20 試料"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const bool is_txt = row.reader == read_org_kaihouken_txt;
        const std::string data = is_txt ? "1\r\n2\r\n2\r\n5\r\n6\r\n"
                                 : row.reader == read_org_kaihouken_csv
                                     ? "0,1,0\r\n"
                                     : dat_line({"1", "2"}) + "\r\n";
        ReaderResult r = convert(row.reader, row.first_line + "\r\n" + data);
        ASSERT_TRUE(r.complete()) << r.reason;
        EXPECT_EQ(date(), row.date);
        EXPECT_EQ(time(), row.time);
        EXPECT_EQ(state->chn_header.start_sec_tens, row.sec_tens);
        EXPECT_EQ(state->chn_header.start_sec_units, row.sec_units);
        if (row.desc) {
            std::string expected = row.desc;
            expected += std::string(63 - spectrum::from_utf8(expected).size(), ' ');
            EXPECT_EQ(desc(), expected);
        }
        EXPECT_EQ(state->chn_trailer.sample_desc_len, 63);
        EXPECT_EQ(state->text_buf.at(0), U'\0');  // the scratch text is not touched
        EXPECT_EQ(state->chn_header.mca_number, 311);
    }
    // The label takes 23 of the 63 characters; the long line keeps its first 40.
    EXPECT_EQ(convert(read_org_kaihouken_dat, long_line + "\r\n\r\n").outcome, Outcome::complete);
    EXPECT_EQ(desc(), "JAERI開放研file(dat) Date:" + long_line.substr(0, 40));
}

TEST_F(KaihoukenTest, SegmentMarksTheLayout) {
    const std::string dat = file_of({std::string(dat_header), dat_line({"1", "2", "3"})});
    const std::string txt = std::string(txt_header) + "\r\n1,2,1,5\r\n";
    ASSERT_TRUE(convert(read_org_kaihouken_dat, dat).complete());
    EXPECT_EQ(state->chn_header.segment, 2);
    ASSERT_TRUE(convert(read_org_kaihouken_csv, std::string(dat_header) + "\r\n0,1,0").complete());
    EXPECT_EQ(state->chn_header.segment, 1);
    ASSERT_TRUE(convert(read_org_kaihouken_txt, txt).complete());
    EXPECT_EQ(state->chn_header.segment, 3);
    EXPECT_EQ(state->chn_trailer.trailer_type, -102);
}

TEST_F(KaihoukenTest, DatStoresTenFieldsOfEveryLine) {
    // Columns 1-6 are not read, fields end at column 86, blanks inside a field are dropped,
    // halves round to even; a short line and a blank line store zeros for what they lack.
    const std::string full =
        "ABCDEF" +
        dat_line({"3600", "3700.5", "2.5", "3.5", "-7", "12 34", "1E3", "0", "9", "10"}).substr(6) +
        "     999";
    const std::string shortl = dat_line({"11", "12", "13"});
    for (const std::string end : {"\r\n", "\r", "\n"}) {
        SCOPED_TRACE(::testing::PrintToString(end));
        const std::string file =
            file_of({std::string(dat_header), full, shortl, "", dat_line({"5"})}, end);
        ReaderResult r = convert(read_org_kaihouken_dat, file);
        ASSERT_TRUE(r.complete()) << r.reason;
        const std::vector<std::int32_t> expected = {3600, 3700, 2, 4, -7, 1234, 1000, 0, 9, 10, 11,
                                                    12,   13,   0, 0, 0,  0,    0,    0, 0, 0,  0,
                                                    0,    0,    0, 0, 0,  0,    0,    0, 5, 0};
        for (std::size_t i = 0; i < expected.size(); ++i)
            EXPECT_EQ(count(static_cast<int>(i)), expected[i]) << "index " << i;
        EXPECT_EQ(state->chn_header.live_time, 180000);
        EXPECT_EQ(state->chn_header.real_time, 185000);
        EXPECT_EQ(state->chn_header.num_channels, 32);  // 40 values less 10 is 30
        EXPECT_EQ(date(), "15JUL031");
    }
}

TEST_F(KaihoukenTest, CsvStoresTheSecondFieldOfEachRecord) {
    for (const std::string end : {"\r\n", "\r", "\n"}) {
        SCOPED_TRACE(::testing::PrintToString(end));
        const std::string file = file_of({std::string(dat_header), "0, 3600 ,x", "1,3601.5,y",
                                          "2,\"7\",z", "3,2.5,", "4,1 2"},
                                         end) +
                                 end;  // an empty last line holds no record
        ReaderResult r = convert(read_org_kaihouken_csv, file);
        ASSERT_TRUE(r.complete()) << r.reason;
        // "1 2" read as a number ends at the blank: 1 is the second field, 2 the third.
        const std::vector<std::int32_t> expected = {3600, 3602, 7, 2, 1, 0};
        for (std::size_t i = 0; i < expected.size(); ++i)
            EXPECT_EQ(count(static_cast<int>(i)), expected[i]) << "index " << i;
        EXPECT_EQ(state->chn_header.live_time, 180000);
        EXPECT_EQ(state->chn_header.real_time, 180100);
        EXPECT_EQ(state->chn_header.num_channels, 8);  // 5 records less 1 is 4
    }
}

TEST_F(KaihoukenTest, TxtReadsTimesCountAndValuesToTheEnd) {
    // The count says 4096 but 5000 values follow: all are stored, the count stays as written.
    std::string file = std::string(txt_header) + "\r\n3600\r\n3700.5,4096\r\n";
    for (int i = 0; i < 5000; ++i)
        file += std::to_string(i + 1) + (i % 2 ? "\r\n" : ",");
    ReaderResult r = convert(read_org_kaihouken_txt, file + "\r\n");
    ASSERT_TRUE(r.complete()) << r.reason;
    EXPECT_EQ(state->chn_header.live_time, 180000);
    EXPECT_EQ(state->chn_header.real_time, 185025);
    EXPECT_EQ(state->chn_header.num_channels, 4096);
    EXPECT_EQ(count(0), 1);
    EXPECT_EQ(count(4999), 5000);
    EXPECT_EQ(count(5000), 0);

    for (const std::string end : {"\r", "\n"}) {
        SCOPED_TRACE(::testing::PrintToString(end));
        const std::string small =
            file_of({std::string(txt_header), "1.5", "2", "0", "7", "8"}, end);
        ASSERT_TRUE(convert(read_org_kaihouken_txt, small).complete());
        EXPECT_EQ(state->chn_header.live_time, 75);
        EXPECT_EQ(state->chn_header.num_channels, 0);  // an empty spectrum is valid
        EXPECT_EQ(count(0), 7);
        EXPECT_EQ(count(1), 8);
    }
}

// The dat and csv channel count: the smallest power of two above the values past the first
// ten (dat) or the records past the first (csv).
TEST_F(KaihoukenTest, PowerOfTwoChannelCount) {
    struct Row {
        Reader reader;
        int entries;   // data lines (dat) or records (csv)
        int channels;  // 0: the reading fails
        const char* reason;
    };
    const Row rows[] = {
        {read_org_kaihouken_dat, 1, 2, nullptr},
        {read_org_kaihouken_dat, 2, 16, nullptr},
        {read_org_kaihouken_dat, 205, 2048, nullptr},
        {read_org_kaihouken_dat, 410, 4096, nullptr},
        {read_org_kaihouken_dat, 820, 8192, nullptr},
        {read_org_kaihouken_dat, 1639, 16384, nullptr},
        {read_org_kaihouken_dat, 1640, 0, "1640 data lines give 32768 channels, at most 32767 fit"},
        {read_org_kaihouken_dat, 1701, 0,
         "line 1702: the data line '000001       1       2       3' holds channel 17002, more than "
         "the 17001 channels that fit"},
        {read_org_kaihouken_dat, 0, 0, "no data lines after the first line"},
        {read_org_kaihouken_csv, 1, 2, nullptr},
        {read_org_kaihouken_csv, 2, 2, nullptr},
        {read_org_kaihouken_csv, 3, 4, nullptr},
        {read_org_kaihouken_csv, 4096, 4096, nullptr},
        {read_org_kaihouken_csv, 4097, 8192, nullptr},
        {read_org_kaihouken_csv, 4098, 8192, nullptr},
        {read_org_kaihouken_csv, 16384, 16384, nullptr},
        {read_org_kaihouken_csv, 16385, 0, "16385 records give 32768 channels, at most 32767 fit"},
        {read_org_kaihouken_csv, 17002, 0,
         "line 17003: the count '1' of channel 17002 is more than the 17001 channels that fit"},
        {read_org_kaihouken_csv, 0, 0, "no records after the first line"},
    };
    for (const Row& row : rows) {
        const bool dat = row.reader == read_org_kaihouken_dat;
        SCOPED_TRACE((dat ? "dat lines " : "csv records ") + std::to_string(row.entries));
        const std::string line = dat ? dat_line({"1", "2", "3"}) : "0,1,0";
        ReaderResult r = convert(row.reader, repeated(dat_header, line, row.entries));
        if (row.channels) {
            ASSERT_TRUE(r.complete()) << r.reason;
            EXPECT_EQ(state->chn_header.num_channels, row.channels);
        } else {
            EXPECT_EQ(r.outcome, Outcome::read_error);
            EXPECT_EQ(r.reason, row.reason);
            EXPECT_EQ(state->chn_header.num_channels, 0);
        }
    }
}

TEST_F(KaihoukenTest, FailuresNameTheirCause) {
    struct Row {
        const char* name;
        Reader reader;
        std::string file;
        const char* reason;
    };
    const std::string dat_head = std::string(dat_header) + "\r\n";
    const std::string txt_head = std::string(txt_header) + "\r\n";
    const Row rows[] = {
        {"empty dat", read_org_kaihouken_dat, "", "the file is empty"},
        {"empty txt", read_org_kaihouken_txt, "", "the file is empty"},
        {"dat value past 32 bits", read_org_kaihouken_dat,
         dat_head + dat_line({"1", "2"}) + "\r\n" + dat_line({"1", "2", "3E9"}),
         "line 3: the count '3E9' of channel 13 is out of range (-2147483648 to 2147483647)"},
        {"dat live time past 32 bits", read_org_kaihouken_dat,
         dat_head + dat_line({"50000000", "1"}),
         "line 2: the live time '50000000' is out of range (at most 42949672.94 s)"},
        {"csv real time past 32 bits", read_org_kaihouken_csv, dat_head + "0,1,0\r\n1,-43000000,0",
         "line 3: the real time '-43000000' is negative"},
        {"csv record cut short", read_org_kaihouken_csv, dat_head + "0,1,0\r\n1,2",
         "line 3: the file ends where a value was expected"},
        {"csv value past 32 bits", read_org_kaihouken_csv, dat_head + "0,1,0\r\n1,-3E9,0",
         "line 3: the count '-3E9' of channel 2 is out of range (-2147483648 to 2147483647)"},
        {"txt ends before the count", read_org_kaihouken_txt, txt_head + "3600\r\n3600\r\n\r\n",
         "line 3: the file ends where a value was expected"},
        {"txt negative count", read_org_kaihouken_txt, txt_head + "1,2,-5,7",
         "line 2: the channel count '-5' is negative"},
        {"txt count past 16 bits", read_org_kaihouken_txt, txt_head + "1,2,40000,7",
         "line 2: the channel count '40000' is out of range (-32768 to 32767)"},
        {"txt live time past 32 bits", read_org_kaihouken_txt, txt_head + "1E8,2,1,7",
         "line 2: the live time '1E8' is out of range (at most 42949672.94 s)"},
        {"txt count above what the record holds", read_org_kaihouken_txt, txt_head + "1,2,17002,7",
         "line 2: the channel count '17002' is more than the 17001 channels that fit"},
        {"month 13 has no name", read_org_kaihouken_dat,
         "03/13/1509:41:20\r\n" + dat_line({"1", "2"}),
         "line 1: the date '03/13/1509:41:20' is not YY/MM/DD"},
        {"first line without a time", read_org_kaihouken_dat, "03/07/15\r\n" + dat_line({"1", "2"}),
         "line 1: the time '03/07/15' is not hh:mm:ss"},
        {"seconds past 59", read_org_kaihouken_csv, "03/07/1509:41:60\r\n0,1,0",
         "line 1: the time '03/07/1509:41:60' is not hh:mm:ss"},
        {"txt negative real time", read_org_kaihouken_txt, txt_head + "1,-2,1,7",
         "line 2: the real time '-2' is negative"},
        {"txt fewer values than declared", read_org_kaihouken_txt,
         txt_head + "1,2,512\r\n" + repeated("0", "1", 37).substr(3),
         "line 2: the channel count '512' declares 512 channel values, the file holds 37"},
        {"csv data line without a comma", read_org_kaihouken_csv,
         dat_head + "0,1,0\r\n1 2 0\r\n2,3,0\r\n  \r\n",
         "line 3: the data line '1 2 0' holds no comma, which every csv data line holds"},
        {"csv line without a comma among long and CR-ended lines", read_org_kaihouken_csv,
         dat_head + "0,1,0\r1234567,7654321,0\n2,3,000000000000000000\r\n   7  8 9\r\n3,4,0",
         "line 5: the data line '   7  8 9' holds no comma, which every csv data line holds"},
        {"csv last line without a comma or a line end", read_org_kaihouken_csv,
         dat_head + "0,1,0\r\n1,2,0\r\n2 3 0",
         "line 4: the data line '2 3 0' holds no comma, which every csv data line holds"},
        {"dat data line with a comma", read_org_kaihouken_dat,
         dat_head + dat_line({"1", "2"}) + "\r\n" + dat_line({"3", "4,"}),
         "line 3: the data line '000001       3      4,' holds a comma, which no dat data line "
         "holds"},
        {"text file with a NUL byte", read_org_kaihouken_txt,
         txt_head + "1,2,1\r\n5" + std::string(1, '\0'),
         "byte 29 is a NUL byte, which no text file holds"},
        {"txt too many values", read_org_kaihouken_txt,
         txt_head + "1,2,3\r\n" + repeated("0", "1", 17002).substr(3),
         "line 17004: the count '1' of channel 17002 is more than the 17001 channels that fit"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ReaderResult r = convert(row.reader, row.file);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.outcome, Outcome::read_error);
        EXPECT_EQ(r.reason, row.reason);
    }
}

// A failure quotes the line or field as the file holds it, with its line number: the example of
// each layout with one field damaged.
TEST_F(KaihoukenTest, FailuresQuoteTheLineOrFieldAsWritten) {
    struct Row {
        Reader reader;
        const char* example;
        std::size_t line;
        const char* text;
        const char* reason;
    };
    const Row rows[] = {
        {read_org_kaihouken_dat, "ge1_0715.dat", 1, "03/07/3209:41:20 GE1 SOIL-07",
         "line 1: the date '03/07/3209:41:20 GE1 SOIL-07' is not YY/MM/DD"},
        {read_org_kaihouken_dat, "ge1_0715.dat", 2,
         "     0   -3600    3612    1950    2551    3255    3723    4356    4908    5522    6059",
         "line 2: the live time '-3600' is negative"},
        {read_org_kaihouken_csv, "ge1_0715.csv", 1, "03/07/1509:4:20 GE1 SOIL-07",
         "line 1: the time '03/07/1509:4:20 GE1 SOIL-07' is not hh:mm:ss"},
        {read_org_kaihouken_csv, "ge1_0715.csv", 10, "8,3E10,0",
         "line 10: the count '3E10' of channel 9 is out of range (-2147483648 to 2147483647)"},
        {read_org_kaihouken_csv, "ge1_0715.csv", 3, "1, -3612 ,0",
         "line 3: the real time '-3612' is negative"},
        {read_org_kaihouken_txt, "kaihou.txt", 1, "2003/07/16 25:02:45 GE2",
         "line 1: the time '2003/07/16 25:02:45 GE2' is not hh:mm:ss"},
        {read_org_kaihouken_txt, "kaihou.txt", 2, "3600.25,3611.76,-512",
         "line 2: the channel count '-512' is negative"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        test_support::ExampleLines file(row.example);
        ASSERT_TRUE(convert(row.reader, file.bytes()).complete());
        file.set(row.line, row.text);
        const ReaderResult r = convert(row.reader, file.bytes());
        EXPECT_EQ(r.outcome, Outcome::read_error);
        EXPECT_EQ(r.reason, row.reason);
    }
}

TEST_F(KaihoukenTest, MissingFileOrFolder) {
    for (Reader reader : {read_org_kaihouken_dat, read_org_kaihouken_csv, read_org_kaihouken_txt}) {
        state->org_path = dir.dir() + "absent.dat";
        ReaderResult r = reader(*state);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.outcome, Outcome::file_not_found);
        EXPECT_EQ(r.reason, "File does not exist.");

        state->org_path = dir.dir() + "no folder/absent.dat";
        r = reader(*state);
        EXPECT_EQ(r.status, -1);
        EXPECT_EQ(r.outcome, Outcome::file_not_found);
        EXPECT_EQ(r.reason, "File does not exist.");
    }
}

}  // namespace
}  // namespace brandel::readers
