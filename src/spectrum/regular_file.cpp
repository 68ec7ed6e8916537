#include "spectrum/regular_file.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#include <share.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "spectrum/errors.hpp"
#include "spectrum/folder_entries.hpp"
#include "spectrum/paths.hpp"

namespace brandel::spectrum {

namespace {

[[noreturn]] void missing(const std::filesystem::path& path, bool* folder_missing) {
    if (folder_missing != nullptr) {
        std::error_code ec;
        const std::filesystem::path folder = path.parent_path();
        *folder_missing = !folder.empty() && !std::filesystem::is_directory(folder, ec);
    }
#ifndef _WIN32
    // A name that is there but leads nowhere is told apart from a name that is not there.
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
        raise(ErrorKind::file_not_found, "a link to a file that does not exist");
#endif
    raise(ErrorKind::file_not_found, "File does not exist.");
}

[[noreturn]] void not_regular() {
    raise(ErrorKind::unreadable, "not a regular file");
}

[[noreturn]] void too_large(std::size_t limit) {
    const std::size_t mb = std::size_t{1} << 20;
    raise(ErrorKind::unreadable,
          "the file is larger than " + (limit % mb == 0 ? std::to_string(limit / mb) + " MB"
                                                        : std::to_string(limit) + " bytes"));
}

[[noreturn]] void cannot(const char* what, int error) {
    raise(ErrorKind::unreadable, std::string(what) + ": " + std::strerror(error));
}

bool is_missing(int error) {
    return error == ENOENT || error == ENOTDIR;
}

}  // namespace

#ifdef _WIN32

std::string read_regular_file(const std::string& utf8_path, std::size_t limit,
                              bool* folder_missing) {
    const std::filesystem::path path = fs_path(utf8_path);
    const std::filesystem::path native = long_path(path);
    std::error_code ec;
    const auto status = std::filesystem::status(native, ec);
    if (status.type() == std::filesystem::file_type::not_found)
        missing(path, folder_missing);
    if (ec)
        cannot("cannot open the file for reading", ec.value());
    if (status.type() != std::filesystem::file_type::regular)
        not_regular();
    int fd = -1;
    if (_wsopen_s(&fd, native.c_str(), _O_RDONLY | _O_BINARY, _SH_DENYNO, 0) != 0 || fd < 0) {
        if (is_missing(errno))
            missing(path, folder_missing);
        cannot("cannot open the file for reading", errno);
    }
    struct _stat64 st {};
    if (_fstat64(fd, &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG) {
        _close(fd);
        not_regular();
    }
    if (static_cast<unsigned long long>(st.st_size) > limit) {
        _close(fd);
        too_large(limit);
    }
    std::string bytes(static_cast<std::size_t>(st.st_size), '\0');
    std::size_t got = 0;
    while (got < bytes.size()) {
        const unsigned chunk =
            static_cast<unsigned>(std::min<std::size_t>(bytes.size() - got, 1u << 30));
        const int n = _read(fd, bytes.data() + got, chunk);
        if (n < 0) {
            const int error = errno;
            _close(fd);
            cannot("cannot read the file", error);
        }
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    _close(fd);
    bytes.resize(got);
    return bytes;
}

std::optional<FileVersion> file_version(const std::string& utf8_path) {
    // The C runtime's stat gives whole seconds only; the handle gives the file's number and its
    // times in 100-nanosecond ticks. No access is asked for, so no reader or writer is stopped.
    const std::filesystem::path path = fs_path(utf8_path);
    HANDLE file = CreateFileW(long_path(path).c_str(), 0,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = GetFileInformationByHandle(file, &info) != 0;
    CloseHandle(file);
    if (!known)
        return std::nullopt;
    auto wide = [](DWORD high, DWORD low) {
        return (static_cast<std::uint64_t>(high) << 32) | low;
    };
    FileVersion version;
    version.device = info.dwVolumeSerialNumber;
    version.number = wide(info.nFileIndexHigh, info.nFileIndexLow);
    version.size = wide(info.nFileSizeHigh, info.nFileSizeLow);
    version.modified = static_cast<std::int64_t>(
        wide(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime));
    version.changed = static_cast<std::int64_t>(
        wide(info.ftCreationTime.dwHighDateTime, info.ftCreationTime.dwLowDateTime));
    return version;
}

#else

namespace {

// Reads up to `size` bytes, again when a signal interrupts; 0 at the end of the file. The file
// is read without waiting: a file of a pseudo file system that says it is regular may have no
// data to give now (/proc/kmsg), and it fails instead of stopping the caller.
std::size_t read_some(int fd, char* into, std::size_t size) {
    for (;;) {
        const ssize_t n = ::read(fd, into, size);
        if (n >= 0)
            return static_cast<std::size_t>(n);
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            raise(ErrorKind::unreadable, "cannot read the file: it would wait for more data");
        if (errno != EINTR)
            cannot("cannot read the file", errno);
    }
}

}  // namespace

std::string read_regular_file(const std::string& utf8_path, std::size_t limit,
                              bool* folder_missing) {
    const std::filesystem::path path = fs_path(utf8_path);
    // The kind of file is known before it is opened: opening a FIFO waits for a writer, and
    // opening a device may act on it (a tape rewinds).
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (is_missing(errno))
            missing(path, folder_missing);
        cannot("cannot open the file for reading", errno);
    }
    if (!S_ISREG(st.st_mode))
        not_regular();
    if (static_cast<unsigned long long>(st.st_size) > limit)
        too_large(limit);

    // The name may have been given to another file since: open without waiting, then look
    // again at what was opened.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (is_missing(errno))
            missing(path, folder_missing);
        cannot("cannot open the file for reading", errno);
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    if (::fstat(fd, &st) != 0)
        cannot("cannot read the file", errno);
    if (!S_ISREG(st.st_mode))
        not_regular();
    if (static_cast<unsigned long long>(st.st_size) > limit)
        too_large(limit);

    // Read to the end, which may lie past the size seen (a file still growing, or a pseudo file
    // that says it holds nothing, as /proc/self/status does), but never past the limit. The file
    // stays non-blocking: a regular file's data are always there to read.
    std::string bytes(static_cast<std::size_t>(st.st_size), '\0');
    std::size_t got = 0;
    while (got < bytes.size()) {
        const std::size_t n = read_some(fd, bytes.data() + got, bytes.size() - got);
        if (n == 0)
            break;
        got += n;
    }
    if (got < bytes.size()) {
        bytes.resize(got);
        return bytes;
    }
    char more[1 << 12];
    while (const std::size_t n = read_some(fd, more, sizeof more)) {
        if (bytes.size() + n > limit)
            too_large(limit);
        bytes.append(more, n);
    }
    return bytes;
}

std::optional<FileVersion> file_version(const std::string& utf8_path) {
    struct stat st {};
    if (::stat(fs_path(utf8_path).c_str(), &st) != 0)
        return std::nullopt;
    FileVersion version;
    version.device = static_cast<std::uint64_t>(st.st_dev);
    version.number = static_cast<std::uint64_t>(st.st_ino);
    version.size = static_cast<std::uint64_t>(st.st_size);
    version.modified =
        static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    version.changed =
        static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return version;
}

#endif

}  // namespace brandel::spectrum
