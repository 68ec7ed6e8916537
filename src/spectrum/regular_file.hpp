#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace brandel::spectrum {

/// Reads a regular file whole. Anything else (a FIFO, a device, a socket, a folder) is refused
/// ("not a regular file") before it is opened, and the open itself does not wait, so no such
/// file can stop the caller; a file larger than `limit` bytes is refused before a byte is read.
/// A missing file raises a file-not-found error ("File does not exist."), and `folder_missing`,
/// when given, tells whether its folder is missing too; other faults raise unreadable errors.
std::string read_regular_file(const std::string& utf8_path, std::size_t limit,
                              bool* folder_missing = nullptr);

/// What tells one state of a file from another: which file it is (its device and number) and its
/// size and times of change, at the file system's own resolution. A file written, replaced or
/// removed has another version (or none). A rewrite that keeps the size within one tick of the
/// file system's clock cannot be told from the file as it was.
struct FileVersion {
    std::uint64_t device = 0;
    std::uint64_t number = 0;
    std::uint64_t size = 0;
    std::int64_t modified = 0;
    std::int64_t changed = 0;
    bool operator==(const FileVersion&) const = default;
};

/// The version of the file at the path now; none when it cannot be looked at (it is missing).
std::optional<FileVersion> file_version(const std::string& utf8_path);

}  // namespace brandel::spectrum
