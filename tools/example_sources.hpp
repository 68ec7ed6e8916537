#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace brandel::tools {

// Deterministic source ("ORG") files of the eight layouts the converter reads, for tests, the
// benchmark and the examples folder. The same parameters always give the same bytes, on every
// platform: the counts come from our own pseudo-random generator and use only arithmetic whose
// results IEEE 754 fixes exactly.

/// splitmix64: small, fast and fully specified, so every platform draws the same numbers.
class SplitMix64 {
  public:
    explicit SplitMix64(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    /// Uniform in [0, 1).
    double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
    /// Uniform in [0, n); 0 when n is 0.
    std::size_t below(std::size_t n) { return n == 0 ? 0 : static_cast<std::size_t>(next() % n); }

  private:
    std::uint64_t state_;
};

/// The source layouts, numbered by their ORG type index.
enum class Layout : int {
    canberra_txt = 0,
    labo_new = 1,
    kaihouken_dat = 3,
    kaihouken_csv = 4,
    labo_old = 5,
    labo_list = 6,
    kaihouken_txt = 7,
    oxford_asc = 8,
};

/// All eight layouts, in ORG type order.
const std::vector<Layout>& all_layouts();

enum class LineEnd { cr, crlf, lf };

struct StartTime {
    int year = 2003;  // 1970 to 2069, where every layout's two-digit year and century mark agree
    int month = 7;
    int day = 15;
    int hour = 9;
    int minute = 41;
    int second = 20;
};

struct SourceParams {
    /// Channels of the spectrum. In the JAERI dat and csv and the Labo LIST layouts the first two
    /// of them hold the live and real time, as those analysers store them. 2 to 16384.
    int channels = 1024;
    std::uint64_t seed = 1;
    /// Seconds. The text layouts write them with decimals; the Labo layouts store whole seconds
    /// (the LIST values ticks of 20 ms); the JAERI dat and csv values are whole seconds.
    double live_seconds = 3600.0;
    double real_seconds = 3612.48;
    StartTime start;
    /// Sample text, in characters that code page 932 holds; no line ends. CANBERRA writes it as
    /// the sample name, Oxford as the ID, Labo New and Old as the description, the JAERI layouts
    /// after the date on their first line. Labo LIST carries none.
    std::u32string sample;
    LineEnd line_end = LineEnd::crlf;  // for the text layouts
    /// Energy calibration, carried by the Oxford and the Labo New and Old layouts.
    double energy_zero = 0.0;
    double energy_slope = 1.0;
    double energy_quad = 0.0;
};

/// What a correct conversion of a generated file puts into the spectrum record.
struct ExpectedConversion {
    std::int16_t mca_number = 0;
    std::int16_t segment = 0;
    std::int16_t num_channels = 0;
    std::int32_t live_ticks = 0;  // 20 ms
    std::int32_t real_ticks = 0;
    std::u32string start_date;  // 8 characters
    std::u32string start_time;  // 6 characters
    std::uint8_t start_sec_tens = 0;
    std::uint8_t start_sec_units = 0;
    std::u32string sample_desc;  // 63 characters
    float energy_zero = 0.0f;
    float energy_slope = 1.0f;
    float energy_quad = 0.0f;
    std::vector<std::int32_t> counts;  // num_channels values
};

/// The channel counts of a spectrum: a falling continuum above a low-energy cut-off, a few
/// Gaussian peaks whose places and heights depend on the seed, and counting noise.
std::vector<std::int32_t> spectrum_counts(int channels, std::uint64_t seed, double live_seconds);

/// Text encoded in code page 932, byte for byte (no padding).
std::string cp932(std::u32string_view text);

/// One function per layout, each returning the bytes of the file.
std::string canberra_txt(const SourceParams& p);
std::string labo_new(const SourceParams& p);
std::string kaihouken_dat(const SourceParams& p);
std::string kaihouken_csv(const SourceParams& p);
std::string labo_old(const SourceParams& p);
std::string labo_list(const SourceParams& p);
std::string kaihouken_txt(const SourceParams& p);
std::string oxford_asc(const SourceParams& p);

/// The file of a layout. Raises std::invalid_argument for parameters outside their ranges.
std::string make_source(Layout layout, const SourceParams& p);

/// What converting make_source(layout, p) must give.
ExpectedConversion expected_conversion(Layout layout, const SourceParams& p);

/// The files of the examples folder: name, layout and parameters of each.
struct ExampleFile {
    std::string name;
    Layout layout;
    SourceParams params;
};
const std::vector<ExampleFile>& example_files();

}  // namespace brandel::tools
