#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace brandel::spectrum {

/// One entry of a folder as a listing sees it.
struct FolderEntry {
    std::string name;        // UTF-8, the file name alone
    bool is_file = false;    // a regular file, or a symbolic link that leads to one
    bool is_folder = false;  // a folder, or a symbolic link that leads to one
    bool is_link = false;    // a symbolic link (on Windows, any reparse point)
};

/// The entries of a folder, "." and ".." left out, in the order the file system gives them.
/// Raises std::filesystem::filesystem_error naming the folder when it cannot be opened or read
/// to the end: a listing never passes over a folder in silence, nor lists another one. On Windows
/// the folder is read through the system's wide functions under its long form (see long_path),
/// so a folder whose path is longer than 260 characters is listed as any other.
std::vector<FolderEntry> read_folder(const std::filesystem::path& folder);

/// Whether a path (UTF-8) names a folder, or a link that leads to one.
bool is_folder(std::string_view utf8);

/// On Windows, a path whose full form is too long for the system's older limit of 260
/// characters, turned into that full form behind "\\?\" ("\\?\UNC\" for a share), which the
/// system's wide functions accept at any length; other paths, and every path elsewhere, as they
/// are.
std::filesystem::path long_path(const std::filesystem::path& path);

/// Seconds since a file was last written; negative when that cannot be told (or lies ahead).
double seconds_since_written(const std::filesystem::path& path);

}  // namespace brandel::spectrum
