// Converts batches of generated source files and prints files per second, MB per second, peak
// memory, and the I/O floor of the same batch: reading every source file whole and writing a
// file of the CHN size under a temporary name with a rename, as the converter does.

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/driver.hpp"
#include "spectrum/atomic_file.hpp"
#include "spectrum/state.hpp"
#include "spectrum/text.hpp"
#include "tools/example_sources.hpp"

namespace {

namespace fs = std::filesystem;
using brandel::tools::Layout;
using Clock = std::chrono::steady_clock;

struct Set {
    const char* name;
    Layout layout;
    const char* extension;
};

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

long peak_rss_kb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
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

double convert_batch(const Set& set, const std::vector<std::string>& paths, const fs::path& out) {
    fs::create_directories(out);
    brandel::spectrum::State state;
    state.org_type = static_cast<std::int16_t>(set.layout);
    state.chn_dir = out.string() + "/";
    auto start = Clock::now();
    auto report = brandel::app::convert_paths(state, paths, nullptr);
    double t = seconds_since(start);
    if (report.converted != static_cast<int>(paths.size()))
        std::printf("  !! %s: %d of %zu converted (%s)\n", set.name, report.converted, paths.size(),
                    report.failures.empty() ? "" : report.failures[0].reason.c_str());
    return t;
}

double io_floor(const std::vector<std::string>& paths, const fs::path& out, std::size_t chn_size) {
    fs::create_directories(out);
    std::string chn(chn_size, '\0');
    auto start = Clock::now();
    std::size_t i = 0;
    for (const std::string& path : paths) {
        std::ifstream in(path, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        chn[0] = bytes.empty() ? 0 : bytes[0];
        brandel::spectrum::replace_file(out / ("f" + std::to_string(i++) + ".chn"), chn);
    }
    return seconds_since(start);
}

}  // namespace

int main(int argc, char** argv) {
    // Arguments: the number of files per batch (1000), and a part of a layout's name to run only
    // the batches of matching layouts.
    const int files = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
    const std::string only = argc > 2 ? argv[2] : "";
    const int channels = 4096;
    const int rounds = 3;
    const Set sets[] = {
        {"CANBERRA(txt)", Layout::canberra_txt, ".txt"},
        {"JAERI(dat)", Layout::kaihouken_dat, ".dat"},
        {"JAERI(csv)", Layout::kaihouken_csv, ".csv"},
        {"JAERI(txt)", Layout::kaihouken_txt, ".txt"},
        {"Oxford(asc)", Layout::oxford_asc, ".asc"},
        {"Labo(New)", Layout::labo_new, ".spc"},
    };
    fs::path root = fs::temp_directory_path() / ("brandel-bench-" + std::to_string(::getpid()));
    fs::remove_all(root);
    const std::size_t chn_size = 32 + 4 * channels + 512;

    std::printf("%d files of %d channels per batch, best of %d rounds\n", files, channels, rounds);
    std::printf("%-14s %9s %8s %10s %10s %7s %10s\n", "layout", "files/s", "MB/s", "batch ms",
                "floor ms", "ratio", "peak MB");
    for (const Set& set : sets) {
        if (std::string(set.name).find(only) == std::string::npos)
            continue;
        std::uintmax_t bytes = 0;
        auto paths = generate(set, root / set.name, files, channels, bytes);
        double batch = 1e9, floor = 1e9;
        for (int r = 0; r < rounds; ++r) {
            batch = std::min(batch, convert_batch(set, paths, root / "out"));
            floor = std::min(floor, io_floor(paths, root / "floor", chn_size));
        }
        std::printf("%-14s %9.0f %8.1f %10.1f %10.1f %7.2f %10.1f\n", set.name, files / batch,
                    static_cast<double>(bytes) / 1e6 / batch, batch * 1e3, floor * 1e3,
                    batch / floor, static_cast<double>(peak_rss_kb()) / 1024.0);
        fs::remove_all(root / set.name);
        fs::remove_all(root / "out");
        fs::remove_all(root / "floor");
    }
    fs::remove_all(root);
    return 0;
}
