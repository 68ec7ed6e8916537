#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "listing/grid.hpp"
#include "listing/listing.hpp"
#include "spectrum/atomic_file.hpp"

namespace brandel::listing {

/// Whether a Date cell holds a date as the listing shows it, DDMMMYYc: the day 1 to 31 (two
/// digits, or a blank and a digit), a month name in any case, two digits of the year and the
/// century mark, "1" for 2000-2099 or a blank (or "0") for 1900-1999. The day must exist in
/// that month and year (29Feb only in leap years).
bool is_listing_date(std::u32string_view text);

/// Whether a Time cell holds a time HHMMSS: six digits, hours 0-23, minutes and seconds 0-59.
bool is_listing_time(std::u32string_view text);

/// The fields of a CHN file that the listing can change.
enum class EditedField { date, time, comment };

/// The caption of a field in messages: "Date", "Time", "comment".
std::string_view field_caption(EditedField field);

/// One changed cell: the text as listed and the text to store (a comment without the blanks
/// around it).
struct FieldEdit {
    EditedField field = EditedField::date;
    std::u32string old_text;
    std::u32string new_text;
};

/// The edits of one listed file, and why they cannot be saved (empty when they can).
struct FileEdits {
    int row = 0;       // the grid row
    std::string path;  // the CHN file, UTF-8
    spectrum::FileStamp stamp;
    std::vector<FieldEdit> fields;
    std::string problem;
};

/// Why the text of an editable cell cannot be stored in the file of its row; empty when it can
/// (or the cell is not editable). A Date or Time that is not one, a comment that does not fit
/// its field in code page 932, a comment for a layout without one.
std::string cell_problem(const ListedFile& file, int col, std::u32string_view text);

/// The edits of a listing: one entry for each row whose Date, Time or comment cell no longer
/// holds the text it was listed with (blanks around a comment do not count), in row order.
std::vector<FileEdits> collect_edits(const Grid& grid, const ListingState& listing);

/// Changes the bytes of a CHN file for the given edits; no other byte changes.
///  - Date: the 8 bytes at offset 16.
///  - Time: the hours and minutes at offsets 24-27; the seconds where the file's layout keeps
///    them: as digits in the two seconds bytes (offsets 6-7) of a standard file, and at offsets
///    28-29 too when those already hold two digits (other programs keep a binary channel offset
///    there); as a number in byte 6 of a comment-variant file that stores it so; in the time
///    field's last two bytes where the layout reads the whole time field.
///  - Comment: the trailer's sample description and its length byte (standard layout), or the
///    64-byte comment block (comment variant), encoded in code page 932 and padded as the file
///    pads it (with NUL bytes or blanks). A length byte that gave the old comment's length in
///    bytes (a full 63 included) gives the new one's; 63 over a shorter blank-padded comment,
///    as the converter writes it, stays 63.
/// Raises a cannot-write error, leaving `bytes` unchanged, when an edit cannot be stored.
void apply_edits(std::string& bytes, const std::vector<FieldEdit>& edits);

/// What saving did for one file.
struct SaveResult {
    std::string path;
    bool saved = false;
    std::string reason;  // why it was not saved
};

/// Saves each file's edits: a file whose edits have a problem is not written; a file that is no
/// longer as it was listed (size, write time or bytes differ) is not written; every other file is
/// read, changed by apply_edits and replaced atomically. One result per entry, in order.
std::vector<SaveResult> save_edits(const std::vector<FileEdits>& edits,
                                   spectrum::FileOps& ops = spectrum::system_file_ops());

/// The confirmation before saving: each file and each field that will change (old -> new, the new
/// text as the file will hold it), then the files that will not be saved and why.
std::string confirmation_text(const std::vector<FileEdits>& edits);

/// The edits alone, as the confirmation lists them: each file and field that will change, then
/// the files that cannot be saved and why.
std::string edits_list_text(const std::vector<FileEdits>& edits);

/// The message after saving: the files saved, then the files not saved and why.
std::string save_report_text(const std::vector<SaveResult>& results);

}  // namespace brandel::listing
