#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace brandel::spectrum {

/// How a platform writes paths. On POSIX only "/" separates folders and there is no drive: a
/// file may be called "12:30 run.TXT" or "ab\cd.TXT". On Windows "\" and "/" both separate
/// folders and a ":" before the first separator ends a drive ("C:").
enum class PathRules { posix, windows };

#ifdef _WIN32
inline constexpr PathRules native_path_rules = PathRules::windows;
/// The platform's folder separator: "\" on Windows, "/" elsewhere.
inline constexpr char path_separator = '\\';
#else
inline constexpr PathRules native_path_rules = PathRules::posix;
inline constexpr char path_separator = '/';
#endif

/// Whether a character separates folders under the rules.
bool is_path_separator(char c, PathRules rules = native_path_rules);

/// Splits a path into drive, directory, base name and extension under the rules. The drive is
/// the text before a ":" that comes before the first separator (Windows only; empty without
/// one). The directory is the text between the first separator after the drive and the last
/// separator; it is left as the caller passed it when there is nothing between them. The base
/// name is the file name (after the last separator) up to its first "."; the extension is what
/// follows that "." (run.01.txt gives run and 01.txt). A file name without "." is its own base
/// name with an empty extension. A file name whose base name would be empty (".hidden") raises
/// an invalid-name error.
void split_path(std::string_view path, std::string& drive, std::string& directory,
                std::string& base_name, std::string& extension,
                PathRules rules = native_path_rules);

/// The base name of a path, as split_path gives it.
std::string base_name_of(std::string_view path, PathRules rules = native_path_rules);

/// The file name of a path: what follows its last separator.
std::string file_name_of(std::string_view path, PathRules rules = native_path_rules);

/// The folder path with one separator at its end ("/data" gives "/data/", "/" stays).
std::string with_trailing_separator(std::string path, PathRules rules = native_path_rules);

/// Text of a message (a reason) as a terminal may show it on one line and in the order it is
/// written: control characters are escaped ("\n" for a newline, "\t", "\r", "\x1b" for others,
/// "\u0085" for the control characters above 0x7F, the line and paragraph separators, and the
/// marks and overrides of text direction such as "\u202e"), and bytes that are not UTF-8 show as
/// "\xff". Everything else is kept, a backslash too: the names a reason holds were escaped by
/// escape_name when they were put in, and a field it quotes shows its control characters as
/// escapes already.
std::string escape_controls(std::string_view text);

/// A file name or path (or a word of the command line) as a message shows it: escaped as
/// escape_controls escapes, and under the POSIX rules a backslash is written "\\", so that a name
/// holding a newline ("a\nb") and one holding a backslash and an "n" ("a\\nb") print apart.
/// Under the Windows rules a backslash separates folders and no name can hold a control
/// character, so it stays as it is ("C:\data\x.TXT").
std::string escape_name(std::string_view name, PathRules rules = native_path_rules);

/// The key under which the platform's file system tells names apart: on Windows names that
/// differ only in case are one file, so the key is the name upper-cased; elsewhere it is the name.
/// Two outputs of one batch with equal keys would write one file.
std::string file_name_key(std::string_view utf8);

/// Whether `folder` is `path` itself or one of the folders above it, as this platform's file
/// system names them: on Windows "\" and "/" are one separator and case is ignored as in
/// file_name_key; elsewhere only "/" separates and case counts.
bool folder_contains(std::string_view folder, std::string_view path);

/// A UTF-8 path as a file-system path of this platform.
std::filesystem::path fs_path(std::string_view utf8);
/// A file-system path as UTF-8 text.
std::string utf8_path(const std::filesystem::path& path);

}  // namespace brandel::spectrum
