#include "formats/output_formats.hpp"

#include <gtest/gtest.h>

#include "sample_record.hpp"
#include "temp_dir.hpp"

namespace brandel::formats {
namespace {

TEST(FormatList, NamesJoinedByCommasInTheOrderWritten) {
    FormatList list;
    EXPECT_EQ(parse_format_list("n42,chn,SPE,n42", list), "");
    EXPECT_EQ(format_list_text(list), "chn,spe,n42");
    EXPECT_EQ(parse_format_list("csv", list), "");
    EXPECT_EQ(format_list_text(list), "csv");
    for (const char* bad : {"", "chn,", ",spe", "chn,,spe", "xml", "chn spe"}) {
        FormatList kept = list;
        EXPECT_NE(parse_format_list(bad, kept), "") << bad;
        EXPECT_EQ(kept, list) << "a bad list changes nothing";
    }
    EXPECT_EQ(parse_format_list("chn,xml", list), "unknown format xml (chn, spe, n42 or csv)");
}

TEST(FormatList, OutputPathsAndReadableFiles) {
    spectrum::State state;
    state.chn_dir = "out/";
    state.org_path = "in/S0123.run.TXT";
    EXPECT_EQ(output_path(state, *find_output_format("n42")), "out/S0123.n42");
    EXPECT_EQ(output_path(state, chn_format()), "out/S0123.chn");
    EXPECT_EQ(readable_format_of("a/b.SPE"), find_output_format("spe"));
    EXPECT_EQ(readable_format_of("a/b.n42"), find_output_format("n42"));
    EXPECT_EQ(readable_format_of("a/b.chn"), nullptr) << "CHN files are read by read_chn";
    EXPECT_EQ(readable_format_of("a/b.csv"), nullptr);

    test_support::TempDir dir;
    const auto record = test_support::SampleRecord{}.state();
    for (const char* name : {"spe", "n42"}) {
        const OutputFormat& f = *find_output_format(name);
        const FormatReading r =
            read_output_file(dir.write(std::string("s.") + name, f.bytes(*record)));
        ASSERT_TRUE(r.complete) << r.reason;
        EXPECT_EQ(r.values, values_of(*record));
    }
    EXPECT_EQ(read_output_file(dir.dir() + "gone.spe").reason, "File does not exist.");
}

}  // namespace
}  // namespace brandel::formats
