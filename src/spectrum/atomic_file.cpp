#include "spectrum/atomic_file.hpp"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>

#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "spectrum/errors.hpp"
#include "spectrum/paths.hpp"

namespace brandel::spectrum {

namespace {

constexpr std::string_view temporary_suffix = ".brandel-tmp";

int open_exclusive(const std::filesystem::path& path) {
#ifdef _WIN32
    int fd = -1;
    _wsopen_s(&fd, path.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _SH_DENYRW,
              _S_IREAD | _S_IWRITE);
    return fd;
#else
    return ::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
#endif
}

int close_file(int fd) {
#ifdef _WIN32
    return _close(fd);
#else
    return ::close(fd);
#endif
}

int process_id() {
#ifdef _WIN32
    return _getpid();
#else
    return static_cast<int>(::getpid());
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

[[noreturn]] void cannot_write(const std::filesystem::path& target, int error) {
    raise(ErrorKind::cannot_write,
          "cannot write " + utf8_path(target) + ": " + std::strerror(error));
}

}  // namespace

long FileOps::write(int fd, const unsigned char* data, std::size_t size) {
#ifdef _WIN32
    unsigned chunk = size > 0x40000000u ? 0x40000000u : static_cast<unsigned>(size);
    return _write(fd, data, chunk);
#else
    return static_cast<long>(::write(fd, data, size));
#endif
}

bool FileOps::rename(const std::filesystem::path& from, const std::filesystem::path& to) {
#ifdef _WIN32
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
#else
    return ::rename(from.c_str(), to.c_str()) == 0;
#endif
}

FileOps& system_file_ops() {
    static FileOps ops;
    return ops;
}

void replace_file(const std::filesystem::path& target, std::string_view bytes, FileOps& ops) {
    std::filesystem::path temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = temporary_path(target);
        fd = open_exclusive(temporary);
        if (fd < 0 && errno != EEXIST)
            cannot_write(target, errno);
    }
    if (fd < 0)
        cannot_write(target, EEXIST);

    auto fail = [&](int error) {
        if (fd >= 0)
            close_file(fd);
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        cannot_write(target, error);
    };
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t left = bytes.size();
    while (left > 0) {
        errno = 0;
        long n = ops.write(fd, data, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0 || static_cast<std::size_t>(n) > left)
            fail(errno != 0 ? errno : EIO);
        data += n;
        left -= static_cast<std::size_t>(n);
    }
    int closed = close_file(fd);
    fd = -1;
    if (closed != 0)
        fail(errno);
    errno = 0;
    if (!ops.rename(temporary, target))
        fail(errno != 0 ? errno : EIO);
}

bool is_temporary_name(std::string_view file_name) {
    return file_name.size() > temporary_suffix.size() && file_name.front() == '.' &&
           file_name.ends_with(temporary_suffix);
}

}  // namespace brandel::spectrum
