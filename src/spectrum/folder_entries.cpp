#include "spectrum/folder_entries.hpp"

#include <cerrno>
#include <chrono>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

#include "spectrum/paths.hpp"

namespace brandel::spectrum {

#ifdef _WIN32

namespace {

// Paths from this length on get the long form: a folder's own limit is 248 characters, and a
// file name is added to it.
constexpr std::size_t long_from = 240;

std::error_code error_of(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
            return std::make_error_code(std::errc::no_such_file_or_directory);
        case ERROR_DIRECTORY:
            return std::make_error_code(std::errc::not_a_directory);
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return std::make_error_code(std::errc::permission_denied);
        case ERROR_FILENAME_EXCED_RANGE:
            return std::make_error_code(std::errc::filename_too_long);
        case ERROR_INVALID_NAME:
            return std::make_error_code(std::errc::invalid_argument);
        default:
            return std::make_error_code(std::errc::io_error);
    }
}

// The full form of a path as the system resolves it (the current folder put in front, "/" made
// "\", "." and ".." taken out), behind "\\?\" when `long_form` is set.
std::wstring full_path(const std::wstring& given, bool long_form) {
    if (given.starts_with(L"\\\\?\\"))
        return given;
    DWORD size = GetFullPathNameW(given.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return given;
    std::wstring full(size, L'\0');
    size = GetFullPathNameW(given.c_str(), size, full.data(), nullptr);
    if (size == 0 || size >= full.size())
        return given;
    full.resize(size);
    if (!long_form || full.starts_with(L"\\\\.\\"))
        return full;
    if (full.starts_with(L"\\\\"))
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

}  // namespace

std::filesystem::path long_path(const std::filesystem::path& path) {
    // An absolute path is in full form already, but for its separators.
    if (path.is_absolute() && path.native().size() < long_from)
        return path;
    const std::wstring full = full_path(path.native(), false);
    if (full.size() < long_from)
        return path;
    return full_path(path.native(), true);
}

std::vector<FolderEntry> read_folder(const std::filesystem::path& folder) {
    const std::filesystem::path given = folder.empty() ? std::filesystem::path(".") : folder;
    std::wstring pattern = full_path(given.native(), false);
    if (pattern.size() >= long_from)
        pattern = full_path(given.native(), true);
    if (!pattern.empty() && pattern.back() != L'\\')
        pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW data{};
    struct Search {
        HANDLE handle;
        ~Search() {
            if (handle != INVALID_HANDLE_VALUE)
                FindClose(handle);
        }
    } search{FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                              nullptr, FIND_FIRST_EX_LARGE_FETCH)};
    std::vector<FolderEntry> entries;
    if (search.handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        // Only the root of a drive is a folder without "." and ".."; an empty one says so.
        if (error == ERROR_FILE_NOT_FOUND && is_folder(utf8_path(given)))
            return entries;
        throw std::filesystem::filesystem_error("cannot read the folder", given, error_of(error));
    }
    for (;;) {
        const std::wstring_view name(data.cFileName);
        if (name != L"." && name != L"..") {
            FolderEntry entry;
            entry.name = utf8_path(std::filesystem::path(std::wstring(name)));
            const DWORD attributes = data.dwFileAttributes;
            entry.is_link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
            entry.is_folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            entry.is_file = !entry.is_folder && (attributes & FILE_ATTRIBUTE_DEVICE) == 0;
            entries.push_back(std::move(entry));
        }
        if (!FindNextFileW(search.handle, &data)) {
            const DWORD error = GetLastError();
            if (error == ERROR_NO_MORE_FILES)
                return entries;
            throw std::filesystem::filesystem_error("cannot read the folder", given,
                                                    error_of(error));
        }
    }
}

bool is_folder(std::string_view utf8) {
    const DWORD attributes = GetFileAttributesW(long_path(fs_path(utf8)).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

double seconds_since_written(const std::filesystem::path& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(long_path(path).c_str(), GetFileExInfoStandard, &data))
        return -1;
    FILETIME now_time{};
    GetSystemTimeAsFileTime(&now_time);
    auto ticks = [](const FILETIME& t) {
        return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    const unsigned long long now = ticks(now_time), written = ticks(data.ftLastWriteTime);
    return now >= written ? static_cast<double>(now - written) / 1e7
                          : -static_cast<double>(written - now) / 1e7;
}

#else

std::filesystem::path long_path(const std::filesystem::path& path) {
    return path;
}

std::vector<FolderEntry> read_folder(const std::filesystem::path& folder) {
    std::vector<FolderEntry> entries;
    for (const auto& item : std::filesystem::directory_iterator(
             folder.empty() ? std::filesystem::path(".") : folder)) {
        FolderEntry entry;
        entry.name = utf8_path(item.path().filename());
        std::error_code ec;
        entry.is_link = item.is_symlink(ec);
        entry.is_file = item.is_regular_file(ec);
        entry.is_folder = item.is_directory(ec);
        entries.push_back(std::move(entry));
    }
    return entries;
}

bool is_folder(std::string_view utf8) {
    std::error_code ec;
    return std::filesystem::is_directory(fs_path(utf8), ec);
}

double seconds_since_written(const std::filesystem::path& path) {
    std::error_code ec;
    const auto written = std::filesystem::last_write_time(path, ec);
    if (ec)
        return -1;
    return std::chrono::duration<double>(std::filesystem::file_time_type::clock::now() - written)
        .count();
}

#endif

}  // namespace brandel::spectrum
