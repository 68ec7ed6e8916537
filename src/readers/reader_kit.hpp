#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "spectrum/state.hpp"
#include "spectrum/text_source.hpp"

namespace brandel::readers {

/// How a reader ended. Only a complete reading may be written as a CHN file.
enum class Outcome {
    complete,
    key_not_found,   // a header key that no line of the file holds
    file_not_found,  // the source file or its folder does not exist
    read_error,      // the file ended early, a value did not fit, too many channels, ...
};

/// What a reader returns: its 16-bit status (-1 when the folder of the source path does not
/// exist, 0 otherwise) and its outcome with a reason a user can act on.
struct ReaderResult {
    std::int16_t status = 0;
    Outcome outcome = Outcome::complete;
    std::string reason;

    bool complete() const { return outcome == Outcome::complete; }
};

/// A source reader: reads the file named by org_path into the record.
using Reader = ReaderResult (*)(spectrum::State& state);

/// The codes that mark a source layout in the CHN header.
struct EntryDefaults {
    std::int16_t mca_number;
    std::int16_t segment;
};

/// Largest source file a reader loads; no spectrum of 17001 channels comes near it.
inline constexpr std::size_t max_source_bytes = std::size_t{256} << 20;

/// What makes one layout's reader: its entry defaults, the steps that read a file's bytes into
/// the record, and the layout's shape, a check of the bytes alone that raises, with a reason,
/// when the file cannot be of this layout (a text layout holding NUL bytes, a binary header
/// whose channel count disagrees with the file's size).
struct ReaderLayout {
    EntryDefaults defaults;
    void (*body)(spectrum::State& state, std::string_view bytes);
    void (*shape)(std::string_view bytes);
};

/// A source file loaded whole, or, when it could not be, why.
struct LoadedSource {
    bool loaded = false;
    std::string bytes;
    ReaderResult failure;  // the outcome when not loaded
};

/// Loads the file at `path` whole, as a reader loads it (bounded by max_source_bytes). Never
/// raises: a file that cannot be loaded gives its outcome, reason and status in `failure`.
LoadedSource load_source_file(const std::string& path);

/// The frame every reader runs in. It returns the record and text_buf to their start-up state,
/// sets the entry defaults (energy terms 0, 1, 0; the layout's mca_number and segment;
/// num_channels 0; trailer_type -102 for a trailer with three energy terms), loads the file
/// named by org_path whole and reads its bytes as read_source does. Every error raised inside
/// is caught here, once, and becomes the outcome; nothing escapes. When `source` is given it
/// receives the loaded bytes, so a caller can look at a file that did not read without opening
/// it again.
ReaderResult run_reader(spectrum::State& state, const ReaderLayout& layout,
                        LoadedSource* source = nullptr);

/// Reads a source loaded beforehand (by load_source_file) exactly as run_reader reads the file
/// named by org_path: the same clean start and entry defaults, and a source that could not be
/// loaded ends with the outcome, reason and status it was given.
ReaderResult read_loaded(spectrum::State& state, const ReaderLayout& layout,
                         const LoadedSource& source);

/// Reads bytes already loaded into the record under one layout, with the same clean start and
/// entry defaults as run_reader, and writes nothing. After the layout's steps the reading must
/// make sense (check_reading) and the bytes must have the layout's shape; only then is it
/// complete.
ReaderResult read_source(spectrum::State& state, const ReaderLayout& layout,
                         std::string_view bytes);

/// What every reading must hold after the layout's steps, whichever the layout: the start date
/// is a date (day 1 to 31, a month name in any case, a two-digit year), the start time a time
/// (hours 0-23, minutes and seconds 0-59), each two-character number written as two digits or
/// as a blank and a digit; the live and real times are not negative. Raises a read error that
/// says what was found ("start date '  NB1' is not a date").
void check_reading(const spectrum::ChnHeader& header);

/// Shape of the text layouts: no NUL byte in the first kilobyte.
void require_text_shape(std::string_view bytes);

/// Raises the key-not-found error of a header key: header key "Live Time" not found.
[[noreturn]] void key_not_found(std::string_view key);

/// The index (from 0) of the first line that holds `key` anywhere, ignoring the case of its
/// letters; raises key-not-found when no line does. Every search starts again at the top.
std::size_t find_key_line(const spectrum::TextSource& text, std::string_view key);

/// The first line that holds `key`, as find_key_line finds it.
std::u32string_view key_line(const spectrum::TextSource& text, std::string_view key);

/// A channel's count rounded into 32 bits, halves to even. A value that does not fit raises an
/// overflow error naming the line (from 1) and the channel (from 1); the message is only built
/// then, so a loop over the channels allocates nothing.
std::int32_t rounded_channel_count(double value, int channel, std::size_t line);
inline std::int32_t channel_count(double value, int channel, std::size_t line) {
    // Nearly every count is a whole number already.
    if (value >= -2147483648.0 && value <= 2147483647.0) {
        const auto whole = static_cast<std::int32_t>(value);
        if (static_cast<double>(whole) == value)
            return whole;
    }
    return rounded_channel_count(value, channel, line);
}

/// Reads a table of records of `width` fields (1 to 3) whose field `taken` (from 0) is a channel's
/// count, channel k's from record k, into the counts from channel 1: `records` records, or when
/// it is negative every record to the end of the text. Each field is read as next_number reads
/// it and each count as channel_count rounds it, naming the line where the count starts; records
/// of plain whole numbers are read many at a time. Returns the number of records read.
int read_count_table(spectrum::FieldReader& in, spectrum::Counts& counts, std::size_t width,
                     std::size_t taken, int records);

/// A channel count taken from the file must not be negative (0 is an empty spectrum).
void check_channel_count(std::int32_t count);

/// Completes start_time and the seconds bytes: a blank third character of start_time becomes
/// "0"; start_sec_tens and start_sec_units become the character codes of "0" plus the digits of
/// the fifth and sixth characters (a character that is not a digit counts 0).
void finish_start_time(spectrum::ChnHeader& header);

/// Stores a sample text the way the text layouts do: text_buf takes it blank-padded to 64,
/// sample_desc_len becomes 63, and text_buf and sample_desc keep its first 63 characters.
void set_sample_text(spectrum::State& state, std::u32string_view text);

/// The century mark from two century digits: the decimal text of their value less 19, with
/// "0" written as one blank (20 gives "1", 19 gives " ").
std::u32string century_mark_from_digits(std::u32string_view digits);

/// The century mark from a year within its century: "1" below 70, a blank otherwise.
std::u32string century_mark_from_year(double year);

/// The decimal text of a number with at least two digits (5 gives 05, 123 gives 123).
std::u32string two_digits(long value);

}  // namespace brandel::readers
