#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace brandel::app {

/// One source of a batch as the manifest records it.
struct ManifestEntry {
    std::string time;  // UTC, ISO 8601: 2026-12-08T10:15:02Z
    std::string source;
    bool source_read = false;  // whether the size and digest below are the source's
    std::uint64_t source_size = 0;
    std::string source_sha256;
    std::string layout;                      // the type name it was read with; empty when none
    std::vector<std::string> outputs;        // the files written, none when it failed
    std::vector<std::string> output_sha256;  // one for each output
    bool converted = false;
    std::string reason;  // why it failed
    std::string notes;   // what the outputs could not keep
};

/// The header line of a manifest.
inline constexpr std::string_view manifest_header =
    "time,source,source_size,source_sha256,layout,outputs,output_sha256,version,outcome,reason,"
    "notes";

/// The time now, UTC, in ISO 8601 to the second.
std::string utc_time_now();

/// One line of the manifest (RFC 4180, UTF-8, ending in CR LF). Several outputs and their
/// digests stand in one cell each, joined by ";" in the same order.
std::string manifest_line(const ManifestEntry& entry);

/// The cells of one CSV record of a manifest, from `at` on; `at` moves past its line end.
/// Returns false at the end of the text or when the record is not well formed (an unclosed
/// quote), in which case `at` moves to the end.
bool next_csv_record(std::string_view text, std::size_t& at, std::vector<std::string>& cells);

/// A manifest file appended to: a new (or empty) file begins with a UTF-8 byte-order mark, so
/// that spreadsheets take it as UTF-8, and the header line. Each append is written with one
/// write and put on the disk, so a crash loses at most the line being written.
class ManifestFile {
  public:
    ManifestFile() = default;
    ~ManifestFile();
    ManifestFile(const ManifestFile&) = delete;
    ManifestFile& operator=(const ManifestFile&) = delete;

    /// Opens the file for appending; returns why it cannot be, empty when it is open.
    std::string open(const std::string& path);
    bool is_open() const { return fd_ >= 0; }
    /// Appends lines and puts them on the disk; returns why it could not, empty when done.
    std::string append(std::string_view lines);

  private:
    int fd_ = -1;
    std::string path_;
};

}  // namespace brandel::app
