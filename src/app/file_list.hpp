#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace brandel::app {

/// Whether a file name matches a list pattern: "*" stands for any run of characters, "?" for
/// exactly one, and letters match ignoring ASCII case ("*.txt" matches S0123.TXT). The pattern
/// "*.*" matches every name, with or without a dot, as on the systems the files come from.
bool matches_pattern(std::string_view name, std::string_view pattern);

/// Orders names ignoring ASCII case (letters compare as upper case, so "_" follows them); names
/// that differ only in case keep a fixed byte order.
bool name_less(std::string_view a, std::string_view b);

/// Whether the file lists leave a name out as hidden: a name starting with "." (not on Windows,
/// where hidden is an attribute that the lists do not look at).
bool is_hidden_name(std::string_view name);

/// The regular files of a folder (UTF-8 path) that match the pattern, sorted by name_less. Hidden
/// files (on Unix, a name that starts with ".") and our own temporary files are left out.
/// Raises std::filesystem::filesystem_error when the folder cannot be read.
std::vector<std::string> list_files(const std::string& folder, std::string_view pattern);
/// The same for the files that match any of several patterns, each listed once.
std::vector<std::string> list_files(const std::string& folder,
                                    const std::vector<std::string>& patterns);

/// Every entry of a folder (UTF-8 path) whose name matches the pattern, whatever it is: a regular
/// file, a folder, a FIFO, a socket, a device or a link that leads nowhere, sorted by name_less;
/// hidden files and our own temporary files are left out. A listing reads each of them and
/// reports those it cannot read, so that nothing named like a CHN file is passed over in silence.
/// Raises std::filesystem::filesystem_error when the folder cannot be read.
std::vector<std::string> list_entries(const std::string& folder, std::string_view pattern);

/// The subfolders of a folder (UTF-8 path), sorted by name_less, hidden ones left out.
/// Raises std::filesystem::filesystem_error when the folder cannot be read.
std::vector<std::string> list_folders(const std::string& folder);

}  // namespace brandel::app
