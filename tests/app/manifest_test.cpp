// The manifest of a batch: one CSV line per source, whose digests are those of the files on the
// disk, appended batch after batch; and the check that tells which files still match it.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "app/driver.hpp"
#include "app/manifest.hpp"
#include "app/manifest_check.hpp"
#include "formats/output_formats.hpp"
#include "reference_sha256.hpp"
#include "spectrum/state.hpp"
#include "temp_dir.hpp"
#include "tools/example_sources.hpp"

namespace brandel::app {
namespace {

using spectrum::State;
using test_support::reference_sha256;
using test_support::TempDir;
using tools::Layout;

std::vector<std::vector<std::string>> records(std::string_view text) {
    std::vector<std::vector<std::string>> rows;
    std::size_t at = 0;
    std::vector<std::string> cells;
    while (next_csv_record(text, at, cells))
        rows.push_back(cells);
    return rows;
}

class ManifestTest : public ::testing::Test {
  protected:
    TempDir src;
    TempDir out;
    State state;
    std::string manifest;
    std::vector<std::string> sources;

    void SetUp() override {
        state.org_type = static_cast<std::int16_t>(Layout::canberra_txt);
        state.chn_dir = out.dir();
        manifest = out.dir() + "manifest.csv";
        for (std::uint64_t seed : {1, 2}) {
            tools::SourceParams p;
            p.channels = 32;
            p.seed = seed;
            sources.push_back(src.write("s" + std::to_string(seed) + ".TXT",
                                        tools::make_source(Layout::canberra_txt, p)));
        }
        // Windows allows no double quote in a name: there the comma alone needs the quoting.
#ifdef _WIN32
        const char* bad_name = "bad, odd.TXT";
#else
        const char* bad_name = "bad, \"odd\".TXT";
#endif
        sources.insert(sources.begin() + 1, src.write(bad_name, "not a spectrum\n"));
    }
    BatchReport convert(const char* formats) {
        BatchOptions options;
        EXPECT_EQ(formats::parse_format_list(formats, options.formats), "");
        options.read_ahead = ReadAhead::off;
        options.manifest = manifest;
        return convert_paths(state, sources, nullptr, options);
    }
    int check(std::string& printed) {
        std::ostringstream o, e;
        const int status = check_manifest(manifest, o, e);
        printed = o.str() + e.str();
        return status;
    }
};

TEST_F(ManifestTest, EachSourceHasALineWhoseDigestsAreThoseOfItsFiles) {
    const BatchReport report = convert("chn,spe");
    EXPECT_EQ(report.converted, 2);
    EXPECT_EQ(report.manifest_error, "");
    const std::string text = out.read("manifest.csv");
    ASSERT_TRUE(
        text.starts_with("\xEF\xBB\xBFtime,source,source_size,source_sha256,layout,"
                         "outputs,output_sha256,version,outcome,reason,notes\r\n"));
    const auto rows = records(std::string_view(text).substr(3));
    ASSERT_EQ(rows.size(), 4u);
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const std::vector<std::string>& r = rows[i];
        ASSERT_EQ(r.size(), 11u);
        SCOPED_TRACE(r[1]);
        EXPECT_TRUE(r[0].size() == 20 && r[0][10] == 'T' && r[0].back() == 'Z') << r[0];
        EXPECT_EQ(r[1], sources[i - 1]) << "a path with a comma and quotes survives the quoting";
        const std::string bytes = src.read(std::filesystem::path(r[1]).filename().string());
        EXPECT_EQ(r[2], std::to_string(bytes.size()));
        EXPECT_EQ(r[3], reference_sha256(bytes));
        EXPECT_FALSE(r[7].empty());
    }
    const std::vector<std::string>& good = rows[1];
    EXPECT_EQ(good[4], "canberra-txt");
    EXPECT_EQ(good[5], out.dir() + "s1.chn;" + out.dir() + "s1.spe");
    EXPECT_EQ(good[6],
              reference_sha256(out.read("s1.chn")) + ";" + reference_sha256(out.read("s1.spe")));
    EXPECT_EQ(good[8], "converted");
    EXPECT_EQ(good[9], "");
    const std::vector<std::string>& bad = rows[2];
    EXPECT_EQ(bad[5], "") << "a failed source lists no outputs";
    EXPECT_EQ(bad[6], "");
    EXPECT_EQ(bad[8], "failed");
    ASSERT_EQ(report.failures.size(), 1u);
    EXPECT_EQ(bad[9], report.failures[0].reason);
    EXPECT_EQ(rows[3][6],
              reference_sha256(out.read("s2.chn")) + ";" + reference_sha256(out.read("s2.spe")));

    // A second batch appends its lines, with neither a second header nor a byte-order mark.
    convert("chn");
    const std::string again = out.read("manifest.csv");
    EXPECT_EQ(again.substr(0, text.size()), text);
    const auto more = records(std::string_view(again).substr(text.size()));
    ASSERT_EQ(more.size(), 3u);
    EXPECT_EQ(more[0][1], sources[0]);
    EXPECT_EQ(again.find("\xEF\xBB\xBF", 1), std::string::npos);
}

TEST_F(ManifestTest, AManifestThatCannotBeWrittenStopsTheBatchBeforeItConverts) {
    manifest = out.dir() + "no such folder" + spectrum::path_separator + "m.csv";
    const BatchReport report = convert("chn");
    EXPECT_EQ(report.converted, 0);
    EXPECT_NE(report.manifest_error.find("cannot open the manifest"), std::string::npos);
    EXPECT_FALSE(out.exists("s1.chn"));
}

TEST_F(ManifestTest, TheCheckTellsWhichFilesStillMatch) {
    convert("chn,csv");
    std::string printed;
    EXPECT_EQ(check(printed), 0) << printed;
    EXPECT_EQ(printed, "ok\t" + sources[0] + "\nok\t" + sources[1] + "\nok\t" + sources[2] + "\n");

    std::string chn = out.read("s2.chn");
    chn[40] ^= 1;
    out.write("s2.chn", chn);
    std::filesystem::remove(out.path() / "s1.csv");
    EXPECT_EQ(check(printed), 1);
    EXPECT_EQ(printed, "missing\t" + sources[0] + "\t" + out.dir() + "s1.csv missing\nok\t" +
                           sources[1] + "\nchanged\t" + sources[2] + "\t" + out.dir() +
                           "s2.chn changed\n");

    // A changed source shows too, and a line that is not a manifest's is no match.
    src.write("s1.TXT", "changed source");
    out.write("manifest.csv", out.read("manifest.csv") + "a,b\r\n");
    EXPECT_EQ(check(printed), 1);
    EXPECT_NE(printed.find("missing\t" + sources[0] + "\t" + sources[0] + " changed; "),
              std::string::npos)
        << printed;
    EXPECT_NE(printed.find("changed\t\tline 5 is not a manifest line"), std::string::npos)
        << printed;
}

TEST_F(ManifestTest, TheCheckOfWhatIsNoManifestIsAUsageError) {
    std::string printed;
    EXPECT_EQ(check(printed), 2) << "a manifest that is not there";
    out.write("manifest.csv", "channel,energy_keV,counts\r\n0,,5\r\n");
    EXPECT_EQ(check(printed), 2);
    EXPECT_NE(printed.find("not a manifest"), std::string::npos);
}

}  // namespace
}  // namespace brandel::app
