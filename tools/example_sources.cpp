#include "tools/example_sources.hpp"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "spectrum/codepage.hpp"

namespace brandel::tools {

namespace {

// ---- numbers ---------------------------------------------------------------------------------

/// e to the power -y for y >= 0, from + - * / only: the library's exp may differ in its last bit
/// between platforms, which would change a count now and then.
double exp_neg(double y) {
    if (y > 700.0)
        return 0.0;
    int halvings = 0;
    while (y > 0.5) {
        y *= 0.5;
        ++halvings;
    }
    double term = 1.0;
    double sum = 1.0;
    for (int n = 1; n <= 20; ++n) {
        term *= -y / n;
        sum += term;
    }
    while (halvings-- > 0)
        sum *= sum;
    return sum;
}

/// Nearest integer, halves to even.
long long round_half_even(double v) {
    double f = std::floor(v);
    double d = v - f;
    long long i = static_cast<long long>(f);
    if (d > 0.5 || (d == 0.5 && i % 2 != 0))
        ++i;
    return i;
}

/// The number at the start of a decimal text that this generator wrote, read as 64-bit float.
double parse(std::string_view text) {
    double v = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), v);
    return v;
}

/// Seconds written as text, as the converter turns them into ticks of 20 ms.
std::int32_t ticks_of_text(std::string_view seconds) {
    return static_cast<std::int32_t>(round_half_even(parse(seconds) * 50.0));
}

/// A non-negative number with a fixed count of decimals, rounded halves to even by our own
/// arithmetic, so that no library's treatment of ties changes the text.
std::string fixed(double v, int decimals) {
    double scale = 1.0;
    for (int i = 0; i < decimals; ++i)
        scale *= 10.0;
    std::string digits = std::to_string(round_half_even(v * scale));
    if (decimals == 0)
        return digits;
    if (digits.size() <= static_cast<std::size_t>(decimals))
        digits.insert(0, static_cast<std::size_t>(decimals) + 1 - digits.size(), '0');
    digits.insert(digits.size() - static_cast<std::size_t>(decimals), ".");
    return digits;
}

std::string two(int v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

std::string padded(const char* format, long long v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

std::int32_t whole_seconds(double seconds) {
    return static_cast<std::int32_t>(round_half_even(seconds));
}

// ---- text ------------------------------------------------------------------------------------

constexpr const char* month_upper[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                       "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
constexpr const char* month_mixed[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::u32string widen(std::string_view ascii) {
    return std::u32string(ascii.begin(), ascii.end());
}

/// Left-justified in `width` characters: cut or padded with blanks.
std::u32string fit(std::u32string text, std::size_t width) {
    text.resize(width, U' ');
    return text;
}

std::u32string trim(std::u32string_view text) {
    std::size_t b = text.find_first_not_of(U' ');
    if (b == std::u32string_view::npos)
        return {};
    std::size_t e = text.find_last_not_of(U' ');
    return std::u32string(text.substr(b, e - b + 1));
}

/// The text as it reads back from the file: characters the code page lacks were written "?".
std::u32string as_stored(std::u32string_view text) {
    std::u32string out;
    for (char32_t c : text)
        out += (c != U'?' && cp932(std::u32string(1, c)) == "?") ? U'?' : c;
    return out;
}

/// The characters that a fixed field of `bytes` code page bytes holding `text` decodes to: the
/// whole characters that fit, then one blank per byte left.
std::u32string field_chars(std::u32string_view text, std::size_t bytes) {
    std::u32string out;
    std::size_t used = 0;
    for (char32_t c : as_stored(text)) {
        std::size_t w = cp932(std::u32string(1, c)).size();
        if (used + w > bytes)
            break;
        out += c;
        used += w;
    }
    out.append(bytes - used, U' ');
    return out;
}

std::string_view line_end_bytes(LineEnd e) {
    switch (e) {
        case LineEnd::cr:
            return "\r";
        case LineEnd::lf:
            return "\n";
        case LineEnd::crlf:
            break;
    }
    return "\r\n";
}

/// Collects the lines of a text file in code page 932.
class TextFile {
  public:
    explicit TextFile(LineEnd end) : end_(line_end_bytes(end)) {}
    void line(std::string_view ascii) {
        bytes_ += ascii;
        bytes_ += end_;
    }
    void line(std::u32string_view text) {
        bytes_ += cp932(text);
        bytes_ += end_;
    }
    std::string take() { return std::move(bytes_); }

  private:
    std::string_view end_;
    std::string bytes_;
};

// ---- checks and shared pieces ----------------------------------------------------------------

void check(bool ok, const char* what) {
    if (!ok)
        throw std::invalid_argument(std::string("example source: ") + what);
}

void check_params(const SourceParams& p) {
    check(p.channels >= 2 && p.channels <= 16384, "channels must be 2 to 16384");
    const StartTime& t = p.start;
    check(t.year >= 1970 && t.year <= 2069, "year must be 1970 to 2069");
    check(t.month >= 1 && t.month <= 12, "month must be 1 to 12");
    check(t.day >= 1 && t.day <= 31, "day must be 1 to 31");
    check(t.hour >= 0 && t.hour <= 23 && t.minute >= 0 && t.minute <= 59 && t.second >= 0 &&
              t.second <= 59,
          "time of day out of range");
    check(p.live_seconds >= 0.0 && p.live_seconds < 1e7 && p.real_seconds >= 0.0 &&
              p.real_seconds < 1e7,
          "times must be 0 to 1e7 seconds");
    check(p.sample.find_first_of(U"\r\n") == std::u32string::npos, "sample holds a line end");
}

/// Two-digit year within the century.
int yy(const StartTime& t) {
    return t.year % 100;
}

/// The century mark of the readers that count it from a two-digit year: "1" below 70.
std::u32string short_year_mark(int year2) {
    return year2 < 70 ? U"1" : U" ";
}

/// The century mark of the readers that read the century digits: their value less 19, 0 blank.
std::u32string century_mark(int year) {
    int mark = year / 100 - 19;
    return mark == 0 ? U" " : widen(std::to_string(mark));
}

/// The spectrum of the layouts whose first two values are the measuring times.
std::vector<std::int32_t> with_times(const SourceParams& p, std::int32_t live, std::int32_t real) {
    std::vector<std::int32_t> values = spectrum_counts(p.channels, p.seed, p.live_seconds);
    values[0] = live;
    values[1] = real;
    return values;
}

/// Smallest power of two above `above`, as the JAERI readers find it (2 at least).
std::int16_t power_of_two_above(long long above) {
    for (int k = 1; k <= 20; ++k)
        if (above >= 0 && (above >> k) == 0)
            return static_cast<std::int16_t>(1 << k);
    throw std::logic_error("no channel count for this many values");
}

std::u32string sample_line_tail(const SourceParams& p) {
    return p.sample.empty() ? std::u32string() : U" " + p.sample;
}

// JAERI dat and csv first line: 1-2 year, 4-5 month, 7-8 day, 9-10 hour, 12-13 minute, 15-16
// second.
std::u32string jaeri_short_header(const SourceParams& p) {
    const StartTime& t = p.start;
    return widen(two(yy(t)) + "/" + two(t.month) + "/" + two(t.day) + two(t.hour) + ":" +
                 two(t.minute) + ":" + two(t.second)) +
           sample_line_tail(p);
}

// JAERI txt first line: the four-digit year, then month, day, hour, minute, second.
std::u32string jaeri_long_header(const SourceParams& p) {
    const StartTime& t = p.start;
    return widen(std::to_string(t.year) + "/" + two(t.month) + "/" + two(t.day) + " " +
                 two(t.hour) + ":" + two(t.minute) + ":" + two(t.second)) +
           sample_line_tail(p);
}

std::string dat_values_line(const std::vector<std::int32_t>& values, std::size_t first) {
    std::string s = padded("%6lld", static_cast<long long>(first));
    for (std::size_t i = first; i < first + 10; ++i)
        s += padded("%8lld", values[i]);
    return s;
}

/// Values of a dat file: the spectrum with its times, padded with zeros to whole lines of ten.
std::vector<std::int32_t> dat_values(const SourceParams& p) {
    std::vector<std::int32_t> v =
        with_times(p, whole_seconds(p.live_seconds), whole_seconds(p.real_seconds));
    v.resize((v.size() + 9) / 10 * 10, 0);
    return v;
}

/// A number as a current Oxford export writes its calibration: four significant digits and a
/// three-digit exponent, 5.410E-001. Formatted without printf, so every platform gives the same
/// text.
std::string oxford_number(double v) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 3);
    std::string text(buf, r.ptr);
    const std::size_t e = text.find('e');
    std::string exponent = text.substr(e + 2);
    exponent.insert(0, 3 - std::min<std::size_t>(3, exponent.size()), '0');
    return text.substr(0, e) + "E" + text[e + 1] + exponent;
}

/// Text right-aligned in `width` characters behind `label` (a longer text is not cut).
std::string right_aligned(std::string label, std::string_view text, std::size_t width) {
    if (text.size() < width)
        label.append(width - text.size(), ' ');
    return label + std::string(text);
}

/// A line of a current Oxford export: a setting right-aligned to column 35, then the
/// calibration column from column 36 ("A =" at 51-53, the value from column 57).
std::string oxford_line(std::string_view label, std::string_view value, std::string_view right) {
    std::string s = right_aligned(std::string(label), value, 35 - label.size());
    return right.empty() ? s : s + std::string(15, ' ') + std::string(right);
}

std::string one_decimal(double seconds) {
    return fixed(seconds, 1);
}
std::string two_decimals(double seconds) {
    return fixed(seconds, 2);
}

std::string labo_old_date(const StartTime& t) {
    return two(yy(t)) + "-" + month_upper[t.month - 1] + "-" + two(t.day);
}
std::string labo_old_time(const StartTime& t) {
    return two(t.hour) + ":" + two(t.minute) + ":" + two(t.second);
}

// ---- binary ----------------------------------------------------------------------------------

/// A binary header of fixed size, filled at given offsets, little-endian.
class Header {
  public:
    explicit Header(std::size_t size) : bytes_(size, '\0') {}
    void i16(std::size_t at, std::int16_t v) { put(at, static_cast<std::uint16_t>(v), 2); }
    void i32(std::size_t at, std::int32_t v) { put(at, static_cast<std::uint32_t>(v), 4); }
    void f32(std::size_t at, float v) { put(at, std::bit_cast<std::uint32_t>(v), 4); }
    void text(std::size_t at, std::string_view b) { bytes_.replace(at, b.size(), b); }
    std::string& bytes() { return bytes_; }

  private:
    void put(std::size_t at, std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            bytes_[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    }
    std::string bytes_;
};

void append_i32(std::string& out, const std::vector<std::int32_t>& values) {
    for (std::int32_t v : values) {
        auto u = static_cast<std::uint32_t>(v);
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
    }
}

constexpr std::size_t labo_new_header_size = 1024;
constexpr std::size_t labo_old_header_size = 1036;

std::string labo_old_header(const SourceParams& p) {
    Header h(labo_old_header_size);
    h.text(0, spectrum::encode_cp932(p.sample, 32));  // description
    h.text(32, labo_old_date(p.start));               // YY-MMM-DD
    h.text(41, labo_old_time(p.start));               // HH:MM:SS
    h.i16(56, static_cast<std::int16_t>(p.channels));
    h.f32(68, static_cast<float>(p.energy_quad));
    h.f32(72, static_cast<float>(p.energy_slope));
    h.f32(76, static_cast<float>(p.energy_zero));
    h.i32(718, whole_seconds(p.live_seconds));
    h.i32(722, whole_seconds(p.real_seconds));
    return std::move(h.bytes());
}

std::vector<std::int32_t> list_values(const SourceParams& p) {
    // The LIST layout keeps its times in ticks of 20 ms, which the converter copies unscaled.
    return with_times(p, static_cast<std::int32_t>(round_half_even(p.live_seconds * 50.0)),
                      static_cast<std::int32_t>(round_half_even(p.real_seconds * 50.0)));
}

// ---- expectations ----------------------------------------------------------------------------

void set_time(ExpectedConversion& e, std::u32string time) {
    if (time[2] == U' ')
        time[2] = U'0';
    auto digit = [](char32_t c) { return c >= U'0' && c <= U'9' ? static_cast<int>(c - U'0') : 0; };
    e.start_sec_tens = static_cast<std::uint8_t>('0' + digit(time[4]));
    e.start_sec_units = static_cast<std::uint8_t>('0' + digit(time[5]));
    e.start_time = std::move(time);
}

std::u32string hhmm00(const StartTime& t) {
    return widen(two(t.hour) + two(t.minute) + "00");
}
std::u32string hhmmss(const StartTime& t) {
    return widen(two(t.hour) + two(t.minute) + two(t.second));
}

/// DD + upper-case month + YY + the mark of a two-digit year, as most readers form the date.
std::u32string short_year_date(const StartTime& t) {
    return fit(widen(two(t.day) + month_upper[t.month - 1] + two(yy(t))) + short_year_mark(yy(t)),
               8);
}

ExpectedConversion base(std::int16_t mca, std::int16_t segment) {
    ExpectedConversion e;
    e.mca_number = mca;
    e.segment = segment;
    return e;
}

std::vector<std::int32_t> first(std::vector<std::int32_t> values, std::size_t n) {
    values.resize(n, 0);  // channels past the file's values stay 0 in a cleared record
    return values;
}

ExpectedConversion expect_jaeri(const SourceParams& p, std::int16_t segment,
                                std::u32string_view label, const std::u32string& header) {
    ExpectedConversion e = base(311, segment);
    e.start_date = short_year_date(p.start);
    set_time(e, hhmmss(p.start));
    e.sample_desc = fit(std::u32string(label) + trim(as_stored(header)), 63);
    return e;
}

}  // namespace

// ---- public ----------------------------------------------------------------------------------

const std::vector<Layout>& all_layouts() {
    static const std::vector<Layout> layouts = {
        Layout::canberra_txt, Layout::labo_new,  Layout::kaihouken_dat, Layout::kaihouken_csv,
        Layout::labo_old,     Layout::labo_list, Layout::kaihouken_txt, Layout::oxford_asc,
    };
    return layouts;
}

std::string cp932(std::u32string_view text) {
    // Two bytes hold any character; keep the bytes of the text's own characters.
    std::string bytes = spectrum::encode_cp932(text, 2 * text.size());
    std::size_t pos = 0;
    for (std::size_t i = 0; i < text.size() && pos < bytes.size(); ++i) {
        auto lead = static_cast<unsigned char>(bytes[pos]);
        pos += ((lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC)) ? 2 : 1;
    }
    bytes.resize(pos);
    return bytes;
}

std::vector<std::int32_t> spectrum_counts(int channels, std::uint64_t seed, double live_seconds) {
    SplitMix64 rng(seed);
    const double n = channels;
    // Counts per channel grow with the live time and shrink as the channels get narrower.
    const double scale = 3000.0 * (1024.0 / n) * std::max(live_seconds, 60.0) / 3600.0;

    struct Peak {
        double centre, sigma, height;
    };
    std::vector<Peak> peaks;
    const int peak_count = 3 + static_cast<int>(rng.next() % 3);
    for (int i = 0; i < peak_count; ++i) {
        double u = 0.04 + 0.86 * rng.uniform();
        double sigma = std::max(0.7, n * (0.0005 + 0.0008 * u));  // resolution widens with energy
        double height = scale * (0.4 + 4.0 * rng.uniform()) * (1.0 - 0.6 * u);
        peaks.push_back({u * n, sigma, height});
    }

    const double cutoff = n / 64.0 + 1.0;  // the discriminator's low-energy cut-off
    std::vector<std::int32_t> counts(static_cast<std::size_t>(channels));
    for (int i = 0; i < channels; ++i) {
        double u = (i + 0.5) / n;
        double mean = scale * (0.9 * exp_neg(7.0 * u) + 0.08 * exp_neg(2.5 * u) + 0.002);
        for (const Peak& pk : peaks) {
            double d = (i - pk.centre) / pk.sigma;
            if (d > -8.0 && d < 8.0)
                mean += pk.height * exp_neg(0.5 * d * d);
            // Its Compton continuum: a plateau that ends in a soft edge below the peak.
            double edge = 0.7 * pk.centre;
            double plateau = 4.0 * pk.height * pk.sigma / edge;
            double past = (i - edge) / (2.0 * pk.sigma);
            mean += i < edge ? plateau : plateau * exp_neg(past * past);
        }
        if (i < cutoff)
            mean *= (i + 1.0) / (cutoff + 1.0);
        mean = std::min(mean, 5e6);
        // Counting noise: a near-normal draw (sum of four uniforms) of width sqrt(mean). One
        // draw per statement: the order of calls inside one expression is not fixed.
        double g = rng.uniform();
        for (int k = 0; k < 3; ++k)
            g += rng.uniform();
        g = (g - 2.0) * 1.7320508075688772;
        counts[static_cast<std::size_t>(i)] =
            static_cast<std::int32_t>(std::max(0LL, round_half_even(mean + std::sqrt(mean) * g)));
    }
    return counts;
}

std::string canberra_txt(const SourceParams& p) {
    check_params(p);
    const StartTime& t = p.start;
    TextFile f(p.line_end);
    // Values stand from column 15 on; the reader finds each line by its label.
    f.line("CANBERRA  Spectrum Report");
    f.line("Date Time   : " + std::to_string(t.year) + "/" + two(t.month) + "/" + two(t.day) + " " +
           two(t.hour) + ":" + two(t.minute) + ":" + two(t.second));
    f.line("Live Time   : " + one_decimal(p.live_seconds) + " sec");
    f.line("True Time   : " + one_decimal(p.real_seconds) + " sec");
    f.line("Channel No  : " + std::to_string(p.channels));
    // Last of the labelled lines, so that a label inside the sample name is never found first.
    f.line(U"Sample Name : " + p.sample);
    f.line("Detector    : HPGe  GC2018");
    f.line("  Channel      Counts");
    std::vector<std::int32_t> counts = spectrum_counts(p.channels, p.seed, p.live_seconds);
    for (std::size_t i = 0; i < counts.size(); ++i)
        f.line(padded("%9lld", static_cast<long long>(i)) + padded("%12lld", counts[i]));
    return f.take();
}

std::string kaihouken_dat(const SourceParams& p) {
    check_params(p);
    TextFile f(p.line_end);
    f.line(jaeri_short_header(p));
    std::vector<std::int32_t> v = dat_values(p);
    for (std::size_t i = 0; i < v.size(); i += 10)
        f.line(dat_values_line(v, i));
    return f.take();
}

std::string kaihouken_csv(const SourceParams& p) {
    check_params(p);
    TextFile f(p.line_end);
    f.line(jaeri_short_header(p));
    std::vector<std::int32_t> v =
        with_times(p, whole_seconds(p.live_seconds), whole_seconds(p.real_seconds));
    for (std::size_t i = 0; i < v.size(); ++i)
        f.line(std::to_string(i) + "," + std::to_string(v[i]) + ",0");
    return f.take();
}

std::string kaihouken_txt(const SourceParams& p) {
    check_params(p);
    TextFile f(p.line_end);
    f.line(jaeri_long_header(p));
    f.line(two_decimals(p.live_seconds) + "," + two_decimals(p.real_seconds) + "," +
           std::to_string(p.channels));
    std::vector<std::int32_t> counts = spectrum_counts(p.channels, p.seed, p.live_seconds);
    for (std::size_t i = 0; i < counts.size(); i += 10) {
        std::string s;
        for (std::size_t k = i; k < std::min(i + 10, counts.size()); ++k)
            s += (k > i ? "," : "") + std::to_string(counts[k]);
        f.line(s);
    }
    return f.take();
}

std::string oxford_asc(const SourceParams& p) {
    check_params(p);
    const StartTime& t = p.start;
    TextFile f(p.line_end);
    // The layout of a current export: 12 lines before the channel table, the ID first and
    // padded to 76 characters, the date without seconds, the settings right-aligned to column
    // 35 beside the calibration, energy = A + B * channel + C * channel^2.
    std::u32string id = U"ID: " + p.sample;
    if (id.size() < 76)
        id.resize(76, U' ');
    f.line(id);
    f.line("");
    f.line("Acquisition Date:  " + two(t.day) + "-" + month_mixed[t.month - 1] + "-" +
           std::to_string(t.year) + " " + two(t.hour) + ":" + two(t.minute));
    f.line(oxford_line("Elapsed Real Time:", two_decimals(p.real_seconds), ""));
    f.line(oxford_line("Elapsed Live Time:", two_decimals(p.live_seconds), ""));
    f.line(oxford_line("Conversion Gain:", std::to_string(p.channels), "  Calibration"));
    f.line(oxford_line("High Voltage:", "0", "A =   " + oxford_number(p.energy_zero)));
    f.line(oxford_line("Coarse Gain:", "0", "B =   " + oxford_number(p.energy_slope)));
    f.line(oxford_line("Fine Gain:", "2.08", "C =   " + oxford_number(p.energy_quad)));
    f.line("");
    f.line("");
    f.line("Channel     Contents");
    std::vector<std::int32_t> counts = spectrum_counts(p.channels, p.seed, p.live_seconds);
    for (std::size_t i = 0; i < counts.size(); ++i)
        f.line(padded("%4lld", static_cast<long long>(i)) + padded("%14lld", counts[i]));
    return f.take();
}

std::string labo_new(const SourceParams& p) {
    check_params(p);
    const StartTime& t = p.start;
    Header h(labo_new_header_size);
    h.text(0, "LABO MCA SPECTRUM DATA");
    h.i16(54, static_cast<std::int16_t>(p.channels));
    h.f32(64, static_cast<float>(p.energy_quad));  // from the highest power down
    h.f32(68, static_cast<float>(p.energy_slope));
    h.f32(72, static_cast<float>(p.energy_zero));
    h.i16(80, static_cast<std::int16_t>(yy(t)));
    h.i16(82, static_cast<std::int16_t>(t.month));
    h.i16(84, static_cast<std::int16_t>(t.day));
    h.i16(88, static_cast<std::int16_t>(t.hour));
    h.i16(90, static_cast<std::int16_t>(t.minute));
    h.i16(92, static_cast<std::int16_t>(t.second));
    h.i32(712, whole_seconds(p.live_seconds));
    h.i32(716, whole_seconds(p.real_seconds));
    h.text(774, spectrum::encode_cp932(p.sample, 64));
    std::string out = std::move(h.bytes());
    append_i32(out, spectrum_counts(p.channels, p.seed, p.live_seconds));
    return out;
}

std::string labo_old(const SourceParams& p) {
    check_params(p);
    std::string out = labo_old_header(p);
    append_i32(out, spectrum_counts(p.channels, p.seed, p.live_seconds));
    return out;
}

std::string labo_list(const SourceParams& p) {
    check_params(p);
    std::string out = labo_old_header(p);
    // The reader takes the count from the file's length. The header's count field holds the
    // channels after the two time values, so the file is not also a well-formed Labo(Old) file
    // (that would need a count equal to the values that follow the header).
    const std::size_t count_at = 56;
    const auto channels = static_cast<std::uint16_t>(p.channels - 2);
    out[count_at] = static_cast<char>(channels & 0xff);
    out[count_at + 1] = static_cast<char>(channels >> 8);
    append_i32(out, list_values(p));
    return out;
}

std::string make_source(Layout layout, const SourceParams& p) {
    switch (layout) {
        case Layout::canberra_txt:
            return canberra_txt(p);
        case Layout::labo_new:
            return labo_new(p);
        case Layout::kaihouken_dat:
            return kaihouken_dat(p);
        case Layout::kaihouken_csv:
            return kaihouken_csv(p);
        case Layout::labo_old:
            return labo_old(p);
        case Layout::labo_list:
            return labo_list(p);
        case Layout::kaihouken_txt:
            return kaihouken_txt(p);
        case Layout::oxford_asc:
            return oxford_asc(p);
    }
    throw std::invalid_argument("example source: unknown layout");
}

ExpectedConversion expected_conversion(Layout layout, const SourceParams& p) {
    check_params(p);
    const StartTime& t = p.start;
    const int n = p.channels;
    ExpectedConversion e;
    switch (layout) {
        case Layout::canberra_txt: {
            e = base(301, 1);
            e.num_channels = static_cast<std::int16_t>(n);
            // The times are read from six characters only.
            e.live_ticks = ticks_of_text(one_decimal(p.live_seconds).substr(0, 6));
            e.real_ticks = ticks_of_text(one_decimal(p.real_seconds).substr(0, 6));
            e.sample_desc = fit(as_stored(p.sample).substr(0, 63), 63);
            e.start_date = fit(
                widen(two(t.day) + month_upper[t.month - 1] + two(yy(t))) + century_mark(t.year),
                8);
            set_time(e, hhmm00(t));
            e.counts = spectrum_counts(n, p.seed, p.live_seconds);
            break;
        }
        case Layout::oxford_asc: {
            e = base(444, 1);
            e.num_channels = static_cast<std::int16_t>(n);
            e.live_ticks = ticks_of_text(two_decimals(p.live_seconds));
            e.real_ticks = ticks_of_text(two_decimals(p.real_seconds));
            // The ID text stands from column 5; the reader takes it from column 4, its blank.
            e.sample_desc = fit((U" " + as_stored(p.sample)).substr(0, 63), 63);
            // The day is written with two digits, so the date line is read as it stands.
            e.start_date = fit(
                widen(two(t.day) + month_mixed[t.month - 1] + two(yy(t))) + century_mark(t.year),
                8);
            set_time(e, hhmm00(t));
            e.energy_zero = static_cast<float>(parse(oxford_number(p.energy_zero)));
            e.energy_slope = static_cast<float>(parse(oxford_number(p.energy_slope)));
            e.energy_quad = static_cast<float>(parse(oxford_number(p.energy_quad)));
            e.counts = spectrum_counts(n, p.seed, p.live_seconds);
            break;
        }
        case Layout::kaihouken_dat: {
            e = expect_jaeri(p, 2, U"JAERI開放研file(dat) Date:", jaeri_short_header(p));
            std::vector<std::int32_t> v = dat_values(p);
            e.live_ticks = v[0] * 50;
            e.real_ticks = v[1] * 50;
            e.num_channels = power_of_two_above(static_cast<long long>(v.size()) - 10);
            e.counts = first(std::move(v), static_cast<std::size_t>(e.num_channels));
            break;
        }
        case Layout::kaihouken_csv: {
            e = expect_jaeri(p, 1, U"JAERI開放研file(csv) Date:", jaeri_short_header(p));
            e.live_ticks = whole_seconds(p.live_seconds) * 50;
            e.real_ticks = whole_seconds(p.real_seconds) * 50;
            e.num_channels = power_of_two_above(n - 1);  // one record per value
            e.counts =
                first(with_times(p, whole_seconds(p.live_seconds), whole_seconds(p.real_seconds)),
                      static_cast<std::size_t>(e.num_channels));
            break;
        }
        case Layout::kaihouken_txt: {
            e = expect_jaeri(p, 3, U"JAERI開放研file(txt) Date:", jaeri_long_header(p));
            e.live_ticks = ticks_of_text(two_decimals(p.live_seconds));
            e.real_ticks = ticks_of_text(two_decimals(p.real_seconds));
            e.num_channels = static_cast<std::int16_t>(n);
            e.counts = spectrum_counts(n, p.seed, p.live_seconds);
            break;
        }
        case Layout::labo_new: {
            e = base(101, 1);
            e.num_channels = static_cast<std::int16_t>(n);
            e.live_ticks = whole_seconds(p.live_seconds) * 50;
            e.real_ticks = whole_seconds(p.real_seconds) * 50;
            e.start_date = short_year_date(t);
            set_time(e, hhmmss(t));
            e.sample_desc = fit(field_chars(p.sample, 64).substr(0, 63), 63);
            e.energy_quad = static_cast<float>(p.energy_quad);
            e.energy_slope = static_cast<float>(p.energy_slope);
            e.energy_zero = static_cast<float>(p.energy_zero);
            e.counts = spectrum_counts(n, p.seed, p.live_seconds);
            break;
        }
        case Layout::labo_old:
        case Layout::labo_list: {
            const bool list = layout == Layout::labo_list;
            e = base(101, list ? 3 : 2);
            std::string date = labo_old_date(t);
            std::string time = labo_old_time(t);
            e.start_date = fit(widen(date.substr(7, 2) + date.substr(3, 3) + date.substr(0, 2)), 8);
            set_time(e, widen(time.substr(0, 2) + time.substr(3, 2) + time.substr(6, 2)));
            if (list) {
                // The count comes from the file's length less 1024, although the header takes
                // 1036 bytes, so three channels past the end read as 0.
                std::vector<std::int32_t> v = list_values(p);
                double length = static_cast<double>(labo_old_header_size + 4 * v.size());
                e.num_channels =
                    static_cast<std::int16_t>(round_half_even((length - 1024.0) / 4.0));
                e.live_ticks = v[0];
                e.real_ticks = v[1];
                e.sample_desc = fit(U"from Labo LIST data", 63);
                e.counts = first(std::move(v), static_cast<std::size_t>(e.num_channels));
            } else {
                e.num_channels = static_cast<std::int16_t>(n);
                e.live_ticks = whole_seconds(p.live_seconds) * 50;
                e.real_ticks = whole_seconds(p.real_seconds) * 50;
                e.sample_desc = fit(field_chars(p.sample, 32), 63);
                e.energy_quad = static_cast<float>(p.energy_quad);
                e.energy_slope = static_cast<float>(p.energy_slope);
                e.energy_zero = static_cast<float>(p.energy_zero);
                e.counts = spectrum_counts(n, p.seed, p.live_seconds);
            }
            break;
        }
    }
    return e;
}

const std::vector<ExampleFile>& example_files() {
    static const std::vector<ExampleFile> files = [] {
        auto params = [](int seed, double live, double real, StartTime start, std::u32string sample,
                         LineEnd end) {
            SourceParams p;
            p.channels = 512;
            p.seed = static_cast<std::uint64_t>(seed);
            p.live_seconds = live;
            p.real_seconds = real;
            p.start = start;
            p.sample = std::move(sample);
            p.line_end = end;
            return p;
        };
        std::vector<ExampleFile> f;
        f.push_back({"S0123.TXT", Layout::canberra_txt,
                     params(123, 1800.0, 1815.3, {2003, 7, 15, 9, 41, 20},
                            U"土壌試料 No.123 採取地点A", LineEnd::crlf)});

        SourceParams labo_new_p = params(702, 1200.0, 1250.0, {2002, 7, 5, 9, 5, 3},
                                         U"河川水試料 No.7 福島", LineEnd::crlf);
        labo_new_p.energy_zero = 0.42;
        labo_new_p.energy_slope = 2.9304;
        labo_new_p.energy_quad = 2.1e-6;
        f.push_back({"labo_new.spc", Layout::labo_new, labo_new_p});

        SourceParams ge1 =
            params(715, 3600.0, 3612.0, {2003, 7, 15, 9, 41, 20}, U"GE1 SOIL-07", LineEnd::crlf);
        f.push_back({"ge1_0715.dat", Layout::kaihouken_dat, ge1});
        f.push_back({"ge1_0715.csv", Layout::kaihouken_csv, ge1});

        SourceParams labo_old_p = params(216, 600.0, 603.0, {2002, 7, 16, 14, 23, 37},
                                         U"降下物 試料 16-2", LineEnd::crlf);
        labo_old_p.energy_slope = 2.93;
        f.push_back({"labo_old.spc", Layout::labo_old, labo_old_p});

        f.push_back({"labo_list.lst", Layout::labo_list,
                     params(1510, 300.0, 301.5, {2002, 7, 16, 15, 10, 5}, U"", LineEnd::crlf)});
        f.push_back({"kaihou.txt", Layout::kaihouken_txt,
                     params(716, 3600.25, 3611.76, {2003, 7, 16, 10, 2, 45}, U"GE2", LineEnd::lf)});

        SourceParams nai = params(705, 900.52, 912.38, {2003, 7, 5, 8, 30, 11},
                                  U"海水試料 NaI 測定 St.3", LineEnd::cr);
        nai.energy_zero = -1.25;
        nai.energy_slope = 3.05;
        nai.energy_quad = 1.2e-5;
        f.push_back({"nai_0705.asc", Layout::oxford_asc, nai});
        return f;
    }();
    return files;
}

}  // namespace brandel::tools
