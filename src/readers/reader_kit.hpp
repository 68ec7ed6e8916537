#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "spectrum/errors.hpp"
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

/// A header value of a text layout: the leading number of columns `first` to `last` of the first
/// line that holds `key` (as find_key_line finds it), and the index of that line.
struct KeyValue {
    double value;
    std::size_t line;
};
KeyValue key_value(const spectrum::TextSource& text, std::string_view key, std::size_t first,
                   std::size_t last);

/// The first line that holds `key`, as find_key_line finds it.
std::u32string_view key_line(const spectrum::TextSource& text, std::string_view key);

/// A channel's count rounded into 32 bits, halves to even. A value that does not fit raises an
/// overflow error that quotes the count as written, `field` (code page 932 bytes), with its line
/// (from 1) and channel (from 1): "line 11: the count '2147483648' of channel 3 is out of range
/// (-2147483648 to 2147483647)". The message is only built then, so a loop over the channels
/// allocates nothing.
std::int32_t rounded_channel_count(double value, int channel, std::size_t line,
                                   std::string_view field);
inline std::int32_t channel_count(double value, int channel, std::size_t line,
                                  std::string_view field) {
    // Nearly every count is a whole number already.
    if (value >= -2147483648.0 && value <= 2147483647.0) {
        const auto whole = static_cast<std::int32_t>(value);
        if (static_cast<double>(whole) == value)
            return whole;
    }
    return rounded_channel_count(value, channel, line, field);
}

/// Reads a table of records of `width` fields (1 to 3) whose field `taken` (from 0) is a channel's
/// count, channel k's from record k, into the counts from channel 1: `records` records, or when
/// it is negative every record to the end of the text. Each field is read as next_number reads
/// it and each count as channel_count rounds it, naming the line where the count starts; records
/// of plain whole numbers are read many at a time. Returns the number of records read.
int read_count_table(spectrum::FieldReader& in, spectrum::Counts& counts, std::size_t width,
                     std::size_t taken, int records);

// A failure's reason quotes what the file holds where the user would look for it: a text
// layout's line as written, with its number, and a binary layout's field with its byte offset.
// `where` below is called only when a value is refused; it gives the start of the reason, the
// place and the field ("line 5: the channel count 'Channel No  : -5'", "byte 56: the channel
// count -5"), and the check adds what is wrong with it.

/// Text as a reason quotes it: control characters written as \xNN, and at most 120 characters,
/// a longer text cut and ended with "...". Bytes are code page 932.
std::string quote_text(std::u32string_view text);
std::string quote_bytes(std::string_view bytes);

/// The start of a reason that quotes line i (from 0) as written: "line 7: the date 'Acquisition
/// Date: 09-01-2026 14:14:58'" for `what` "date".
std::string quoted_line(const spectrum::TextSource& text, std::size_t i, std::string_view what);

/// A `where` for the checks below that quotes line i (from 0) as `what`.
inline auto line_where(const spectrum::TextSource& text, std::size_t i, const char* what) {
    return [&text, i, what] { return quoted_line(text, i, what); };
}

/// Raises a read error: where + " " + problem.
[[noreturn]] void refuse(spectrum::ErrorKind kind, const std::string& where,
                         std::string_view problem);

/// Whether the record's start date is a date and its start time a time, as check_reading wants.
bool is_start_date(const spectrum::ChnHeader& header);
bool is_start_time(const spectrum::ChnHeader& header);

/// Checks the start date and time just read: one that is not a date or not a time raises
/// "<where(true)> is not <date_form>" or "<where(false)> is not <time_form>".
template <class Where>
void check_start(const spectrum::ChnHeader& header, Where&& where, std::string_view date_form,
                 std::string_view time_form) {
    if (!is_start_date(header))
        refuse(spectrum::ErrorKind::unreadable, where(true), "is not " + std::string(date_form));
    if (!is_start_time(header))
        refuse(spectrum::ErrorKind::unreadable, where(false), "is not " + std::string(time_form));
}

/// A time in seconds as ticks of 20 ms, rounded halves to even. One that is negative, or too long
/// for 32 bits, raises: "<where> is negative", "<where> is out of range (at most 42949672.94 s)".
[[noreturn]] void refuse_time(double seconds, const std::string& where);
template <class Where>
std::int32_t ticks_of(double seconds, Where&& where) {
    const double ticks = std::nearbyint(seconds * 50.0);  // halves to even
    if (ticks >= 0.0 && ticks <= 2147483647.0)
        return static_cast<std::int32_t>(ticks);
    refuse_time(seconds, where());
}

/// Keeps the live and real times as the source wrote them, before their rounding to 20 ms.
inline void keep_seconds(spectrum::State& state, double live, double real) {
    state.source_values.live_seconds = live;
    state.source_values.real_seconds = real;
}

/// Keeps the sample description as the source holds it, before it is cut to its field.
inline void keep_description(spectrum::State& state, std::u32string_view text) {
    state.source_values.has_description = true;
    state.source_values.description.assign(text);
}

/// A number rounded into 16 bits, halves to even; one out of range raises "<where> is out of
/// range (-32768 to 32767)".
template <class Where>
std::int16_t int16_of(double value, Where&& where) {
    const double r = std::nearbyint(value);
    if (r >= -32768.0 && r <= 32767.0)
        return static_cast<std::int16_t>(r);
    refuse(spectrum::ErrorKind::overflow, where(), "is out of range (-32768 to 32767)");
}

/// A channel count taken from the file must not be negative (0 is an empty spectrum) nor more
/// than the record holds: "<where> is negative", "<where> is more than the 17001 channels that
/// fit".
[[noreturn]] void refuse_channel_count(std::int32_t count, const std::string& where);
template <class Where>
void check_channel_count(std::int32_t count, Where&& where) {
    if (count < 0 || count > spectrum::Counts::capacity)
        refuse_channel_count(count, where());
}

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
