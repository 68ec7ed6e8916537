#include "listing/chn_edits.hpp"

#include <array>
#include <exception>

#include "spectrum/chn_file.hpp"
#include "spectrum/codepage.hpp"
#include "spectrum/errors.hpp"
#include "spectrum/paths.hpp"
#include "spectrum/text.hpp"

namespace brandel::listing {

using spectrum::ErrorKind;
using spectrum::RecordSource;

namespace {

// Where the edited fields lie in a CHN file.
constexpr std::size_t seconds_tens_at = 6;
constexpr std::size_t seconds_units_at = 7;
constexpr std::size_t date_at = 16;
constexpr std::size_t date_width = 8;
constexpr std::size_t time_at = 24;
constexpr std::size_t time_seconds_at = 28;  // the time field's last two bytes
constexpr std::size_t channels_at = 30;
constexpr std::size_t sample_desc_len_at = 320;  // from the trailer's start
constexpr std::size_t sample_desc_at = 321;
constexpr std::size_t sample_desc_width = 63;
constexpr std::size_t comment_block_width = 64;  // the comment variant's comment block

// Lines of a message beyond which the rest is only counted.
constexpr std::size_t message_lines = 30;

bool is_digit(char32_t c) {
    return c >= U'0' && c <= U'9';
}

int two_digits(char32_t tens, char32_t units) {
    return static_cast<int>(tens - U'0') * 10 + static_cast<int>(units - U'0');
}

// The month number 1-12 of a three-letter month name in any case; 0 for anything else.
int month_number(std::u32string_view name) {
    static constexpr std::array<std::string_view, 12> names = {
        "jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
    if (name.size() != 3)
        return 0;
    for (std::size_t m = 0; m < names.size(); ++m) {
        bool same = true;
        for (std::size_t i = 0; i < 3; ++i) {
            char32_t c = name[i];
            if (c >= U'A' && c <= U'Z')
                c += U'a' - U'A';
            same = same && c == static_cast<char32_t>(names[m][i]);
        }
        if (same)
            return static_cast<int>(m) + 1;
    }
    return 0;
}

int days_in_month(int month, int year) {
    static constexpr std::array<int, 12> days = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[static_cast<std::size_t>(month - 1)];
}

// A file's name as a message shows it: on one line, whatever it holds.
std::string file_name_of(const std::string& path) {
    return spectrum::escape_name(spectrum::file_name_of(path));
}

// Text for a message: control characters written as escapes, so that a comment holding a line
// break stays on its line.
std::string shown(std::u32string_view text) {
    std::u32string out;
    for (char32_t c : text) {
        if (c == U'\n') {
            out += U"\\n";
        } else if (c == U'\r') {
            out += U"\\r";
        } else if (c == U'\t') {
            out += U"\\t";
        } else if (c < 0x20 || c == 0x7F) {
            static constexpr char hex[] = "0123456789ABCDEF";
            out += U"\\x";
            out += static_cast<char32_t>(hex[c >> 4]);
            out += static_cast<char32_t>(hex[c & 0xF]);
        } else {
            out += c;
        }
    }
    return spectrum::to_utf8(out);
}

// A comment in code page 932 as the writer encodes it, without the blanks around it and without
// padding.
std::string encoded(std::u32string_view text) {
    const std::u32string_view trimmed = spectrum::trim_blanks(text);
    // No character takes more than two bytes, so nothing is cut; the text ends in no blank, so
    // the blanks at the end are the encoder's padding.
    std::string bytes = spectrum::encode_cp932(trimmed, 2 * trimmed.size());
    bytes.resize(bytes.find_last_not_of(' ') + 1);  // npos + 1 is 0: all blank
    return bytes;
}

// The comment field of a file's layout, in bytes; 0 when the layout has none.
std::size_t comment_width(RecordSource layout) {
    switch (layout) {
        case RecordSource::chn_standard:
            return sample_desc_width;
        case RecordSource::chn_comment:
            return comment_block_width;
        default:
            return 0;
    }
}

bool is_chn_layout(RecordSource layout) {
    return layout == RecordSource::chn_standard || layout == RecordSource::chn_comment ||
           layout == RecordSource::chn_other;
}

std::string date_problem(std::u32string_view text) {
    return "start date '" + shown(text) + "' is not a date (DDMMMYYc, as 05Jul031)";
}

std::string time_problem(std::u32string_view text) {
    return "start time '" + shown(text) + "' is not a time (HHMMSS, as 142337)";
}

std::string comment_problem(RecordSource layout, std::u32string_view comment) {
    const std::size_t width = comment_width(layout);
    if (width == 0)
        return "the layout of this file has no place for a comment";
    const std::size_t size = encoded(comment).size();
    if (size > width)
        return "the comment takes " + std::to_string(size) + " bytes in code page 932; " +
               std::to_string(width) + " fit";
    return {};
}

bool has_ascii_digits(const std::string& bytes, std::size_t at) {
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    return digit(bytes[at]) && digit(bytes[at + 1]);
}

void set_time(std::string& bytes, std::u32string_view time) {
    if (!is_listing_time(time))
        spectrum::raise(ErrorKind::cannot_write, time_problem(time));
    std::string digits = spectrum::to_utf8(time);
    const unsigned char tens = static_cast<unsigned char>(bytes[seconds_tens_at]);
    const unsigned char units = static_cast<unsigned char>(bytes[seconds_units_at]);
    const std::string seconds = digits.substr(4, 2);
    bytes.replace(time_at, 4, digits, 0, 4);
    if (tens != 0 && units != 0) {
        // The standard layout: the seconds digits in the seconds bytes.
        bytes.replace(seconds_tens_at, 2, seconds);
        if (has_ascii_digits(bytes, time_seconds_at))
            bytes.replace(time_seconds_at, 2, seconds);
    } else if (tens != 0) {
        // The second stored as a number in the tens byte. A zero there means the time field holds
        // all six characters, so a second of 0 goes into the field's last two bytes.
        const int second = std::stoi(seconds);
        bytes[seconds_tens_at] = static_cast<char>(second);
        if (second == 0 || has_ascii_digits(bytes, time_seconds_at))
            bytes.replace(time_seconds_at, 2, seconds);
    } else {
        // Layouts that read the whole time field.
        bytes.replace(time_seconds_at, 2, seconds);
    }
}

void set_comment(std::string& bytes, std::size_t data_end, std::u32string_view comment) {
    const unsigned char tens = static_cast<unsigned char>(bytes[seconds_tens_at]);
    const unsigned char units = static_cast<unsigned char>(bytes[seconds_units_at]);
    const RecordSource layout = tens != 0 && units != 0 ? RecordSource::chn_standard
                                : units == 0            ? RecordSource::chn_comment
                                                        : RecordSource::chn_other;
    if (std::string problem = comment_problem(layout, comment); !problem.empty())
        spectrum::raise(ErrorKind::cannot_write, problem);
    const bool standard = layout == RecordSource::chn_standard;
    const std::size_t field_at = data_end + (standard ? sample_desc_at : 0);
    const std::size_t width = comment_width(layout);
    if (bytes.size() < field_at + width)
        spectrum::raise(ErrorKind::cannot_write,
                        standard ? "the file has no complete trailer to hold the comment"
                                 : "the file has no complete comment block");
    const std::string_view old_field = std::string_view(bytes).substr(field_at, width);
    const std::size_t length_at = data_end + sample_desc_len_at;
    const auto old_byte = static_cast<unsigned char>(standard ? bytes[length_at] : 0);
    // The length byte gives the comment's own length, as other programs write it, a full field
    // included; or it gives the whole field, 63 over a shorter blank-padded comment, as this
    // program's converter writes it. It keeps that meaning.
    const std::size_t old_length = old_field.find_last_not_of(std::string_view(" \0", 2)) + 1;
    const bool true_length = standard && old_byte == old_length;
    const bool whole_field = standard && old_byte == sample_desc_width && !true_length;
    // The field keeps the padding the file uses: NUL bytes when it holds any, else blanks; a
    // full field that other programs wrote gets theirs, NUL bytes.
    const bool nul_padded =
        old_field.find('\0') != std::string_view::npos || (old_length == width && true_length);
    std::string field = encoded(comment);
    const std::size_t length = field.size();
    field.resize(width, nul_padded ? '\0' : ' ');
    bytes.replace(field_at, width, field);
    if (standard && !whole_field)
        bytes[length_at] = static_cast<char>(length);
}

std::size_t savable_files(const std::vector<FileEdits>& edits) {
    std::size_t savable = 0;
    for (const FileEdits& file : edits)
        savable += file.problem.empty() ? 1 : 0;
    return savable;
}

}  // namespace

bool is_listing_date(std::u32string_view text) {
    if (text.size() != date_width)
        return false;
    const bool day_ok = (is_digit(text[0]) || text[0] == U' ') && is_digit(text[1]);
    if (!day_ok || !is_digit(text[5]) || !is_digit(text[6]))
        return false;
    const char32_t century = text[7];
    if (century != U'1' && century != U' ' && century != U'0')
        return false;
    const int month = month_number(text.substr(2, 3));
    if (month == 0)
        return false;
    const int day = text[0] == U' ' ? two_digits(U'0', text[1]) : two_digits(text[0], text[1]);
    const int year = (century == U'1' ? 2000 : 1900) + two_digits(text[5], text[6]);
    return day >= 1 && day <= days_in_month(month, year);
}

bool is_listing_time(std::u32string_view text) {
    if (text.size() != 6)
        return false;
    for (char32_t c : text)
        if (!is_digit(c))
            return false;
    return two_digits(text[0], text[1]) <= 23 && two_digits(text[2], text[3]) <= 59 &&
           two_digits(text[4], text[5]) <= 59;
}

std::string_view field_caption(EditedField field) {
    switch (field) {
        case EditedField::date:
            return "Date";
        case EditedField::time:
            return "Time";
        case EditedField::comment:
            return "comment";
    }
    return {};
}

std::string cell_problem(const ListedFile& file, int col, std::u32string_view text) {
    switch (col) {
        case date_column:
            return text == file.date || is_listing_date(text) ? std::string() : date_problem(text);
        case time_column:
            return text == file.time || is_listing_time(text) ? std::string() : time_problem(text);
        case comment_column:
            if (spectrum::trim_blanks(text) == spectrum::trim_blanks(file.comment))
                return {};
            return comment_problem(file.layout, spectrum::trim_blanks(text));
        default:
            return {};
    }
}

std::vector<FileEdits> collect_edits(const Grid& grid, const ListingState& listing) {
    std::vector<FileEdits> out;
    if (grid.cols() < listing_columns)
        return out;
    const int rows = std::min(grid.rows() - 1, static_cast<int>(listing.files.size()));
    for (int r = 1; r <= rows; ++r) {
        const ListedFile& file = listing.files[static_cast<std::size_t>(r - 1)];
        FileEdits edits;
        edits.row = r;
        edits.path = file.path;
        edits.stamp = file.stamp;
        std::vector<std::string> problems;
        const std::u32string date = grid.cell_text(r, date_column);
        const std::u32string time = grid.cell_text(r, time_column);
        const std::u32string comment = grid.cell_text(r, comment_column);
        if (date != file.date)
            edits.fields.push_back({EditedField::date, file.date, date});
        if (time != file.time)
            edits.fields.push_back({EditedField::time, file.time, time});
        const std::u32string_view old_comment = spectrum::trim_blanks(file.comment);
        const std::u32string_view new_comment = spectrum::trim_blanks(comment);
        if (new_comment != old_comment)
            edits.fields.push_back(
                {EditedField::comment, std::u32string(old_comment), std::u32string(new_comment)});
        if (edits.fields.empty())
            continue;
        if (!is_chn_layout(file.layout) || file.path.empty()) {
            problems.push_back("the row was not listed from a CHN file");
        } else {
            for (int col : {date_column, time_column, comment_column})
                if (std::string p = cell_problem(file, col, grid.cell_text(r, col)); !p.empty())
                    problems.push_back(p);
        }
        for (const std::string& p : problems)
            edits.problem += (edits.problem.empty() ? "" : "; ") + p;
        out.push_back(std::move(edits));
    }
    return out;
}

void apply_edits(std::string& bytes, const std::vector<FieldEdit>& edits) {
    if (bytes.size() < spectrum::chn_header_size)
        spectrum::raise(ErrorKind::cannot_write, "the file has no complete header");
    const auto channels = static_cast<std::int16_t>(
        static_cast<unsigned char>(bytes[channels_at]) |
        (static_cast<unsigned>(static_cast<unsigned char>(bytes[channels_at + 1])) << 8));
    const std::size_t data_end =
        spectrum::chn_header_size + 4 * static_cast<std::size_t>(channels > 0 ? channels : 0);
    std::string out = bytes;
    for (const FieldEdit& edit : edits) {
        switch (edit.field) {
            case EditedField::date:
                if (!is_listing_date(edit.new_text))
                    spectrum::raise(ErrorKind::cannot_write, date_problem(edit.new_text));
                out.replace(date_at, date_width, spectrum::encode_cp932(edit.new_text, date_width));
                break;
            case EditedField::time:
                set_time(out, edit.new_text);
                break;
            case EditedField::comment:
                set_comment(out, data_end, edit.new_text);
                break;
        }
    }
    bytes = std::move(out);
}

std::vector<SaveResult> save_edits(const std::vector<FileEdits>& edits, spectrum::FileOps& ops) {
    std::vector<SaveResult> results;
    for (const FileEdits& file : edits) {
        SaveResult& result = results.emplace_back();
        result.path = file.path;
        if (!file.problem.empty()) {
            result.reason = file.problem;
            continue;
        }
        try {
            spectrum::FileStamp now;
            std::string bytes = spectrum::read_chn_bytes(file.path, now);
            if (now != file.stamp) {
                result.reason = "it changed on disk since the listing was made";
                continue;
            }
            apply_edits(bytes, file.fields);
            spectrum::replace_file(spectrum::fs_path(file.path), bytes, ops);
            result.saved = true;
        } catch (const std::exception& e) {
            result.reason = e.what();
        }
    }
    return results;
}

std::string confirmation_text(const std::vector<FileEdits>& edits) {
    const std::size_t savable = savable_files(edits);
    if (savable == 0)
        return edits_list_text(edits);
    const std::string question =
        savable == 1 ? "Save these edits into 1 CHN file?"
                     : "Save these edits into " + std::to_string(savable) + " CHN files?";
    return question + "\n\n" + edits_list_text(edits);
}

std::string edits_list_text(const std::vector<FileEdits>& edits) {
    const std::size_t savable = savable_files(edits);
    std::string text;
    std::size_t lines = 0;
    for (const FileEdits& file : edits) {
        if (!file.problem.empty())
            continue;
        if (lines >= message_lines) {
            text += "\n... and more files.";
            break;
        }
        text += (lines == 0 ? "" : "\n") + file_name_of(file.path) + "\n";
        ++lines;
        for (const FieldEdit& f : file.fields) {
            const bool quoted = f.field == EditedField::comment;
            // A comment as the file will hold it: characters code page 932 lacks show as "?".
            const std::u32string stored =
                quoted ? spectrum::decode_cp932(encoded(f.new_text)) : f.new_text;
            const std::string q = quoted ? "\"" : "";
            text += "    " + std::string(field_caption(f.field)) + ": " + q + shown(f.old_text) +
                    q + " \u2192 " + q + shown(stored) + q + "\n";
        }
    }
    if (savable < edits.size()) {
        text += savable > 0 ? "\nThese edits cannot be saved; correct them first, or they are "
                              "dropped when the listing is made again:\n"
                            : "None of the edits can be saved:\n";
        lines = 0;
        for (const FileEdits& file : edits) {
            if (file.problem.empty())
                continue;
            if (lines++ >= message_lines) {
                text += "... and more files.\n";
                break;
            }
            text += file_name_of(file.path) + ": " + file.problem + "\n";
        }
    }
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text;
}

std::string save_report_text(const std::vector<SaveResult>& results) {
    std::size_t saved = 0;
    for (const SaveResult& r : results)
        saved += r.saved ? 1 : 0;
    const std::size_t total = results.size();
    std::string text = saved == total ? "Saved the edits into " + std::to_string(saved) +
                                            (saved == 1 ? " CHN file" : " CHN files")
                                      : "Saved the edits into " + std::to_string(saved) + " of " +
                                            std::to_string(total) + " CHN files";
    text += saved > 0 ? ":\n" : ".\n";
    std::size_t lines = 0;
    for (const SaveResult& r : results) {
        if (!r.saved)
            continue;
        if (lines++ >= message_lines) {
            text += "... and " + std::to_string(saved - message_lines) + " more.\n";
            break;
        }
        text += file_name_of(r.path) + "\n";
    }
    if (saved < total) {
        text += "\nNot saved:\n";
        lines = 0;
        for (const SaveResult& r : results) {
            if (r.saved)
                continue;
            if (lines++ >= message_lines) {
                text += "... and more.\n";
                break;
            }
            text += file_name_of(r.path) + ": " + r.reason + "\n";
        }
    }
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text;
}

}  // namespace brandel::listing
