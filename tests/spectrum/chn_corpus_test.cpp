#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "spectrum/chn_file.hpp"
#include "spectrum/text.hpp"
#include "temp_dir.hpp"

// CHN files written by other spectrum software, kept outside the project. The values below are
// what those programs show for them.

namespace brandel::spectrum {
namespace {

struct CorpusFile {
    std::string_view name;
    std::int16_t channels;
    std::int32_t live_seconds, real_seconds;
    std::u32string_view start_date, start_time;
    long long sum_of_counts;
    float energy_zero, energy_slope, energy_quad;
    std::u32string_view comment;
    std::uint8_t detector_desc_len;
    std::u32string_view detector_desc;
};

const CorpusFile corpus[] = {
    {"01122014152731-GT01122014182338-GA37.CHN", 4096, 841, 850, U"12Jan141", U"151228", 683658,
     -0.21f, 0.718993f, 0.0f, U"Sample title.\r\n", 37,
     U"Parent file type: Canberra \"CAM\" CNF\r"},
    {"1110C_NAA_cave_pottery.CHN", 16384, 16543, 16557, U"25Apr171", U"125427", 304706, -0.035087f,
     0.182804f, -6.86613e-10f, U"No sample description was entered.", 18, U"SPE Formatted File"},
    {"Alcatraz14.CHN", 8192, 900, 905, U"17Sep121", U"134107", 132978, 0.578332f, 0.374436f,
     2.98586e-07f, U"Description: Alcatraz14", 53,
     U"Make: ORTEC;   Info: Transpec MCB129;   Serial:  7606"},
};

std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The listed values carry six significant digits.
void expect_close(float actual, float expected) {
    EXPECT_NEAR(actual, expected, std::fabs(expected) * 2e-6f);
}

TEST(ChnCorpus, ReadsFilesOfOtherProgramsAndWritesThemBackUnchanged) {
    const std::filesystem::path folder = BRANDEL_CORPUS_DIR "/chn";
    if (!std::filesystem::is_directory(folder))
        GTEST_SKIP() << "no corpus of CHN files here";

    int found = 0;
    for (const CorpusFile& f : corpus) {
        SCOPED_TRACE(f.name);
        const std::filesystem::path path = folder / f.name;
        if (!std::filesystem::exists(path)) {
            ADD_FAILURE() << "the corpus lacks " << f.name;
            continue;
        }
        ++found;
        State s;
        s.org_path = path.string();
        read_chn(s);
        ASSERT_EQ(s.record_source, RecordSource::chn_standard);

        const ChnHeader& h = s.chn_header;
        EXPECT_EQ(h.file_type, -1);
        EXPECT_EQ(h.mca_number, 1);
        EXPECT_EQ(h.segment, 1);
        EXPECT_EQ(h.num_channels, f.channels);
        EXPECT_EQ(h.live_time, f.live_seconds);
        EXPECT_EQ(h.real_time, f.real_seconds);
        EXPECT_EQ(h.start_date.view(), f.start_date);
        EXPECT_EQ(h.start_time.view(), f.start_time);
        EXPECT_EQ(s.disk_header.substr(28, 2), std::string(2, '\0'));
        long long sum = 0;
        for (int k = 0; k < h.num_channels; ++k)
            sum += s.counts.at(k);
        EXPECT_EQ(sum, f.sum_of_counts);

        const ChnTrailer& t = s.chn_trailer;
        EXPECT_EQ(t.trailer_type, -102);
        expect_close(t.energy_zero, f.energy_zero);
        expect_close(t.energy_slope, f.energy_slope);
        expect_close(t.energy_quad, f.energy_quad);
        std::u32string comment(f.comment);
        comment.resize(64, U' ');
        EXPECT_EQ(s.text_buf.view(), comment);
        EXPECT_EQ(t.detector_desc_len, f.detector_desc_len);
        std::u32string detector(f.detector_desc);
        detector.resize(63, U'\0');
        EXPECT_EQ(t.detector_desc.view(), detector);

        // Written back, a file keeps every byte, whichever program wrote it.
        brandel::test_support::TempDir dir;
        const std::string original = read_file(path);
        s.record_file = dir.write(std::string(f.name), original);
        write_chn_as_read(s);
        EXPECT_TRUE(dir.read(std::string(f.name)) == original);
    }

    // Any further CHN file of the folder reads without error.
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        State s;
        s.org_path = entry.path().string();
        SCOPED_TRACE(s.org_path);
        std::string ext = entry.path().extension().string();
        if (ext == ".CHN" || ext == ".chn") {
            EXPECT_NO_THROW(read_chn(s));
        }
    }
    EXPECT_EQ(found, 3);
}

}  // namespace
}  // namespace brandel::spectrum
