#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace brandel::spectrum {

/// The platform's folder separator: "\" on Windows, "/" elsewhere.
#ifdef _WIN32
inline constexpr char path_separator = '\\';
#else
inline constexpr char path_separator = '/';
#endif

/// Splits a path into drive, directory, base name and extension. Both "/" and "\" separate
/// folders. The drive is the text before the first ":" (empty without one). The directory is the
/// text between the first separator after the drive and the last separator; it is left as the
/// caller passed it when there is nothing between them. The base name is the file name (after the
/// last separator) up to its first "."; the extension is what follows that "." (run.01.txt gives
/// run and 01.txt). A file name without "." is its own base name with an empty extension. A file
/// name whose base name would be empty (".hidden") raises an invalid-name error.
void split_path(std::string_view path, std::string& drive, std::string& directory,
                std::string& base_name, std::string& extension);

/// The base name of a path, as split_path gives it.
std::string base_name_of(std::string_view path);

/// The folder path with one platform separator at its end ("/data" gives "/data/", "/" stays).
std::string with_trailing_separator(std::string path);

/// A UTF-8 path as a file-system path of this platform.
std::filesystem::path fs_path(std::string_view utf8);
/// A file-system path as UTF-8 text.
std::string utf8_path(const std::filesystem::path& path);

}  // namespace brandel::spectrum
