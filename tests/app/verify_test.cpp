// Each output read back from the disk before it replaces anything: a byte that reaches the disk
// other than it was written fails the source, names the first difference, and leaves every old
// file of the source as it was.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/driver.hpp"
#include "formats/output_formats.hpp"
#include "spectrum/atomic_file.hpp"
#include "spectrum/state.hpp"
#include "temp_dir.hpp"
#include "tools/example_sources.hpp"

namespace brandel::app {
namespace {

using spectrum::State;
using test_support::TempDir;
using tools::Layout;

// Writes as the system does, but flips the lowest bit of one byte of the files whose bytes
// `where` finds a place in: what a failing disk or controller would leave.
class FlippingOps : public spectrum::FileOps {
  public:
    explicit FlippingOps(std::function<std::size_t(std::string_view)> where)
        : where_(std::move(where)) {}
    long write(int fd, const unsigned char* data, std::size_t size) override {
        const std::size_t at = where_({reinterpret_cast<const char*>(data), size});
        if (at == std::string_view::npos)
            return FileOps::write(fd, data, size);
        std::vector<unsigned char> copy(data, data + size);
        copy[at] ^= 1;
        ++flipped;
        return FileOps::write(fd, copy.data(), size);
    }
    int flipped = 0;

  private:
    std::function<std::size_t(std::string_view)> where_;
};

formats::FormatList formats_of(const char* text) {
    formats::FormatList list;
    EXPECT_EQ(formats::parse_format_list(text, list), "");
    return list;
}

// The place of the last digit of the line that follows `marker` by `lines` lines.
std::size_t last_digit_of_line(std::string_view bytes, std::string_view marker, int lines) {
    std::size_t at = bytes.find(marker);
    if (at == std::string_view::npos)
        return at;
    for (int i = 0; i <= lines; ++i)
        at = bytes.find('\n', at) + 1;
    return bytes.find('\r', at) - 1;
}

class VerifyTest : public ::testing::Test {
  protected:
    TempDir src;
    TempDir out;
    State state;
    std::string source;

    void SetUp() override {
        state.org_type = static_cast<std::int16_t>(Layout::canberra_txt);
        state.chn_dir = out.dir();
        tools::SourceParams p;
        p.channels = 64;
        p.seed = 7;
        source = src.write("a.TXT", tools::make_source(Layout::canberra_txt, p));
    }
    BatchReport convert(const char* formats, bool verify, spectrum::FileOps* ops = nullptr) {
        state.file_ops = ops;
        BatchOptions options;
        options.formats = formats_of(formats);
        options.read_ahead = ReadAhead::off;
        options.verify = verify;
        return convert_paths(state, {source}, nullptr, options);
    }
    // Only the test's own files: no temporary file stays behind.
    std::vector<std::string> names() const {
        std::vector<std::string> found;
        for (const auto& e : std::filesystem::directory_iterator(out.path()))
            found.push_back(e.path().filename().string());
        std::sort(found.begin(), found.end());
        return found;
    }
};

TEST_F(VerifyTest, FilesThatReachTheDiskIntactConvertAsWithoutVerification) {
    EXPECT_EQ(convert("chn,spe,n42,csv", false).converted, 1);
    std::vector<std::string> plain;
    for (const char* ext : {"chn", "spe", "n42", "csv"})
        plain.push_back(out.read(std::string("a.") + ext));
    const BatchReport report = convert("chn,spe,n42,csv", true);
    EXPECT_EQ(report.converted, 1);
    EXPECT_TRUE(report.failures.empty()) << report.failures.front().reason;
    std::size_t i = 0;
    for (const char* ext : {"chn", "spe", "n42", "csv"})
        EXPECT_EQ(out.read(std::string("a.") + ext), plain[i++]) << ext;
}

struct FlipCase {
    const char* format;
    std::function<std::size_t(std::string_view)> where;
    const char* reason;  // the reason's start
};

TEST_F(VerifyTest, AFlippedByteOfEachFormatFailsTheSourceAndKeepsItsOldFiles) {
    const std::vector<FlipCase> cases = {
        {"chn", [](std::string_view) { return std::size_t{32 + 4 * 17}; },
         "verification failed: CHN file a.chn: channel 17 reads "},
        {"chn", [](std::string_view) { return std::size_t{2}; },
         "verification failed: CHN file a.chn: byte 2 reads "},
        {"spe", [](std::string_view b) { return last_digit_of_line(b, "$DATA:", 18); },
         "verification failed: SPE file a.spe: channel 17 reads "},
        {"n42",
         [](std::string_view b) {
             const std::size_t at = b.find("<ChannelData");
             return at == b.npos ? at : b.find('>', at) + 1;
         },
         "verification failed: N42 file a.n42: channel 0 reads "},
        {"csv", [](std::string_view b) { return last_digit_of_line(b, "channel,", 17); },
         "verification failed: CSV file a.csv: channel 17 reads "},
    };
    for (const FlipCase& c : cases) {
        SCOPED_TRACE(c.reason);
        const std::string name = std::string("a.") + c.format;
        out.write(name, "old bytes");
        FlippingOps ops(c.where);
        const BatchReport report = convert(c.format, true, &ops);
        EXPECT_EQ(ops.flipped, 1);
        EXPECT_EQ(report.converted, 0);
        ASSERT_EQ(report.failures.size(), 1u);
        EXPECT_EQ(report.failures[0].reason.rfind(c.reason, 0), 0u) << report.failures[0].reason;
        EXPECT_EQ(out.read(name), "old bytes");
        EXPECT_EQ(names(), std::vector<std::string>{name});
        // Without verification the same fault reaches the file: the check is what stops it.
        FlippingOps unchecked(c.where);
        EXPECT_EQ(convert(c.format, false, &unchecked).converted, 1);
        EXPECT_NE(out.read(name), "old bytes");
        std::filesystem::remove(out.path() / name);
    }
}

TEST_F(VerifyTest, OneFormatFailingVerificationReplacesNoneOfTheSourcesFiles) {
    for (const char* ext : {"chn", "spe", "n42", "csv"})
        out.write(std::string("a.") + ext, "old");
    FlippingOps ops([](std::string_view b) { return last_digit_of_line(b, "channel,", 3); });
    const BatchReport report = convert("chn,spe,n42,csv", true, &ops);
    EXPECT_EQ(report.converted, 0);
    ASSERT_EQ(report.failures.size(), 1u);
    EXPECT_EQ(report.failures[0].reason.rfind("verification failed: CSV file a.csv: channel 3", 0),
              0u)
        << report.failures[0].reason;
    for (const char* ext : {"chn", "spe", "n42", "csv"})
        EXPECT_EQ(out.read(std::string("a.") + ext), "old") << ext;
    EXPECT_EQ(names().size(), 4u);
}

}  // namespace
}  // namespace brandel::app
