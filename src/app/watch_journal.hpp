#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The journal of a watched folder: one line per version of a source file that was converted or
// failed, kept in the destination folder so that a restarted watcher converts only what is new
// or changed. Each line is appended with one write and put on the disk before the next file is
// taken, so a crash can cut at most the last line, which is then ignored.

namespace brandel::app {

/// The journal's file name in the destination folder.
inline constexpr std::string_view journal_file_name = ".brandel-watch.tsv";

/// The digest field of an entry that is not a regular file (it has no bytes to digest).
inline constexpr std::string_view no_digest = "-";

/// One version of a source file and what became of it.
struct JournalEntry {
    std::string time;    // UTC, ISO 8601, when it was settled
    std::string source;  // the file's name in the watched folder
    std::uint64_t size = 0;
    std::int64_t modified = 0;  // modification time in the file system's own ticks
    std::string sha256;         // 64 hex digits, or no_digest
    bool converted = false;
    std::string type;  // the watch's type ("auto" or a type name): a failure under one type
                       // is tried again under another
    std::vector<std::string> outputs;  // file names written, when converted
    std::string reason;                // why not, when failed
};

/// The journal's first line, which names its columns.
inline constexpr std::string_view journal_header =
    "# time\tsource\tsize\tmtime\tsha256\toutcome\ttype\toutputs or reason\n";

/// One line of the journal, ending in LF. Names and reasons are escaped so that a TAB or a line
/// break inside them keeps the line whole: "\t", "\n", "\r" and "\\".
std::string journal_line(const JournalEntry& entry);

/// Parses one line without its LF; false when it is not a whole entry.
bool parse_journal_line(std::string_view line, JournalEntry& entry);

/// The entries of a journal's text, in order. Comment lines are skipped; a line that is not a
/// whole entry, the last one without its LF included (a crash while it was written), is left
/// out and counted in `damaged` when given.
std::vector<JournalEntry> parse_journal(std::string_view text, int* damaged = nullptr);

/// The journal file of a destination folder, open and locked for as long as it lives. The lock
/// belongs to the open file, so the system releases it when the process ends, however it ends.
class JournalFile {
  public:
    JournalFile() = default;
    ~JournalFile();
    JournalFile(const JournalFile&) = delete;
    JournalFile& operator=(const JournalFile&) = delete;

    /// Opens (or creates) the journal in `folder` (ending in a separator) and locks it; `text`
    /// receives what it holds. A last line cut short by a crash is removed from the file. Returns
    /// why it cannot be, empty when it is open: another watcher that holds the lock is told by name
    /// ("another watcher is converting into ...").
    std::string open(const std::string& folder, std::string& text);
    bool is_open() const { return fd_ >= 0; }
    const std::string& path() const { return path_; }
    /// Whether the file open is still the one the journal's path names: false when it was
    /// removed or replaced (its folder removed and made again), so lines would go nowhere.
    bool in_place() const;
    /// Appends bytes with one write and puts them on the disk; returns why it could not.
    std::string append(std::string_view bytes);

  private:
    int fd_ = -1;
    std::string path_;
};

}  // namespace brandel::app
