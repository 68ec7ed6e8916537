#include "formats/n42.hpp"

#include <charconv>
#include <cmath>

#include "formats/xml.hpp"
#include "spectrum/errors.hpp"
#include "spectrum/text.hpp"

namespace brandel::formats {

using spectrum::ErrorKind;
using spectrum::raise;

namespace {

// The parts of the document before the counts and after them. The ids tie the spectrum to its
// detector and its calibration.
constexpr std::string_view head =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<RadInstrumentData xmlns=\"http://physics.nist.gov/N42/2011/N42\">\n"
    "  <RadInstrumentDataCreatorName>Brandel &amp; Korvin</RadInstrumentDataCreatorName>\n"
    "  <RadInstrumentInformation id=\"instrument\">\n"
    "    <RadInstrumentManufacturerName>Unknown</RadInstrumentManufacturerName>\n"
    "    <RadInstrumentModelName>Unknown</RadInstrumentModelName>\n"
    "    <RadInstrumentDescription>MCA ";
constexpr std::string_view instrument_end =
    "</RadInstrumentDescription>\n"
    "    <RadInstrumentClassCode>Other</RadInstrumentClassCode>\n"
    "    <RadInstrumentVersion>\n"
    "      <RadInstrumentComponentName>Converter</RadInstrumentComponentName>\n"
    "      <RadInstrumentComponentVersion>Brandel &amp; Korvin</RadInstrumentComponentVersion>\n"
    "    </RadInstrumentVersion>\n"
    "  </RadInstrumentInformation>\n"
    "  <RadDetectorInformation id=\"detector\">\n"
    "    <RadDetectorCategoryCode>Gamma</RadDetectorCategoryCode>\n"
    "    <RadDetectorKindCode>Other</RadDetectorKindCode>\n"
    "  </RadDetectorInformation>\n"
    "  <EnergyCalibration id=\"energy\">\n"
    "    <CoefficientValues>";
constexpr std::string_view tail =
    "</ChannelData>\n"
    "    </Spectrum>\n"
    "  </RadMeasurement>\n"
    "</RadInstrumentData>\n";

void append_duration(std::string& out, std::int32_t ticks) {
    out += "PT";
    append_seconds(out, ticks);
    out += 'S';
}

// "2003-07-15T09:41:20"
void append_date_time(std::string& out, const StartDateTime& s) {
    auto digits = [&out](int n, int width) {
        char buffer[4];
        for (int k = width - 1; k >= 0; --k, n /= 10)
            buffer[k] = static_cast<char>('0' + n % 10);
        out.append(buffer, static_cast<std::size_t>(width));
    };
    digits(s.year, 4);
    out += '-';
    digits(s.month, 2);
    out += '-';
    digits(s.day, 2);
    out += 'T';
    digits(s.hour, 2);
    out += ':';
    digits(s.minute, 2);
    out += ':';
    digits(s.second, 2);
}

// --- reading ---

const XmlElement& required(const XmlElement& parent, std::string_view name) {
    const XmlElement* e = parent.child(name);
    if (e == nullptr)
        raise(ErrorKind::unreadable, "<" + parent.name + "> on line " +
                                         std::to_string(parent.line) + " has no <" +
                                         std::string(name) + ">");
    return *e;
}

[[noreturn]] void bad_value(const XmlElement& e, std::string_view value, std::string_view what) {
    raise(ErrorKind::unreadable, "<" + e.name + "> on line " + std::to_string(e.line) + " holds " +
                                     quoted(value) + ", which is not " + std::string(what));
}

std::string_view trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// The blank-separated items of a list element.
std::vector<std::string_view> items(std::string_view text) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (true) {
        i = text.find_first_not_of(" \t\r\n", i);
        if (i == std::string_view::npos)
            return out;
        const std::size_t end = std::min(text.find_first_of(" \t\r\n", i), text.size());
        out.push_back(text.substr(i, end - i));
        i = end;
    }
}

// An xs:duration of days, hours, minutes and seconds ("PT1815.34S", "P0DT1H0M2.5S"); years and
// months have no fixed length and must be 0.
double duration_seconds(const XmlElement& e) {
    const std::string_view text = trimmed(e.text);
    std::string_view rest = text;
    if (!rest.starts_with('P') || rest.size() < 3)
        bad_value(e, text, "a duration");
    rest.remove_prefix(1);
    double seconds = 0;
    bool in_time = false;
    while (!rest.empty()) {
        if (rest.front() == 'T' && !in_time) {
            in_time = true;
            rest.remove_prefix(1);
            continue;
        }
        const std::size_t unit = rest.find_first_of("YMDHS");
        double value = 0;
        if (unit == std::string_view::npos || !parse_number(rest.substr(0, unit), value) ||
            value < 0)
            bad_value(e, text, "a duration");
        const char u = rest[unit];
        if (!in_time && (u == 'Y' || u == 'M')) {
            if (value != 0)
                bad_value(e, text, "a duration without years or months");
        } else if (!in_time && u == 'D') {
            seconds += value * 86400;
        } else if (in_time && u == 'H') {
            seconds += value * 3600;
        } else if (in_time && u == 'M') {
            seconds += value * 60;
        } else if (in_time && u == 'S') {
            seconds += value;
        } else {
            bad_value(e, text, "a duration of days, hours, minutes and seconds");
        }
        rest.remove_prefix(unit + 1);
    }
    return seconds;
}

// An xs:dateTime; fractions of a second and a zone are passed over, the clock time is kept as
// written.
StartDateTime date_time(const XmlElement& e) {
    const std::string_view text = trimmed(e.text);
    StartDateTime s;
    auto number = [&](std::size_t at, std::size_t width, char after) {
        int n = 0;
        for (std::size_t k = at; k < at + width; ++k) {
            if (k >= text.size() || text[k] < '0' || text[k] > '9')
                bad_value(e, text, "a date and time");
            n = n * 10 + (text[k] - '0');
        }
        if (after != 0 && (at + width >= text.size() || text[at + width] != after))
            bad_value(e, text, "a date and time");
        return n;
    };
    s.year = number(0, 4, '-');
    s.month = number(5, 2, '-');
    s.day = number(8, 2, 'T');
    s.hour = number(11, 2, ':');
    s.minute = number(14, 2, ':');
    s.second = number(17, 2, 0);
    std::string_view rest = text.substr(19);
    if (rest.starts_with('.')) {
        rest.remove_prefix(1);
        while (!rest.empty() && rest.front() >= '0' && rest.front() <= '9')
            rest.remove_prefix(1);
    }
    if (!(rest.empty() || rest == "Z" ||
          (rest.size() == 6 && (rest[0] == '+' || rest[0] == '-') && rest[3] == ':')))
        bad_value(e, text, "a date and time");
    if (!is_valid(s))
        bad_value(e, text, "a day of the calendar and a time of the clock");
    return s;
}

std::vector<std::int32_t> channel_data(const XmlElement& e) {
    const std::string* compression = e.attribute("compressionCode");
    const bool counted_zeroes = compression != nullptr && trimmed(*compression) == "CountedZeroes";
    if (compression != nullptr && !counted_zeroes && trimmed(*compression) != "None")
        bad_value(e, *compression, "a compression this program reads");
    std::vector<std::int32_t> counts;
    const std::vector<std::string_view> values = items(e.text);
    counts.reserve(values.size());
    for (std::size_t k = 0; k < values.size(); ++k) {
        double value = 0;
        if (!parse_number(values[k], value))
            bad_value(e, values[k], "a count");
        value = std::nearbyint(value);
        if (!(value >= INT32_MIN && value <= INT32_MAX))
            bad_value(e, values[k], "a count of 32 bits");
        if (counted_zeroes && value == 0) {
            // A zero is followed by how many zeros it stands for.
            double zeros = 0;
            if (++k >= values.size() || !parse_number(values[k], zeros) || zeros < 0 ||
                std::floor(zeros) != zeros || zeros > spectrum::Counts::capacity)
                bad_value(e, k < values.size() ? values[k] : "", "a number of zeros");
            counts.insert(counts.end(), static_cast<std::size_t>(zeros), 0);
        } else {
            counts.push_back(static_cast<std::int32_t>(value));
        }
        if (counts.size() > static_cast<std::size_t>(spectrum::Counts::capacity))
            raise(ErrorKind::out_of_range,
                  "<ChannelData> on line " + std::to_string(e.line) + " holds more than " +
                      std::to_string(spectrum::Counts::capacity) + " channels");
    }
    return counts;
}

void read_calibration(const XmlElement& root, const XmlElement& spectrum, SpectrumValues& v) {
    const std::string* reference = spectrum.attribute("energyCalibrationReference");
    if (reference == nullptr)
        return;
    for (const XmlElement& e : root.children) {
        const std::string* id = e.attribute("id");
        if (e.name != "EnergyCalibration" || id == nullptr || *id != *reference)
            continue;
        const XmlElement* coefficients = e.child("CoefficientValues");
        if (coefficients == nullptr)
            return;  // energies given channel by channel: no polynomial
        const std::vector<std::string_view> terms = items(coefficients->text);
        double value[3] = {0, 0, 0};
        for (std::size_t k = 0; k < terms.size(); ++k) {
            double term = 0;
            if (!parse_number(terms[k], term))
                bad_value(*coefficients, terms[k], "a number");
            if (k >= 3 && term != 0)
                bad_value(*coefficients, coefficients->text, "a calibration of three terms");
            if (k < 3)
                value[k] = term;
        }
        v.energy_zero = value[0];
        v.energy_slope = value[1];
        v.energy_quad = value[2];
        return;
    }
    raise(ErrorKind::unreadable, "<Spectrum> on line " + std::to_string(spectrum.line) +
                                     " refers to the energy calibration " + quoted(*reference) +
                                     ", which the document does not hold");
}

SpectrumValues n42_values(std::string_view bytes) {
    const XmlElement root = parse_xml(bytes);
    if (root.name != "RadInstrumentData")
        raise(ErrorKind::unreadable,
              "the root element is <" + root.name + ">, not the <RadInstrumentData> of N42-2012");
    const XmlElement* measurement = nullptr;
    for (const XmlElement& e : root.children)
        if (measurement == nullptr && e.name == "RadMeasurement" && e.child("Spectrum") != nullptr)
            measurement = &e;
    if (measurement == nullptr)
        raise(ErrorKind::unreadable, "the document holds no <RadMeasurement> with a <Spectrum>");
    const XmlElement& spectrum = required(*measurement, "Spectrum");

    SpectrumValues v;
    v.counts = channel_data(required(spectrum, "ChannelData"));
    v.live_seconds = duration_seconds(required(spectrum, "LiveTimeDuration"));
    v.real_seconds = duration_seconds(required(*measurement, "RealTimeDuration"));
    v.start = date_time(required(*measurement, "StartDateTime"));
    if (const XmlElement* remark = measurement->child("Remark"))
        v.description = spectrum::to_utf8(spectrum::from_utf8(remark->text));
    read_calibration(root, spectrum, v);
    return v;
}

}  // namespace

std::string n42_bytes(const spectrum::State& state) {
    const SpectrumValues v = writable_values(state);
    const std::span<const std::int32_t> counts = channel_counts(state);
    const spectrum::ChnHeader& h = state.chn_header;
    if (h.real_time == 0)  // the schema wants a real time above 0
        raise(ErrorKind::cannot_write,
              "the real time is 0 s, and an N42 file needs a real time above 0");

    std::string out;
    out.reserve(2000 + 9 * counts.size());
    out += head;
    append_integer(out, h.mca_number);
    out += ", segment ";
    append_integer(out, h.segment);
    out += instrument_end;
    append_terms(out, v, 3);
    out += "</CoefficientValues>\n  </EnergyCalibration>\n  <RadMeasurement id=\"measurement\">\n";
    if (!v.description.empty()) {
        out += "    <Remark>";
        append_xml_text(out, v.description);
        out += "</Remark>\n";
    }
    out += "    <MeasurementClassCode>NotSpecified</MeasurementClassCode>\n    <StartDateTime>";
    append_date_time(out, v.start);
    out += "</StartDateTime>\n    <RealTimeDuration>";
    append_duration(out, h.real_time);
    out +=
        "</RealTimeDuration>\n"
        "    <Spectrum id=\"spectrum\" radDetectorInformationReference=\"detector\" "
        "energyCalibrationReference=\"energy\">\n"
        "      <LiveTimeDuration>";
    append_duration(out, h.live_time);
    out += "</LiveTimeDuration>\n      <ChannelData compressionCode=\"None\">";
    // The counts written in place, each with a blank after it but the last.
    std::size_t at = out.size();
    out.resize(at + 12 * counts.size());
    for (std::int32_t count : counts) {
        at = static_cast<std::size_t>(
            std::to_chars(out.data() + at, out.data() + out.size(), count).ptr - out.data());
        out[at++] = ' ';
    }
    out.resize(counts.empty() ? at : at - 1);
    out += tail;
    return out;
}

FormatReading read_n42(std::string_view bytes) {
    return reading_of(n42_values, bytes);
}

}  // namespace brandel::formats
