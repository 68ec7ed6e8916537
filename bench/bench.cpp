// Converts batches of generated source files, one layout at a time, and prints for each: the
// batch's time, its I/O floor (reading every source file whole and replacing a file of each
// output's size under a temporary name with a rename, as the converter writes, flushes included),
// their ratio, files and MB per second, user and system processor time, the channel table's bytes
// per second of user time, and peak memory; then the batch's time without the flushes that make a
// replaced file survive a power cut ("unflushed") and what the flushes multiply it by ("flush x").
// Batch, floor and unflushed batch alternate, and every figure is the median of the rounds. Each
// layout runs in its own process, so its peak memory is its own. A last line writes the CANBERRA
// files as CHN, SPE and N42 together and compares its batch with the CHN batch of the same files.
//
// With --scale N (40000 by default) it converts one batch of N small selected files, as the
// window's start button does, and then lists the folder of N CHN files, printing time and
// memory at a tenth of the files and at all of them: memory must not grow with the files
// converted, and grows only by the grid's rows while listing.
//
// With --large MB (256 by default) it converts, one at a time, large sources that no layout
// reads, and prints how long each took to be refused and its peak memory against its size.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "app/driver.hpp"
#include "app/file_list.hpp"
#include "app/recognition.hpp"
#include "formats/output_formats.hpp"
#include "listing/actions.hpp"
#include "memory.hpp"
#include "spectrum/atomic_file.hpp"
#include "spectrum/state.hpp"
#include "spectrum/text.hpp"
#include "tools/example_sources.hpp"

namespace {

using brandel::bench::current_rss_kb;
using brandel::bench::peak_rss_kb;

namespace fs = std::filesystem;
using brandel::tools::Layout;
using Clock = std::chrono::steady_clock;

struct Set {
    const char* name;
    Layout layout;
    const char* extension;
    const char* formats = "chn";  // what each file is written as
};

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Processor time of this process (all its threads) so far, in seconds.
struct Cpu {
    double user = 0;
    double system = 0;
};
Cpu cpu_now() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto s = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return {s(usage.ru_utime), s(usage.ru_stime)};
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::vector<std::string> generate(const Set& set, const fs::path& dir, int files, int channels,
                                  std::uintmax_t& bytes) {
    fs::create_directories(dir);
    std::vector<std::string> paths;
    bytes = 0;
    for (int i = 0; i < files; ++i) {
        brandel::tools::SourceParams p;
        p.channels = channels;
        p.seed = static_cast<std::uint64_t>(i + 1);
        p.sample = U"試料 No." + brandel::spectrum::widen(std::to_string(i));
        std::string data = brandel::tools::make_source(set.layout, p);
        bytes += data.size();
        fs::path path = dir / ("s" + std::to_string(i) + set.extension);
        std::ofstream(path, std::ios::binary)
            .write(data.data(), static_cast<std::streamsize>(data.size()));
        paths.push_back(path.string());
    }
    return paths;
}

struct Timing {
    double seconds;
    Cpu cpu;
};

template <typename Work>
Timing timed(Work work) {
    ::sync();  // earlier phases' dirty pages are written back before the clock starts
    const Cpu before = cpu_now();
    const auto start = Clock::now();
    work();
    const double seconds = seconds_since(start);
    const Cpu after = cpu_now();
    return {seconds, {after.user - before.user, after.system - before.system}};
}

// Converts one batch; `flush` false leaves out the flushes that make each file survive a power
// cut, to show what they cost. A `manifest` makes the batch prove itself: every file read back
// before its rename, and a manifest line with the digests of each source and output.
void convert_batch(const Set& set, const std::vector<std::string>& paths, const fs::path& out,
                   bool flush = true, const char* formats = nullptr,
                   const fs::path& manifest = {}) {
    brandel::spectrum::FileOps unflushed(false);
    brandel::spectrum::State state;
    if (!flush)
        state.file_ops = &unflushed;
    state.org_type = static_cast<std::int16_t>(set.layout);
    state.chn_dir = out.string() + "/";
    brandel::app::BatchOptions options;
    brandel::formats::parse_format_list(formats != nullptr ? formats : set.formats,
                                        options.formats);
    options.verify = !manifest.empty();
    options.manifest = manifest.string();
    auto report = brandel::app::convert_paths(state, paths, nullptr, options);
    if (report.converted != static_cast<int>(paths.size()))
        std::printf("  !! %s: %d of %zu converted (%s)\n", set.name, report.converted, paths.size(),
                    report.failures.empty() ? "" : report.failures[0].reason.c_str());
}

// The least a conversion must do: read each source file whole (one open, its size, one read)
// and replace a file of each output's size as the converter replaces it, in groups of 32 files.
void io_floor(const std::vector<std::string>& paths, const fs::path& out,
              const std::vector<std::size_t>& sizes) {
    std::vector<std::string> outputs;
    for (std::size_t size : sizes)
        outputs.emplace_back(size, '\0');
    std::string bytes;
    // Replaced as a batch replaces its files: staged, and put on the disk a group at a time.
    brandel::spectrum::ReplaceGroup group;
    std::size_t i = 0;
    for (const std::string& path : paths) {
        const int fd = ::open(path.c_str(), O_RDONLY);
        struct stat st {};
        if (fd < 0 || ::fstat(fd, &st) != 0)
            std::abort();
        bytes.resize(static_cast<std::size_t>(st.st_size));
        if (::read(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
            std::abort();
        ::close(fd);
        for (std::size_t k = 0; k < outputs.size(); ++k) {
            outputs[k][0] = bytes.empty() ? 0 : bytes[0];
            group.stage(out / ("f" + std::to_string(i) + "." + std::to_string(k)), outputs[k]);
        }
        ++i;
        if (group.size() >= 32)
            group.commit();
    }
    group.commit();
}

// The sizes of the files a set's batch writes for a source: those of its first file.
std::vector<std::size_t> output_sizes(const Set& set, const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string source{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    brandel::spectrum::State state;
    const brandel::app::OrgType* type = brandel::app::find_org_type(static_cast<int>(set.layout));
    if (type == nullptr || !brandel::app::read_as(state, *type, source).complete())
        std::abort();
    brandel::formats::FormatList chosen;
    brandel::formats::parse_format_list(set.formats, chosen);
    std::vector<std::size_t> sizes;
    for (const brandel::formats::OutputFormat* format : chosen)
        sizes.push_back(format->bytes(state).size());
    return sizes;
}

// This thread's processor time so far, in seconds.
double thread_cpu_seconds() {
    timespec ts{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// The reading alone: the first files' bytes, already in memory, read into a record as a batch
// reads them, again and again; bytes of source per second of this thread's processor time, in
// GB/s, the median of five timings of about 100 MB each. No file is opened or written while the
// clock runs.
double parse_rate(const Set& set, const std::vector<std::string>& paths) {
    std::vector<std::string> sources;
    std::size_t total = 0;
    for (std::size_t i = 0; i < paths.size() && i < 50; ++i) {
        std::ifstream in(paths[i], std::ios::binary);
        sources.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        total += sources.back().size();
    }
    const brandel::app::OrgType* type = brandel::app::find_org_type(static_cast<int>(set.layout));
    if (type == nullptr || total == 0)
        return 0.0;
    brandel::spectrum::State state;
    const std::size_t passes = std::max<std::size_t>(1, 100'000'000 / total);
    std::vector<double> rates;
    for (int timing = 0; timing < 5; ++timing) {
        const double start = thread_cpu_seconds();
        for (std::size_t pass = 0; pass < passes; ++pass)
            for (const std::string& bytes : sources)
                if (!brandel::app::read_as(state, *type, bytes).complete())
                    std::abort();
        const double seconds = thread_cpu_seconds() - start;
        rates.push_back(seconds > 0 ? static_cast<double>(total * passes) / seconds / 1e9 : 0.0);
    }
    return median(rates);
}

// One layout: generate, then alternate batch and floor for the rounds; prints one line.
void run_layout(const Set& set, const fs::path& root, int files, int channels, int rounds) {
    std::uintmax_t bytes = 0;
    const auto paths = generate(set, root / set.name, files, channels, bytes);
    const std::vector<std::size_t> sizes = output_sizes(set, paths.front());
    fs::create_directories(root / "out");
    fs::create_directories(root / "floor");
    std::vector<double> batch, floor, user, system, floor_user, floor_system, unflushed, chn_alone,
        proven;
    const bool formats = std::string(set.formats) != "chn";
    for (int r = 0; r < rounds; ++r) {
        // A batch of other formats is timed against the CHN batch of the same files.
        if (formats)
            chn_alone.push_back(
                timed([&] { convert_batch(set, paths, root / "out", true, "chn"); }).seconds);
        const Timing b = timed([&] { convert_batch(set, paths, root / "out"); });
        const Timing f = timed([&] { io_floor(paths, root / "floor", sizes); });
        batch.push_back(b.seconds);
        user.push_back(b.cpu.user);
        system.push_back(b.cpu.system);
        floor.push_back(f.seconds);
        floor_user.push_back(f.cpu.user);
        floor_system.push_back(f.cpu.system);
        unflushed.push_back(timed([&] { convert_batch(set, paths, root / "out", false); }).seconds);
        proven.push_back(timed([&] {
                             convert_batch(set, paths, root / "out", true, nullptr,
                                           root / "manifest.csv");
                         }).seconds);
    }
    const double t = median(batch), fl = median(floor), u = median(user);
    const double mb = static_cast<double>(bytes) / 1e6;
    const long peak_kb = peak_rss_kb();  // before the reading alone loads its files
    // The rounds' writes are flushed first, so that the system writing them back does not share
    // the processors with the reading alone.
    ::sync();
    const double read_rate = parse_rate(set, paths);
    std::printf(
        "%-14s %8.1f %8.1f %6.2f %8.0f %8.1f %8.1f %8.1f %8.1f %8.1f %8.2f %8.2f %8.1f "
        "%9.1f %7.2f\n",
        set.name, t * 1e3, fl * 1e3, t / fl, files / t, mb / t, u * 1e3, median(system) * 1e3,
        median(floor_user) * 1e3, median(floor_system) * 1e3, u > 0 ? mb / 1e3 / u : 0.0, read_rate,
        static_cast<double>(peak_kb) / 1024.0, median(unflushed) * 1e3, t / median(unflushed));
    if (formats)
        std::printf("%-14s %8.1f ms for CHN alone: %s takes %.2f times as long\n", "",
                    median(chn_alone) * 1e3, set.formats, t / median(chn_alone));
    std::printf("%-14s batch %8.1f ms, with --verify --manifest %8.1f ms: %.2f times\n", "",
                t * 1e3, median(proven) * 1e3, median(proven) / t);
    std::fflush(stdout);
    fs::remove_all(root / set.name);
    fs::remove_all(root / "out");
    fs::remove_all(root / "floor");
    fs::remove(root / "manifest.csv");
}

// The window as a batch and a listing see it: every source file selected, the destination
// folder's CHN files listed, and a mark taken when the batch reaches a given file.
class ScaleHost final : public brandel::app::Host {
  public:
    std::string source;
    std::string destination;
    std::vector<std::string> sources;
    std::vector<std::string> chn_files;
    int mark_at = 0;
    Clock::time_point start;
    double mark_seconds = 0;
    long mark_peak_kb = 0;
    long mark_rss_kb = 0;

    std::string destination_path() const override { return destination; }
    std::string source_path() const override { return source; }
    int source_entry_count() const override { return static_cast<int>(sources.size()); }
    std::string source_entry(int i) const override { return sources[static_cast<std::size_t>(i)]; }
    bool source_selected(int) const override { return true; }
    int destination_entry_count() const override { return static_cast<int>(chn_files.size()); }
    std::string destination_entry(int i) const override {
        return chn_files[static_cast<std::size_t>(i)];
    }
    void set_busy(bool) override {}
    void message_box(const std::string& text) override {
        std::printf("  message: %s\n", text.substr(0, 200).c_str());
    }
    void refresh_destination_list() override {}
    bool progress(int done, int, const std::string&) override {
        if (done == mark_at) {
            mark_seconds = seconds_since(start);
            mark_peak_kb = peak_rss_kb();
            mark_rss_kb = current_rss_kb();
        }
        return true;
    }
};

void print_mark(const char* what, int files, double seconds, long peak_kb, long rss_kb) {
    std::printf("%-10s %7d files %8.2f s %9.0f files/s   peak %7.1f MB   now %7.1f MB\n", what,
                files, seconds, files / seconds, static_cast<double>(peak_kb) / 1024.0,
                static_cast<double>(rss_kb) / 1024.0);
}

int run_scale(int files) {
    const int mark = std::max(1, files / 10);
    fs::path root = fs::temp_directory_path() / ("brandel-scale-" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "org");
    fs::create_directories(root / "chn");

    ScaleHost host;
    host.source = (root / "org").string();
    host.destination = (root / "chn").string();
    auto start = Clock::now();
    for (int i = 0; i < files; ++i) {
        brandel::tools::SourceParams p;
        p.channels = 256;
        p.seed = static_cast<std::uint64_t>(i + 1);
        p.sample = U"試料 No." + brandel::spectrum::widen(std::to_string(i));
        const std::string data = brandel::tools::make_source(Layout::canberra_txt, p);
        host.sources.push_back("s" + std::to_string(i) + ".TXT");
        std::ofstream(root / "org" / host.sources.back(), std::ios::binary)
            .write(data.data(), static_cast<std::streamsize>(data.size()));
    }
    std::printf("%d CANBERRA(txt) files of 256 channels generated in %.1f s; peak %.1f MB\n", files,
                seconds_since(start), static_cast<double>(peak_rss_kb()) / 1024.0);

    brandel::spectrum::State state;
    state.org_type = static_cast<std::int16_t>(Layout::canberra_txt);
    state.run_mode = brandel::app::mode_fileconv;
    host.mark_at = mark;
    host.start = Clock::now();
    const auto batch = brandel::app::convert_org_files(state, host);
    const double batch_seconds = seconds_since(host.start);
    std::printf("conversion batch (convert_org_files, all %d selected)\n", files);
    print_mark("  at", mark, host.mark_seconds, host.mark_peak_kb, host.mark_rss_kb);
    print_mark("  at", files, batch_seconds, peak_rss_kb(), current_rss_kb());
    if (batch.converted != files)
        std::printf("  !! %d of %d converted\n", batch.converted, files);

    host.start = Clock::now();
    host.chn_files = brandel::app::list_files(host.destination, "*.chn");
    const double list_seconds = seconds_since(host.start);
    host.start = Clock::now();
    const auto listing = brandel::listing::build_listing(state, host);
    const double listing_seconds = seconds_since(host.start);
    std::printf("listing (list_files %.2f s for %zu names, then build_listing)\n", list_seconds,
                host.chn_files.size());
    print_mark("  at", mark, host.mark_seconds, host.mark_peak_kb, host.mark_rss_kb);
    print_mark("  at", files, listing_seconds, peak_rss_kb(), current_rss_kb());
    if (listing.listed != files)
        std::printf("  !! %d of %d listed, %zu skipped\n", listing.listed, files,
                    listing.skipped.size());
    fs::remove_all(root);
    return batch.converted == files && listing.listed == files ? 0 : 1;
}

// Large sources that no layout reads: each is converted alone under the automatic type in a
// process of its own, which prints how long the refusal took and its peak memory beside the
// file's size. The reading must stay within about twice the file's size.
struct BadSource {
    const char* name;
    std::string (*make)(std::size_t size);
};

std::string repeated(std::string_view line, std::size_t size) {
    std::string out;
    out.reserve(size);
    while (out.size() + line.size() <= size)
        out += line;
    return out;
}

const BadSource bad_sources[] = {
    {"line feeds", [](std::size_t size) { return std::string(size, '\n'); }},
    {"kanji lines",
     [](std::size_t size) { return repeated("\x8e\x8e\x97\xbf abc 123 \x8e\x8e\r\n", size); }},
    {"number lines", [](std::size_t size) { return repeated("0 12 34 56 Channel\r\n", size); }},
    {"one kanji line", [](std::size_t size) { return repeated("\x8e\x8e", size); }},
    {"report header, then garbage",
     [](std::size_t size) {
         return "Channel No    4096\r\nLive Time     3600\r\nTrue Time     3601\r\n" +
                repeated("Date Time \x82\x41\x82\x41 x,y\r\n", size - 60);
     }},
};

int run_large(std::size_t megabytes) {
    const std::size_t size = megabytes << 20;
    fs::path root = fs::temp_directory_path() / ("brandel-large-" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "out");
    std::printf("bad sources of %zu MB converted under the automatic type, one process each\n",
                megabytes);
    std::printf("%-28s %8s %9s %9s  %s\n", "source", "seconds", "peak MB", "x size", "reason");
    int status = 0;
    for (const BadSource& bad : bad_sources) {
        const fs::path path = root / "bad.txt";
        {
            const std::string bytes = bad.make(size);
            std::ofstream(path, std::ios::binary)
                .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        }
        std::fflush(stdout);
        const pid_t child = ::fork();
        if (child == 0) {
            brandel::spectrum::State state;
            state.org_type = brandel::app::org_type_auto;
            state.chn_dir = (root / "out").string() + "/";
            const auto start = Clock::now();
            const auto report = brandel::app::convert_paths(state, {path.string()}, nullptr);
            const double seconds = seconds_since(start);
            const double peak_mb = static_cast<double>(peak_rss_kb()) / 1024.0;
            std::printf("%-28s %8.2f %9.1f %9.2f  %s\n", bad.name, seconds, peak_mb,
                        peak_mb / static_cast<double>(megabytes),
                        report.failures.empty() ? "converted!"
                                                : report.failures[0].reason.substr(0, 60).c_str());
            std::fflush(stdout);
            std::_Exit(report.converted == 0 ? 0 : 1);
        }
        int child_status = 0;
        if (child < 0 || ::waitpid(child, &child_status, 0) != child || child_status != 0)
            status = 1;
    }
    fs::remove_all(root);
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "--scale")
        return run_scale(argc > 2 ? std::max(1, std::atoi(argv[2])) : 40000);
    if (argc > 1 && std::string(argv[1]) == "--large")
        return run_large(argc > 2 ? static_cast<std::size_t>(std::max(1, std::atoi(argv[2])))
                                  : 256);
    // Arguments: the number of files per batch (1000), a part of a layout's name to run only the
    // matching layouts, and the number of rounds (5).
    const int files = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
    const std::string only = argc > 2 ? argv[2] : "";
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    const int channels = 4096;
    const Set sets[] = {
        {"CANBERRA(txt)", Layout::canberra_txt, ".txt"},
        {"JAERI(dat)", Layout::kaihouken_dat, ".dat"},
        {"JAERI(csv)", Layout::kaihouken_csv, ".csv"},
        {"JAERI(txt)", Layout::kaihouken_txt, ".txt"},
        {"Oxford(asc)", Layout::oxford_asc, ".asc"},
        {"Labo(New)", Layout::labo_new, ".spc"},
        {"Labo(Old)", Layout::labo_old, ".spc"},
        {"Labo(LIST)", Layout::labo_list, ".lst"},
        {"CANBERRA chn,spe,n42", Layout::canberra_txt, ".txt", "chn,spe,n42"},
    };
    fs::path root = fs::temp_directory_path() / ("brandel-bench-" + std::to_string(::getpid()));
    fs::remove_all(root);

    std::printf(
        "%d files of %d channels per batch; medians of %d rounds, batch and floor "
        "alternating; %u processors\n",
        files, channels, rounds, std::thread::hardware_concurrency());
    std::printf(
        "times in ms; table GB/s = bytes of source per second of the batch's user time;\n"
        "read GB/s = the same for reading files already in memory, on one core\n");
    std::printf("%-14s %8s %8s %6s %8s %8s %8s %8s %8s %8s %8s %8s %8s %9s %7s\n", "layout",
                "batch", "floor", "ratio", "files/s", "MB/s", "user", "system", "fl.user", "fl.sys",
                "table", "read", "peak MB", "unflushed", "flush x");
    int status = 0;
    for (const Set& set : sets) {
        if (std::string(set.name).find(only) == std::string::npos)
            continue;
        // Each layout in a process of its own, so that its peak memory is its own.
        std::fflush(stdout);
        const pid_t child = ::fork();
        if (child == 0) {
            run_layout(set, root, files, channels, rounds);
            std::fflush(stdout);
            std::_Exit(0);
        }
        int child_status = 0;
        if (child < 0 || ::waitpid(child, &child_status, 0) != child || child_status != 0)
            status = 1;
    }
    fs::remove_all(root);
    return status;
}
