#include "formats/spe.hpp"

#include <charconv>
#include <cmath>
#include <cstring>
#include <map>
#include <optional>

#include "formats/text_table.hpp"
#include "spectrum/codepage.hpp"
#include "spectrum/errors.hpp"
#include "spectrum/text.hpp"

namespace brandel::formats {

using spectrum::ErrorKind;
using spectrum::raise;

namespace {

constexpr std::string_view crlf = "\r\n";

// "07/15/2003 09:41:20"
void append_date(std::string& out, const StartDateTime& s) {
    auto two = [&out](int n) {
        out += static_cast<char>('0' + n / 10);
        out += static_cast<char>('0' + n % 10);
    };
    two(s.month);
    out += '/';
    two(s.day);
    out += '/';
    two(s.year / 100);
    two(s.year % 100);
    out += ' ';
    two(s.hour);
    out += ':';
    two(s.minute);
    out += ':';
    two(s.second);
}

// The counts one a line, each right-aligned in eight columns as the MCA programs write them.
// Written in place: a spectrum's lines cost no more than the digits.
void append_count_lines(std::string& out, std::span<const std::int32_t> counts) {
    constexpr std::size_t widest = 11 + 2;  // "-2147483648" and CR LF
    const std::size_t start = out.size();
    out.resize(start + widest * counts.size());
    char* p = out.data() + start;
    for (std::int32_t count : counts) {
        char digits[12];
        const auto end = std::to_chars(digits, digits + sizeof digits, count).ptr;
        const auto width = static_cast<std::size_t>(end - digits);
        if (width < 8) {
            std::memset(p, ' ', 8);  // then the digits over its end
            p += 8 - width;
        }
        std::memcpy(p, digits, width);
        p += width;
        p[0] = '\r';
        p[1] = '\n';
        p += 2;
    }
    out.resize(static_cast<std::size_t>(p - out.data()));
}

// The sections of an SPE file: where each starts and ends, by line.
struct Section {
    std::size_t first_line;  // the line after its "$NAME:" line
    std::size_t end_line;    // the next section's line, or the line count
};

// Whether a line is a section's line: "$", capital letters, digits or "_", ":", blanks.
std::optional<std::string_view> section_name(std::string_view line) {
    const std::size_t end = line.find_last_not_of(" \t");
    line = line.substr(0, end == std::string_view::npos ? 0 : end + 1);
    if (line.size() < 3 || line.front() != '$' || line.back() != ':')
        return std::nullopt;
    const std::string_view name = line.substr(1, line.size() - 2);
    for (char c : name)
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'))
            return std::nullopt;
    return name;
}

class SpeFile {
  public:
    explicit SpeFile(std::string_view bytes) : text_(bytes) {
        for (std::size_t i = 0; i < text_.line_count(); ++i) {
            const std::optional<std::string_view> name = section_name(text_.line(i));
            if (!name) {
                if (sections_.empty() && !text_.blank(i))
                    text_.fail(i, "is no $SECTION: line, so this is no SPE file");
                continue;
            }
            if (last_ != nullptr)
                last_->end_line = i;
            auto [it, added] = sections_.try_emplace(std::string(*name), Section{i + 1, i + 1});
            last_ = added ? &it->second : &ignored_;
        }
        if (last_ != nullptr)
            last_->end_line = text_.line_count();
        if (sections_.empty())
            raise(ErrorKind::unreadable, "the file holds no $SECTION: line, so it is no SPE file");
    }

    const TextTable& text() const { return text_; }

    // The section of a name, which must be there.
    const Section& section(std::string_view name) const {
        const Section* s = find(name);
        if (s == nullptr)
            raise(ErrorKind::unreadable, "the file has no $" + std::string(name) + ": section");
        return *s;
    }
    const Section* find(std::string_view name) const {
        const auto it = sections_.find(std::string(name));
        return it == sections_.end() ? nullptr : &it->second;
    }
    // The numbers of a section's first line that is not blank; at least `least` of them.
    std::vector<Token> first_numbers(std::string_view name, const Section& s,
                                     std::size_t least) const {
        for (std::size_t i = s.first_line; i < s.end_line; ++i)
            if (!text_.blank(i))
                return text_.numbers(i, least, "$" + std::string(name) + ":");
        raise(ErrorKind::unreadable, "the $" + std::string(name) + ": section is empty");
    }

  private:
    TextTable text_;
    std::map<std::string, Section> sections_;  // the first section of each name
    Section* last_ = nullptr;
    Section ignored_{};
};

StartDateTime read_date(const SpeFile& spe) {
    const Section& s = spe.section("DATE_MEA");
    const TextTable& text = spe.text();
    for (std::size_t i = s.first_line; i < s.end_line; ++i) {
        if (text.blank(i))
            continue;
        // mm/dd/yyyy hh:mm:ss, the seconds optional.
        const std::vector<std::string_view> fields = text.fields(i);
        StartDateTime start;
        int* parts[] = {&start.month, &start.day,    &start.year,
                        &start.hour,  &start.minute, &start.second};
        std::size_t got = 0;
        bool good = fields.size() == 2;
        for (std::size_t f = 0; good && f < 2; ++f) {
            std::string_view rest = fields[f];
            const char separator = f == 0 ? '/' : ':';
            while (good && !rest.empty() && got < 6) {
                const std::size_t cut = std::min(rest.find(separator), rest.size());
                const std::string_view part = rest.substr(0, cut);
                const auto [end, ec] =
                    std::from_chars(part.data(), part.data() + part.size(), *parts[got]);
                good = ec == std::errc() && end == part.data() + part.size() && !part.empty();
                ++got;
                rest = cut < rest.size() ? rest.substr(cut + 1) : std::string_view();
                if (f == 0 && got == 3) {
                    good = good && rest.empty() && part.size() == 4;
                    break;
                }
            }
            good = good && rest.empty();
        }
        if (!good || got < 5 || !is_valid(start))
            text.fail(i, "is not a date and time mm/dd/yyyy hh:mm:ss");
        return start;
    }
    raise(ErrorKind::unreadable, "the $DATE_MEA: section is empty");
}

// The counts of $DATA:: its first line gives the first and last channel.
std::vector<std::int32_t> read_counts(const SpeFile& spe) {
    const Section& s = spe.section("DATA");
    const std::vector<Token> range = spe.first_numbers("DATA", s, 2);
    const TextTable& text = spe.text();
    const std::size_t range_line = range[0].line;
    if (range.size() != 2 || range[0].value != 0 || std::floor(range[1].value) != range[1].value)
        text.fail(range_line, "is not the channel range \"0 N-1\" of $DATA:");
    if (range[1].value + 1 > spectrum::Counts::capacity)
        text.fail(range_line,
                  "names " + std::to_string(static_cast<long long>(range[1].value) + 1) +
                      " channels, at most " + std::to_string(spectrum::Counts::capacity) + " fit");
    const auto n = static_cast<std::size_t>(std::max(0.0, range[1].value + 1));
    std::vector<std::int32_t> counts;
    counts.reserve(n);
    for (std::size_t i = range_line + 1; i < s.end_line; ++i)
        text.read_counts(i, counts, n);
    if (counts.size() != n)
        raise(ErrorKind::end_of_file, "$DATA: holds " + std::to_string(counts.size()) + " of the " +
                                          std::to_string(n) + " counts its first line names");
    return counts;
}

void read_calibration(const SpeFile& spe, SpectrumValues& v) {
    const TextTable& text = spe.text();
    if (const Section* cal = spe.find("MCA_CAL")) {
        const std::vector<Token> count = spe.first_numbers("MCA_CAL", *cal, 1);
        const double n = count[0].value;
        if (count.size() != 1 || n < 1 || n > 3 || std::floor(n) != n)
            text.fail(count[0].line, "is not the number of terms (1 to 3) of $MCA_CAL:");
        const std::size_t terms_line = count[0].line + 1;
        if (terms_line >= cal->end_line)
            raise(ErrorKind::unreadable, "$MCA_CAL: has no line of terms");
        std::vector<std::string_view> fields = text.fields(terms_line);
        const auto terms = static_cast<std::size_t>(n);
        double scale = 1;
        if (fields.size() == terms + 1) {
            const std::string_view unit = fields.back();
            if (unit == "keV" || unit == "KEV" || unit == "kev")
                scale = 1;
            else if (unit == "MeV" || unit == "MEV" || unit == "mev")
                scale = 1000;
            else
                text.fail(terms_line, "gives the energy in " + quoted(unit) + ", not keV or MeV");
            fields.pop_back();
        }
        if (fields.size() != terms)
            text.fail(terms_line,
                      "does not hold the " + std::to_string(terms) + " terms that $MCA_CAL: names");
        double value[3] = {0, 0, 0};
        for (std::size_t k = 0; k < terms; ++k)
            if (!parse_number(fields[k], value[k]))
                text.fail(terms_line,
                          "holds " + quoted(fields[k]) + ", which is no number of $MCA_CAL:");
        v.energy_zero = value[0] * scale;
        v.energy_slope = value[1] * scale;
        v.energy_quad = value[2] * scale;
        return;
    }
    if (const Section* fit = spe.find("ENER_FIT")) {
        const std::vector<Token> terms = spe.first_numbers("ENER_FIT", *fit, 2);
        if (terms.size() > 3)
            text.fail(terms[0].line, "holds more than three terms of $ENER_FIT:");
        v.energy_zero = terms[0].value;
        v.energy_slope = terms[1].value;
        v.energy_quad = terms.size() > 2 ? terms[2].value : 0;
    }
}

SpectrumValues spe_values(std::string_view bytes) {
    constexpr std::string_view bom = "\xEF\xBB\xBF";
    const bool utf8 = bytes.starts_with(bom);
    if (utf8)
        bytes.remove_prefix(bom.size());
    const SpeFile spe(bytes);
    SpectrumValues v;

    const Section& id = spe.section("SPEC_ID");
    const std::string_view description =
        id.first_line < id.end_line ? spe.text().line(id.first_line) : std::string_view();
    v.description = utf8 ? spectrum::to_utf8(spectrum::from_utf8(description))
                         : spectrum::to_utf8(spectrum::decode_cp932(description));

    v.start = read_date(spe);
    const std::vector<Token> times = spe.first_numbers("MEAS_TIM", spe.section("MEAS_TIM"), 2);
    if (times.size() != 2 || times[0].value < 0 || times[1].value < 0)
        spe.text().fail(times[0].line, "is not the live and real time of $MEAS_TIM:");
    v.live_seconds = times[0].value;
    v.real_seconds = times[1].value;
    v.counts = read_counts(spe);
    read_calibration(spe, v);
    return v;
}

}  // namespace

std::string spe_bytes(const spectrum::State& state) {
    const SpectrumValues v = writable_values(state);
    const std::span<const std::int32_t> counts = channel_counts(state);
    const spectrum::ChnHeader& h = state.chn_header;
    const spectrum::ChnTrailer& t = state.chn_trailer;

    std::string out;
    out.reserve(300 + 10 * counts.size());
    out += "$SPEC_ID:\r\n";
    out += description_bytes(t);
    out += crlf;
    out += "$SPEC_REM:\r\nDETDESC# MCA ";
    append_integer(out, h.mca_number);
    out += ", segment ";
    append_integer(out, h.segment);
    out += "\r\nAP# Brandel & Korvin\r\n";
    out += "$DATE_MEA:\r\n";
    append_date(out, v.start);
    out += "\r\n$MEAS_TIM:\r\n";
    append_seconds(out, h.live_time);
    out += ' ';
    append_seconds(out, h.real_time);
    out += "\r\n$DATA:\r\n0 ";
    append_integer(out, static_cast<long long>(counts.size()) - 1);
    out += crlf;
    append_count_lines(out, counts);
    out += "$ENER_FIT:\r\n";
    append_terms(out, v, 2);
    out += "\r\n$MCA_CAL:\r\n3\r\n";
    append_terms(out, v, 3);
    out += " keV\r\n";
    return out;
}

FormatReading read_spe(std::string_view bytes) {
    return reading_of(spe_values, bytes);
}

}  // namespace brandel::formats
