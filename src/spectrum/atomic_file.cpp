#include "spectrum/atomic_file.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <signal.h>
#include <unistd.h>
#endif

#include "spectrum/errors.hpp"
#include "spectrum/file_access.hpp"
#include "spectrum/folder_entries.hpp"
#include "spectrum/paths.hpp"

namespace brandel::spectrum {

namespace {

constexpr std::string_view temporary_suffix = ".brandel-tmp";

// Creates the temporary file, never opening one that is there already, for writing and for
// reading back what was written. `mode` is the
// permissions it starts with (narrowed by the umask), so a private file's bytes are never
// readable by others, not even while they are being written.
int open_exclusive(const std::filesystem::path& path, unsigned long mode) {
#ifdef _WIN32
    (void)mode;
    int fd = -1;
    _wsopen_s(&fd, long_path(path).c_str(), _O_CREAT | _O_EXCL | _O_RDWR | _O_BINARY, _SH_DENYRW,
              _S_IREAD | _S_IWRITE);
    return fd;
#else
    return ::open(path.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, static_cast<mode_t>(mode));
#endif
}

long process_id() {
#ifdef _WIN32
    return static_cast<long>(_getpid());
#else
    return static_cast<long>(::getpid());
#endif
}

// Whether a process of this id may be running on this machine. Anything but a clear "no such
// process" counts as running, so a file that may be in use is never taken away.
bool process_may_run(long pid) {
    if (pid <= 0)
        return true;
#ifdef _WIN32
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    if (process == nullptr)
        return GetLastError() != ERROR_INVALID_PARAMETER;
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
#else
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH;
#endif
}

// A name no other writer uses: the process, a counter and the clock. Only the start of the
// target's name goes into it (cut at a whole UTF-8 character), so that a target whose name is
// near the file system's limit still gets a temporary name that fits.
std::filesystem::path temporary_path(const std::filesystem::path& target) {
    static std::atomic<unsigned long> counter{0};
    auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    std::string start = utf8_path(target.filename());
    std::size_t keep = start.size() < 64 ? start.size() : 64;
    while (keep > 0 && keep < start.size() &&
           (static_cast<unsigned char>(start[keep]) & 0xC0) == 0x80)
        --keep;
    start.resize(keep);
    std::string name = "." + start + "." + std::to_string(process_id()) + "-" +
                       std::to_string(counter++) + "-" +
                       std::to_string(static_cast<unsigned long long>(ticks) % 100000) +
                       std::string(temporary_suffix);
    return target.parent_path() / fs_path(name);
}

// The id of the process that made a temporary file, from its name
// (".S0123.chn.4242-7-12345.brandel-tmp" gives 4242); 0 when the name holds none.
long temporary_owner(std::string_view name) {
    name.remove_suffix(temporary_suffix.size());
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return 0;
    const std::string_view id = name.substr(dot + 1, name.find('-', dot) - dot - 1);
    if (id.empty() || id.size() > 9)
        return 0;
    long pid = 0;
    for (char c : id) {
        if (c < '0' || c > '9')
            return 0;
        pid = pid * 10 + (c - '0');
    }
    return pid;
}

std::string cannot_write_text(const std::filesystem::path& target, int error) {
    return "cannot write " + escape_name(utf8_path(target)) + ": " + std::strerror(error);
}

[[noreturn]] void cannot_write(const std::filesystem::path& target, int error) {
    raise(ErrorKind::cannot_write, cannot_write_text(target, error));
}

// A file that cannot be made in its folder for want of permission, or on a file system mounted
// read-only, fails because of the folder: the reason names the folder ("cannot write into c19/").
[[noreturn]] void cannot_create(const std::filesystem::path& target, int error) {
    if (error != EACCES && error != EPERM && error != EROFS)
        cannot_write(target, error);
    const std::filesystem::path folder = target.parent_path();
    const std::string shown = with_trailing_separator(folder.empty() ? "." : utf8_path(folder));
    raise(ErrorKind::cannot_write,
          "cannot write into " + escape_name(shown) + ": " + std::strerror(error));
}

// Reads an open file whole from its first byte through its descriptor, as the file system gives
// it back; false on failure (errno set).
bool read_whole(int fd, std::string& out) {
    char buffer[1 << 16];
#ifdef _WIN32
    if (_lseeki64(fd, 0, SEEK_SET) != 0)
        return false;
    for (;;) {
        const int n = _read(fd, buffer, sizeof buffer);
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        out.append(buffer, static_cast<std::size_t>(n));
    }
#else
    for (;;) {
        const ssize_t n = ::pread(fd, buffer, sizeof buffer, static_cast<off_t>(out.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        out.append(buffer, static_cast<std::size_t>(n));
    }
#endif
}

bool remove_file(const std::filesystem::path& path) {
#ifdef _WIN32
    return DeleteFileW(long_path(path).c_str()) != 0;
#else
    return ::unlink(path.c_str()) == 0;
#endif
}

void remove_temporary(const std::filesystem::path& temporary) {
    remove_file(temporary);
}

}  // namespace

int close_file(int fd) {
#ifdef _WIN32
    return _close(fd);
#else
    return ::close(fd);
#endif
}

bool FileOps::write_all(int fd, std::string_view bytes) {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t left = bytes.size();
    while (left > 0) {
        errno = 0;
        const long n = write(fd, data, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0 || static_cast<std::size_t>(n) > left) {
            if (errno == 0)
                errno = EIO;
            return false;
        }
        data += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

long FileOps::write(int fd, const unsigned char* data, std::size_t size) {
#ifdef _WIN32
    unsigned chunk = size > 0x40000000u ? 0x40000000u : static_cast<unsigned>(size);
    return _write(fd, data, chunk);
#else
    return static_cast<long>(::write(fd, data, size));
#endif
}

void FileOps::start_flush(int fd) {
#ifdef __linux__
    ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
#else
    (void)fd;
#endif
}

bool FileOps::flush_data(int fd) {
#ifdef _WIN32
    HANDLE file = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    if (file != INVALID_HANDLE_VALUE && FlushFileBuffers(file))
        return true;
    errno = EIO;
    return false;
#else
    // The size of a new file is part of its data here, so this is enough for a file read back
    // whole after a crash.
    while (::fdatasync(fd) != 0)
        if (errno != EINTR)
            return false;
    return true;
#endif
}

bool FileOps::rename(const std::filesystem::path& from, const std::filesystem::path& to) {
#ifdef _WIN32
    // Written through: the move is on the disk when it returns, so the folder needs no flush.
    return MoveFileExW(long_path(from).c_str(), long_path(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    return ::rename(from.c_str(), to.c_str()) == 0;
#endif
}

bool FileOps::flush_folder(const std::filesystem::path& folder) {
#ifdef _WIN32
    (void)folder;
    return true;
#else
    const std::filesystem::path where = folder.empty() ? std::filesystem::path(".") : folder;
    const int fd = ::open(where.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    int result = 0;
    while ((result = ::fsync(fd)) != 0 && errno == EINTR) {
    }
    // Some file systems cannot flush a folder at all; they order their metadata themselves.
    if (result != 0 && (errno == EINVAL || errno == ENOTSUP))
        result = 0;
    const int error = errno;
    ::close(fd);
    errno = error;
    return result == 0;
#endif
}

TargetInfo FileOps::inspect(const std::filesystem::path& target) {
    TargetInfo info;
#ifdef _WIN32
    const DWORD attributes = GetFileAttributesW(long_path(target).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return info;
    info.exists = true;
    info.is_link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    info.is_file = !info.is_link && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    info.read_only = info.is_file && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    info.permissions = attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                     FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
#else
    struct stat st {};
    if (::lstat(target.c_str(), &st) != 0)
        return info;
    info.exists = true;
    info.is_link = S_ISLNK(st.st_mode);
    info.is_file = S_ISREG(st.st_mode);
    if (!info.is_file)
        return info;
    info.permissions = st.st_mode & 07777;
    info.owner = static_cast<long>(st.st_uid);
    info.group = static_cast<long>(st.st_gid);
    // Bits that let no one write stop root too; otherwise the question is whether this user
    // could open the file for writing (owner, group, others, access lists).
    info.read_only =
        (st.st_mode & 0222) == 0 || (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0 &&
                                     (errno == EACCES || errno == EPERM));
#endif
    return info;
}

bool FileOps::keep_permissions(int fd, const std::filesystem::path& temporary,
                               const std::filesystem::path& target, const TargetInfo& old) {
#ifdef _WIN32
    return copy_access(fd, temporary, target) &&
           (old.permissions == 0 || SetFileAttributesW(long_path(temporary).c_str(),
                                                       static_cast<DWORD>(old.permissions)) != 0);
#else
    // The owner and group go first (a change of owner clears the set-id bits and capabilities).
    // Only root may give a file away, and a user only to a group of theirs; where it cannot, the
    // new file is this user's, with the old permissions. The access list and the other
    // attributes follow while the file is still this user's alone, and the permission bits
    // last.
    const auto owner = static_cast<uid_t>(old.owner);
    const auto group = static_cast<gid_t>(old.group);
    if (old.owner >= 0 && old.group >= 0 && (owner != ::geteuid() || group != ::getegid()) &&
        ::fchown(fd, owner, group) != 0 && group != ::getegid()) {
        const int ignored = ::fchown(fd, static_cast<uid_t>(-1), group);
        (void)ignored;
    }
    if (!copy_access(fd, temporary, target))
        return false;
    const auto mode = static_cast<mode_t>(old.permissions & 07777);
    if (::fchmod(fd, mode) == 0)
        return true;
    // A file system without permissions of its own (a FAT memory stick) gives every file the
    // same mode: nothing is lost when the new file has the old one's already.
    const int error = errno;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && (st.st_mode & 07777) == mode)
        return true;
    errno = error;
    return false;
#endif
}

FileOps& system_file_ops() {
    static FileOps ops;
    return ops;
}

ReplaceGroup::~ReplaceGroup() {
    discard_from(0);
}

void ReplaceGroup::discard_from(std::size_t first) {
    for (std::size_t i = first; i < staged_.size(); ++i) {
        close_file(staged_[i].fd);
        remove_temporary(staged_[i].temporary);
    }
    if (first < staged_.size())
        staged_.resize(first);
}

void ReplaceGroup::stage(const std::filesystem::path& target, std::string_view bytes,
                         std::size_t unit) {
    stage(target, bytes, unit, nullptr);
}

void ReplaceGroup::stage(const std::filesystem::path& target, std::string_view bytes,
                         std::size_t unit, Check check) {
    const TargetInfo old = ops_.inspect(target);
    // Writing the file in place would have failed; replacing it would lose what protects it.
    if (old.read_only)
        raise(ErrorKind::cannot_write, escape_name(utf8_path(target.filename())) + " is read-only");

    std::filesystem::path temporary;
    int fd = -1;
    // A file that replaces another is this user's alone until it has the old one's access list
    // and permissions: no one denied by them can open it in between.
    const unsigned long start_mode = old.is_file ? 0600 : 0666;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = temporary_path(target);
        fd = open_exclusive(temporary, start_mode);
        if (fd < 0 && errno != EEXIST)
            cannot_create(target, errno);
    }
    if (fd < 0)
        cannot_write(target, EEXIST);

    auto fail = [&](int error) {
        close_file(fd);
        remove_temporary(temporary);
        cannot_write(target, error);
    };
    if (old.is_file && !ops_.keep_permissions(fd, temporary, target, old))
        fail(errno != 0 ? errno : EPERM);
    if (!ops_.write_all(fd, bytes))
        fail(errno);
    if (ops_.flushes())
        ops_.start_flush(fd);
    try {
        staged_.push_back({target, temporary, fd, unit, bytes.size(), std::move(check)});
    } catch (...) {
        fail(ENOMEM);
    }
}

std::vector<std::string> ReplaceGroup::commit() {
    std::vector<Staged> files;
    files.swap(staged_);
    std::vector<std::string> errors(files.size());
    // The data reach the disk before the new names do: a file system may otherwise write a
    // rename first, and a power cut between the two would leave an empty or partial file.
    for (std::size_t i = 0; i < files.size(); ++i) {
        errno = 0;
        if (ops_.flushes() && !ops_.flush_data(files[i].fd))
            errors[i] = cannot_write_text(files[i].target, errno != 0 ? errno : EIO);
        if (errors[i].empty() && files[i].check) {
            std::string on_disk;
            on_disk.reserve(files[i].size + 1);
            errno = 0;
            if (!read_whole(files[i].fd, on_disk))
                errors[i] = "cannot read back " + utf8_path(files[i].target.filename()) + ": " +
                            std::strerror(errno != 0 ? errno : EIO);
            else
                errors[i] = files[i].check(on_disk);
        }
        if (close_file(files[i].fd) != 0 && errors[i].empty())
            errors[i] = cannot_write_text(files[i].target, errno);
    }
    // A file that did not reach the disk keeps the other files of its unit from being replaced.
    for (std::size_t i = 0; i < files.size(); ++i)
        for (std::size_t j = 0; j < files.size() && !errors[i].empty(); ++j)
            if (files[j].unit == files[i].unit && errors[j].empty())
                errors[j] = errors[i];
    std::vector<std::filesystem::path> folders;
    for (std::size_t i = 0; i < files.size(); ++i) {
        errno = 0;
        if (errors[i].empty() && !ops_.rename(files[i].temporary, files[i].target))
            errors[i] = cannot_write_text(files[i].target, errno != 0 ? errno : EIO);
        if (!errors[i].empty()) {
            remove_temporary(files[i].temporary);
            continue;
        }
        const std::filesystem::path folder = files[i].target.parent_path();
        if (std::find(folders.begin(), folders.end(), folder) == folders.end())
            folders.push_back(folder);
    }
    // The new names are entries of their folders, on the disk only once the folders are.
    for (const std::filesystem::path& folder : folders) {
        errno = 0;
        if (!ops_.flushes() || ops_.flush_folder(folder))
            continue;
        const int error = errno != 0 ? errno : EIO;
        for (std::size_t i = 0; i < files.size(); ++i)
            if (errors[i].empty() && files[i].target.parent_path() == folder)
                errors[i] = "cannot write " + escape_name(utf8_path(files[i].target)) +
                            " safely: the new file is in place, but its folder could not be put "
                            "on the disk: " +
                            std::strerror(error);
    }
    return errors;
}

void replace_file(const std::filesystem::path& target, std::string_view bytes, FileOps& ops) {
    ReplaceGroup group(ops);
    group.stage(target, bytes);
    const std::vector<std::string> errors = group.commit();
    if (!errors.front().empty())
        raise(ErrorKind::cannot_write, errors.front());
}

bool is_temporary_name(std::string_view file_name) {
    return file_name.size() > temporary_suffix.size() && file_name.front() == '.' &&
           file_name.ends_with(temporary_suffix);
}

int remove_stale_temporaries(const std::filesystem::path& folder, int min_age_seconds) {
    std::vector<FolderEntry> entries;
    try {
        entries = read_folder(folder);
    } catch (const std::exception&) {
        return 0;  // a folder that cannot be read has nothing this writer can remove
    }
    const long self = process_id();
    int removed = 0;
    for (const FolderEntry& entry : entries) {
        if (!is_temporary_name(entry.name))
            continue;
        const long owner = temporary_owner(entry.name);
        if (owner <= 0 || owner == self || process_may_run(owner))
            continue;
        if (!entry.is_file || entry.is_link)
            continue;
        const std::filesystem::path path = folder / fs_path(entry.name);
        const double age = seconds_since_written(path);
        if (age < 0 || age < min_age_seconds)
            continue;
        if (remove_file(path))
            ++removed;
    }
    return removed;
}

}  // namespace brandel::spectrum
