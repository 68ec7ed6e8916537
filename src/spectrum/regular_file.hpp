#pragma once

#include <cstddef>
#include <string>

namespace brandel::spectrum {

/// Reads a regular file whole. Anything else (a FIFO, a device, a socket, a folder) is refused
/// ("not a regular file") before it is opened, and the open itself does not wait, so no such
/// file can stop the caller; a file larger than `limit` bytes is refused before a byte is read.
/// A missing file raises a file-not-found error ("File does not exist."), and `folder_missing`,
/// when given, tells whether its folder is missing too; other faults raise unreadable errors.
std::string read_regular_file(const std::string& utf8_path, std::size_t limit,
                              bool* folder_missing = nullptr);

}  // namespace brandel::spectrum
