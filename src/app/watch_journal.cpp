#include "app/watch_journal.hpp"

#include <cerrno>
#include <charconv>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#include <share.h>
#include <windows.h>
#else
#include <sys/file.h>
#include <unistd.h>
#endif

#include "spectrum/atomic_file.hpp"
#include "spectrum/paths.hpp"

namespace brandel::app {

namespace {

constexpr std::size_t field_count = 8;

std::string escaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// The text an escaped field stands for; false when it holds a lone or unknown escape.
bool unescaped(std::string_view field, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c == '\0' || c == '\r')
            return false;
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i == field.size())
            return false;
        switch (field[i]) {
            case '\\':
                out += '\\';
                break;
            case 't':
                out += '\t';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            default:
                return false;
        }
    }
    return true;
}

template <typename Number>
bool parse_number(std::string_view text, Number& value) {
    if (text.empty())
        return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

bool is_digest(std::string_view text) {
    if (text == no_digest)
        return true;
    if (text.size() != 64)
        return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    return true;
}

std::vector<std::string_view> split(std::string_view line, char separator) {
    std::vector<std::string_view> parts;
    std::size_t begin = 0;
    for (;;) {
        const std::size_t end = line.find(separator, begin);
        parts.push_back(line.substr(begin, end - begin));
        if (end == std::string_view::npos)
            return parts;
        begin = end + 1;
    }
}

std::string error_text() {
    return std::strerror(errno != 0 ? errno : EIO);
}

// Reads the whole file from its start; false on a read error (errno set).
bool read_all(int fd, std::string& text) {
    text.clear();
    char buffer[65536];
#ifdef _WIN32
    if (_lseeki64(fd, 0, SEEK_SET) < 0)
        return false;
    for (;;) {
        const int got = _read(fd, buffer, sizeof buffer);
#else
    for (off_t at = 0;;) {
        const ssize_t got = ::pread(fd, buffer, sizeof buffer, at);
        if (got < 0 && errno == EINTR)
            continue;
        if (got > 0)
            at += got;
#endif
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        text.append(buffer, static_cast<std::size_t>(got));
    }
}

bool truncate_to(int fd, std::size_t size) {
#ifdef _WIN32
    return _chsize_s(fd, static_cast<__int64>(size)) == 0;
#else
    while (::ftruncate(fd, static_cast<off_t>(size)) != 0)
        if (errno != EINTR)
            return false;
    return true;
#endif
}

// Takes the journal's lock without waiting; false when another process (or another open of the
// file) holds it, or it cannot be taken. `busy` tells which.
bool lock(int fd, bool& busy) {
#ifdef _WIN32
    // One byte far past any data is locked, so reading and appending are never in its way.
    HANDLE file = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    OVERLAPPED at{};
    at.OffsetHigh = 0x7FFFFFFF;
    if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at))
        return true;
    busy = GetLastError() == ERROR_LOCK_VIOLATION || GetLastError() == ERROR_IO_PENDING;
    errno = busy ? EWOULDBLOCK : EIO;
    return false;
#else
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        busy = errno == EWOULDBLOCK;
        return false;
    }
    return true;
#endif
}

}  // namespace

std::string journal_line(const JournalEntry& e) {
    std::string detail;
    if (e.converted) {
        for (const std::string& output : e.outputs)
            detail += (detail.empty() ? "" : "/") + escaped(output);
    } else {
        detail = escaped(e.reason);
    }
    return e.time + '\t' + escaped(e.source) + '\t' + std::to_string(e.size) + '\t' +
           std::to_string(e.modified) + '\t' + e.sha256 + '\t' +
           (e.converted ? "converted" : "failed") + '\t' + escaped(e.type) + '\t' + detail + '\n';
}

bool parse_journal_line(std::string_view line, JournalEntry& e) {
    const std::vector<std::string_view> f = split(line, '\t');
    if (f.size() != field_count || f[0].empty() || f[1].empty())
        return false;
    e = JournalEntry{};
    e.time = std::string(f[0]);
    if (!unescaped(f[1], e.source) || !parse_number(f[2], e.size) ||
        !parse_number(f[3], e.modified) || !is_digest(f[4]))
        return false;
    e.sha256 = std::string(f[4]);
    if (!unescaped(f[6], e.type))
        return false;
    if (f[5] == "converted") {
        e.converted = true;
        if (!f[7].empty())
            for (std::string_view part : split(f[7], '/')) {
                std::string output;
                if (part.empty() || !unescaped(part, output))
                    return false;
                e.outputs.push_back(std::move(output));
            }
        return true;
    }
    return f[5] == "failed" && unescaped(f[7], e.reason);
}

std::vector<JournalEntry> parse_journal(std::string_view text, int* damaged) {
    std::vector<JournalEntry> entries;
    int bad = 0;
    std::size_t begin = 0;
    while (begin < text.size()) {
        const std::size_t end = text.find('\n', begin);
        if (end == std::string_view::npos) {
            ++bad;  // cut short while it was written
            break;
        }
        const std::string_view line = text.substr(begin, end - begin);
        begin = end + 1;
        if (line.empty() || line.front() == '#')
            continue;
        JournalEntry entry;
        if (parse_journal_line(line, entry))
            entries.push_back(std::move(entry));
        else
            ++bad;
    }
    if (damaged != nullptr)
        *damaged = bad;
    return entries;
}

JournalFile::~JournalFile() {
    if (fd_ >= 0)
        spectrum::close_file(fd_);
}

std::string JournalFile::open(const std::string& folder, std::string& text) {
    path_ = folder + std::string(journal_file_name);
    errno = 0;
#ifdef _WIN32
    _wsopen_s(&fd_, spectrum::fs_path(path_).c_str(), _O_CREAT | _O_APPEND | _O_RDWR | _O_BINARY,
              _SH_DENYNO, _S_IREAD | _S_IWRITE);
#else
    fd_ = ::open(path_.c_str(), O_CREAT | O_APPEND | O_RDWR | O_CLOEXEC, 0666);
#endif
    if (fd_ < 0)
        return "cannot open the journal " + path_ + ": " + error_text();
    bool busy = false;
    if (!lock(fd_, busy)) {
        const std::string why = busy ? "another watcher is converting into " + folder +
                                           " (its journal " + path_ + " is locked)"
                                     : "cannot lock the journal " + path_ + ": " + error_text();
        spectrum::close_file(fd_);
        fd_ = -1;
        return why;
    }
    if (!read_all(fd_, text)) {
        const std::string why = "cannot read the journal " + path_ + ": " + error_text();
        spectrum::close_file(fd_);
        fd_ = -1;
        return why;
    }
    // A new journal names its columns. A last line without its line end was cut short by a
    // crash while it was written: it goes, so the journal holds whole lines only, and its file
    // is converted again.
    if (text.empty())
        return append(journal_header);
    if (text.back() != '\n') {
        const std::size_t whole = text.rfind('\n') + 1;  // 0 when no line is whole
        text.resize(whole);
        if (!truncate_to(fd_, whole))
            return "cannot write the journal " + path_ + ": " + error_text();
        if (whole == 0)
            return append(journal_header);
    }
    return {};
}

bool JournalFile::in_place() const {
#ifdef _WIN32
    // Windows removes no file that is open without leave to delete it, as the journal is.
    return fd_ >= 0;
#else
    struct stat open_file {};
    struct stat named {};
    return fd_ >= 0 && ::fstat(fd_, &open_file) == 0 && ::stat(path_.c_str(), &named) == 0 &&
           open_file.st_dev == named.st_dev && open_file.st_ino == named.st_ino;
#endif
}

std::string JournalFile::append(std::string_view bytes) {
    errno = 0;
    spectrum::FileOps& ops = spectrum::system_file_ops();
    if (fd_ < 0 || !ops.write_all(fd_, bytes) || !ops.flush_data(fd_))
        return "cannot write the journal " + path_ + ": " + error_text();
    return {};
}

}  // namespace brandel::app
