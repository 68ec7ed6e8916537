#include "formats/notes.hpp"

#include <cmath>
#include <cstdint>
#include <string_view>

#include "spectrum/codepage.hpp"
#include "spectrum/numbers.hpp"
#include "spectrum/text.hpp"

namespace brandel::formats {
namespace {

using spectrum::SourceValues;
using spectrum::State;

constexpr std::size_t description_bytes = 63;

// The description without what ends it in a field or a line: blanks, NULs, control characters.
std::u32string_view trimmed_end(std::u32string_view text) {
    while (!text.empty() && (text.back() <= U' ' || text.back() == 0x7F))
        text.remove_suffix(1);
    return text;
}

// The code page 932 bytes of one character, as the CHN field stores it; empty when the code
// page lacks it (it is stored as "?").
std::string cp932_of(char32_t c) {
    const std::string two = spectrum::encode_cp932(std::u32string_view(&c, 1), 2);
    if (two[0] == '?' && c != U'?')
        return {};
    // A second byte of a double-byte character is never a blank, so a blank is padding.
    return two[1] == ' ' ? two.substr(0, 1) : two;
}

void note_description(const State& state, std::vector<std::string>& notes) {
    const SourceValues& source = state.source_values;
    const std::u32string_view text =
        trimmed_end(source.has_description ? std::u32string_view(source.description)
                                           : state.chn_trailer.sample_desc.view());
    std::size_t bytes = 0;
    std::size_t kept_chars = 0;
    std::size_t kept_bytes = 0;
    std::u32string lacking;
    std::size_t lacking_count = 0;
    for (const char32_t c : text) {
        const std::string encoded = cp932_of(c);
        const std::size_t size = encoded.empty() ? 1 : encoded.size();
        bytes += size;
        if (bytes > description_bytes)
            continue;
        ++kept_chars;
        kept_bytes = bytes;
        if (encoded.empty()) {
            ++lacking_count;
            if (lacking.size() < 8 && lacking.find(c) == std::u32string::npos)
                lacking += c;
        }
    }
    if (bytes > description_bytes)
        notes.push_back("description cut from " + std::to_string(text.size()) + " characters to " +
                        std::to_string(kept_bytes) + " bytes (" + std::to_string(kept_chars) +
                        " characters)");
    if (lacking_count > 0)
        notes.push_back(
            std::to_string(lacking_count) + (lacking_count == 1 ? " character" : " characters") +
            " that code page 932 lacks written as \"?\" (" + spectrum::to_utf8(lacking) + ")");
}

void note_time(const char* what, double seconds, std::int32_t ticks,
               std::vector<std::string>& notes) {
    if (seconds < 0)
        return;
    const double kept = ticks / 50.0;
    if (std::fabs(kept - seconds) > 1e-9 * std::max(1.0, seconds))
        notes.push_back(std::string(what) + " " + spectrum::number_text(seconds) +
                        " s rounded to " + spectrum::number_text(kept) + " s (steps of 20 ms)");
}

void note_energy(const State& state, std::vector<std::string>& notes) {
    const SourceValues& source = state.source_values;
    if (!source.has_energy)
        return;
    const float kept[3] = {state.chn_trailer.energy_zero, state.chn_trailer.energy_slope,
                           state.chn_trailer.energy_quad};
    const char* names[3] = {"energy zero", "energy slope", "energy quad"};
    for (int i = 0; i < 3; ++i) {
        const double exact = source.energy[static_cast<std::size_t>(i)];
        const double change = std::fabs(static_cast<double>(kept[i]) - exact);
        if (exact == 0 ? change == 0 : change <= 1e-6 * std::fabs(exact))
            continue;
        notes.push_back(std::string(names[i]) + " " + spectrum::number_text(exact) + " kept as " +
                        spectrum::float_text(kept[i]) + " (32-bit float)");
    }
}

// A CHN date is DDMMMYY and a century mark: a blank for 19xx, "1" for 20xx. Other programs read
// no other mark.
void note_year(const State& state, std::vector<std::string>& notes) {
    const std::u32string_view date = state.chn_header.start_date.view();
    const char32_t mark = date[7];
    if (mark < U'2' || mark > U'9' || date[5] < U'0' || date[5] > U'9' || date[6] < U'0' ||
        date[6] > U'9')
        return;
    const int year = (19 + static_cast<int>(mark - U'0')) * 100 +
                     static_cast<int>(date[5] - U'0') * 10 + static_cast<int>(date[6] - U'0');
    notes.push_back("the year " + std::to_string(year) +
                    " is outside 1900-2099, the years other programs read from a CHN date");
}

void note_counts(const State& state, std::vector<std::string>& notes) {
    if (!state.source_values.unsigned_counts)
        return;
    const std::int32_t* counts = state.counts.data();
    int above = 0;
    int first = -1;
    for (int k = 0; k < state.chn_header.num_channels && k < spectrum::Counts::capacity; ++k)
        if (counts[k] < 0 && above++ == 0)
            first = k;
    if (above == 0)
        return;
    const std::int64_t written = counts[first];
    std::string note = "channel " + std::to_string(first + 1) + ": the count " +
                       std::to_string(written + (std::int64_t{1} << 32)) +
                       " is above the signed 32-bit range and is written as " +
                       std::to_string(written);
    if (above > 1)
        note += " (" + std::to_string(above - 1) +
                (above == 2 ? " more such count)" : " more such counts)");
    notes.push_back(note);
}

}  // namespace

std::vector<std::string> conversion_notes(const State& state) {
    std::vector<std::string> notes;
    note_description(state, notes);
    note_time("live time", state.source_values.live_seconds, state.chn_header.live_time, notes);
    note_time("real time", state.source_values.real_seconds, state.chn_header.real_time, notes);
    note_energy(state, notes);
    note_year(state, notes);
    note_counts(state, notes);
    return notes;
}

std::string notes_text(const std::vector<std::string>& notes) {
    std::string text;
    for (const std::string& note : notes)
        text += (text.empty() ? "" : "; ") + note;
    return text;
}

std::string keeps_line(const std::vector<std::string>& notes) {
    return notes.empty() ? "CHN keeps: all" : "CHN keeps less: " + notes_text(notes);
}

}  // namespace brandel::formats
