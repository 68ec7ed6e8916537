// A batch that writes each source in several formats: one reading, one file per format, all of
// a source's files or none of them, and the one-name-per-batch rule for every file.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/driver.hpp"
#include "formats/output_formats.hpp"
#include "n42_schema.hpp"
#include "spectrum/atomic_file.hpp"
#include "spectrum/state.hpp"
#include "temp_dir.hpp"
#include "tools/example_sources.hpp"

namespace brandel::app {
namespace {

using spectrum::State;
using test_support::TempDir;
using tools::Layout;

formats::FormatList formats_of(const char* text) {
    formats::FormatList list;
    EXPECT_EQ(formats::parse_format_list(text, list), "");
    return list;
}

std::string canberra(std::uint64_t seed, double real_seconds = 3612.48) {
    tools::SourceParams p;
    p.channels = 64;
    p.seed = seed;
    p.real_seconds = real_seconds;
    if (real_seconds < p.live_seconds)
        p.live_seconds = real_seconds;
    return tools::make_source(Layout::canberra_txt, p);
}

class DriverFormatsTest : public ::testing::Test {
  protected:
    TempDir src;
    TempDir out;
    State state;

    void SetUp() override {
        state.org_type = static_cast<std::int16_t>(Layout::canberra_txt);
        state.chn_dir = out.dir();
    }
    BatchReport convert(const std::vector<std::string>& paths, const char* formats) {
        return convert_paths(state, paths, nullptr, ReadAhead::off, formats_of(formats));
    }
};

TEST_F(DriverFormatsTest, EachSourceBecomesOneFileOfEachFormat) {
    const std::string a = src.write("a.TXT", canberra(1));
    const std::string b = src.write("b.TXT", canberra(2));
    const BatchReport report = convert({a, b}, "csv,chn,n42,spe");
    EXPECT_EQ(report.converted, 2);
    EXPECT_TRUE(report.failures.empty());
    for (const char* name : {"a", "b"}) {
        for (const char* ext : {".chn", ".spe", ".n42", ".csv"})
            EXPECT_TRUE(out.exists(name + std::string(ext))) << name << ext;
        EXPECT_VALID_N42(out.read(name + std::string(".n42")));
    }
    // The CHN file is the one a CHN-only batch writes.
    TempDir alone;
    state.chn_dir = alone.dir();
    EXPECT_EQ(convert({a}, "chn").converted, 1);
    EXPECT_EQ(alone.read("a.chn"), out.read("a.chn"));
    EXPECT_FALSE(alone.exists("a.spe"));
}

TEST_F(DriverFormatsTest, AFormatThatCannotBeWrittenFailsTheSourceAndWritesNoneOfItsFiles) {
    const std::string a = src.write("a.TXT", canberra(1, 0));  // no real time: no N42 file
    const std::string b = src.write("b.TXT", canberra(2));
    out.write("a.chn", "old a.chn");
    const BatchReport report = convert({a, b}, "chn,spe,n42");
    EXPECT_EQ(report.converted, 1);
    ASSERT_EQ(report.failures.size(), 1u);
    EXPECT_EQ(
        report.failures[0].reason,
        "cannot write a.n42: the real time is 0 s, and an N42 file needs a real time above 0");
    EXPECT_EQ(out.read("a.chn"), "old a.chn");
    EXPECT_FALSE(out.exists("a.spe"));
    EXPECT_FALSE(out.exists("a.n42"));
    EXPECT_TRUE(out.exists("b.n42"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out.path()),
                            std::filesystem::directory_iterator()),
              4)
        << "a.chn and b's three files, no temporary file";
}

// The file operations of a destination where one file is read-only and one flush fails.
class FaultyDestination : public spectrum::FileOps {
  public:
    std::string read_only;   // a file name the inspection calls read-only
    int failing_flush = -1;  // the flush (from 0) that fails
    spectrum::TargetInfo inspect(const std::filesystem::path& target) override {
        spectrum::TargetInfo info = FileOps::inspect(target);
        info.read_only = info.read_only || target.filename() == read_only;
        return info;
    }
    bool flush_data(int fd) override {
        if (flushes_++ == failing_flush) {
            errno = EIO;
            return false;
        }
        return FileOps::flush_data(fd);
    }

  private:
    int flushes_ = 0;
};

TEST_F(DriverFormatsTest, AReadOnlyFileOfOneFormatKeepsEveryFileOfItsSource) {
    FaultyDestination ops;
    ops.read_only = "a.spe";
    state.file_ops = &ops;
    out.write("a.chn", "old a.chn");
    out.write("a.spe", "old a.spe");
    const BatchReport report = convert({src.write("a.TXT", canberra(1))}, "chn,spe,csv");
    ASSERT_EQ(report.failures.size(), 1u);
    EXPECT_EQ(report.failures[0].reason, "a.spe is read-only");
    EXPECT_EQ(out.read("a.chn"), "old a.chn");
    EXPECT_EQ(out.read("a.spe"), "old a.spe");
    EXPECT_FALSE(out.exists("a.csv"));
}

TEST_F(DriverFormatsTest, AFileThatDoesNotReachTheDiskKeepsTheOtherFilesOfItsSource) {
    FaultyDestination ops;
    ops.failing_flush = 3;  // b.spe: files are flushed in the order a.chn, a.spe, b.chn, b.spe
    state.file_ops = &ops;
    out.write("b.chn", "old b.chn");
    const BatchReport report =
        convert({src.write("a.TXT", canberra(1)), src.write("b.TXT", canberra(2))}, "chn,spe");
    EXPECT_EQ(report.converted, 1);
    ASSERT_EQ(report.failures.size(), 1u);
    EXPECT_NE(report.failures[0].reason.find("cannot write"), std::string::npos);
    EXPECT_NE(report.failures[0].reason.find("b.spe"), std::string::npos)
        << report.failures[0].reason;
    EXPECT_TRUE(out.exists("a.spe"));
    EXPECT_EQ(out.read("b.chn"), "old b.chn");
    EXPECT_FALSE(out.exists("b.spe"));
}

TEST_F(DriverFormatsTest, OneBatchWritesEachNameOnceInEveryFormat) {
    const std::string first = src.write("ge1.0715.TXT", canberra(1));
    const std::string second = src.write("ge1.0716.TXT", canberra(2));
    const BatchReport report = convert({first, second}, "spe,n42");
    ASSERT_EQ(report.failures.size(), 1u);
    EXPECT_EQ(report.failures[0].reason,
              "ge1.spe was already written from ge1.0715.TXT in this batch");
    const formats::FormatReading spe = formats::read_output_file(out.dir() + "ge1.spe");
    ASSERT_TRUE(spe.complete) << spe.reason;
    EXPECT_EQ(spe.values.counts, tools::expected_conversion(Layout::canberra_txt,
                                                            [] {
                                                                tools::SourceParams p;
                                                                p.channels = 64;
                                                                p.seed = 1;
                                                                return p;
                                                            }())
                                     .counts)
        << "the first source's file stays";
}

TEST_F(DriverFormatsTest, NoOutputReplacesASourceOfTheBatch) {
    // A JAERI csv file converted to CSV into its own folder would lose its counts.
    tools::SourceParams p;
    p.channels = 64;
    const std::string source =
        src.write("ge1_0715.csv", tools::make_source(Layout::kaihouken_csv, p));
    const std::string before = src.read("ge1_0715.csv");
    state.org_type = static_cast<std::int16_t>(Layout::kaihouken_csv);
    state.chn_dir = src.dir();
    const BatchReport report = convert({source}, "chn,csv");
    ASSERT_EQ(report.failures.size(), 1u);
    EXPECT_EQ(report.failures[0].reason,
              "ge1_0715.csv is a source file of this batch: choose another destination folder");
    EXPECT_EQ(src.read("ge1_0715.csv"), before);
    EXPECT_FALSE(src.exists("ge1_0715.chn"));

    state.chn_dir = out.dir();
    EXPECT_EQ(convert({source}, "chn,csv").converted, 1) << "another folder takes both";
}

}  // namespace
}  // namespace brandel::app
