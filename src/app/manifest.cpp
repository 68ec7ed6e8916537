#include "app/manifest.hpp"

#include <cerrno>
#include <chrono>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#include <share.h>
#else
#include <unistd.h>
#endif

#include "brandel/version.hpp"
#include "spectrum/atomic_file.hpp"
#include "spectrum/folder_entries.hpp"
#include "spectrum/paths.hpp"

namespace brandel::app {

namespace {

// A cell as one CSV field, kept exactly: quoted when it holds a comma, a quote, a line break or
// a blank at either end, quotes doubled.
std::string csv_field(std::string_view cell) {
    const bool quote = cell.find_first_of(",\"\r\n") != std::string_view::npos ||
                       (!cell.empty() && (cell.front() == ' ' || cell.back() == ' '));
    if (!quote)
        return std::string(cell);
    std::string out = "\"";
    for (char c : cell) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + "\"";
}

std::string joined(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items)
        text += (text.empty() ? "" : ";") + item;
    return text;
}

std::string two(unsigned n) {
    return {static_cast<char>('0' + n / 10 % 10), static_cast<char>('0' + n % 10)};
}

}  // namespace

std::string utc_time_now() {
    using namespace std::chrono;
    const auto now = floor<seconds>(system_clock::now());
    const auto day = floor<days>(now);
    const year_month_day date{day};
    const hh_mm_ss clock{now - day};
    return std::to_string(static_cast<int>(date.year())) + "-" +
           two(static_cast<unsigned>(date.month())) + "-" + two(static_cast<unsigned>(date.day())) +
           "T" + two(static_cast<unsigned>(clock.hours().count())) + ":" +
           two(static_cast<unsigned>(clock.minutes().count())) + ":" +
           two(static_cast<unsigned>(clock.seconds().count())) + "Z";
}

std::string manifest_line(const ManifestEntry& e) {
    const std::string cells[] = {
        e.time,
        e.source,
        e.source_read ? std::to_string(e.source_size) : std::string(),
        e.source_sha256,
        e.layout,
        joined(e.outputs),
        joined(e.output_sha256),
        version_text,
        e.converted ? "converted" : "failed",
        e.reason,
        e.notes,
    };
    std::string line;
    for (const std::string& cell : cells)
        line += (line.empty() ? "" : ",") + csv_field(cell);
    return line + "\r\n";
}

bool next_csv_record(std::string_view text, std::size_t& at, std::vector<std::string>& cells) {
    cells.clear();
    if (at >= text.size())
        return false;
    std::string cell;
    bool quoted = false;
    while (at < text.size()) {
        const char c = text[at++];
        if (quoted) {
            if (c != '"')
                cell += c;
            else if (at < text.size() && text[at] == '"')
                cell += text[at++];
            else
                quoted = false;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            cells.push_back(std::move(cell));
            cell.clear();
        } else if (c == '\r' || c == '\n') {
            if (c == '\r' && at < text.size() && text[at] == '\n')
                ++at;
            break;
        } else {
            cell += c;
        }
    }
    cells.push_back(std::move(cell));
    if (quoted) {
        at = text.size();
        return false;
    }
    return true;
}

ManifestFile::~ManifestFile() {
    if (fd_ >= 0)
        spectrum::close_file(fd_);
}

std::string ManifestFile::open(const std::string& path) {
    path_ = path;
#ifdef _WIN32
    _wsopen_s(&fd_, spectrum::long_path(spectrum::fs_path(path)).c_str(),
              _O_CREAT | _O_APPEND | _O_WRONLY | _O_BINARY, _SH_DENYWR, _S_IREAD | _S_IWRITE);
#else
    fd_ = ::open(path.c_str(), O_CREAT | O_APPEND | O_WRONLY | O_CLOEXEC, 0666);
#endif
    if (fd_ < 0)
        return "cannot open the manifest " + path + ": " + std::strerror(errno);
    struct stat st {};
    if (::fstat(fd_, &st) == 0 && st.st_size == 0)
        return append("\xEF\xBB\xBF" + std::string(manifest_header) + "\r\n");
    return {};
}

std::string ManifestFile::append(std::string_view lines) {
    errno = 0;
    spectrum::FileOps& ops = spectrum::system_file_ops();
    if (fd_ < 0 || !ops.write_all(fd_, lines) || !ops.flush_data(fd_))
        return "cannot write the manifest " + path_ + ": " +
               std::strerror(errno != 0 ? errno : EIO);
    return {};
}

}  // namespace brandel::app
