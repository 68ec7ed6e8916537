// Drops a few thousand spectrum files into a watched folder at once and prints how long the
// watcher took to convert them all, its resident memory as the files were converted (at a
// tenth, half and all of them) and its peak; then how long a restarted watcher takes to find
// that nothing is due. Figures only: nothing here fails on a slow machine.
//
//   brandel-watch-bench [--files N] [--channels C] [--settle MS]   (2000, 1024, 200 by default)

#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/watcher.hpp"
#include "memory.hpp"
#include "spectrum/paths.hpp"
#include "spectrum/state.hpp"
#include "tools/example_sources.hpp"

namespace {

using brandel::bench::current_rss_kb;
using brandel::bench::peak_rss_kb;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using brandel::app::WatchEvent;

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

int option(int argc, char** argv, const std::string& name, int fallback) {
    for (int i = 1; i + 1 < argc; ++i)
        if (argv[i] == name)
            return std::atoi(argv[i + 1]);
    return fallback;
}

}  // namespace

int main(int argc, char** argv) {
    const int files = option(argc, argv, "--files", 2000);
    const int channels = option(argc, argv, "--channels", 1024);
    const int settle_ms = option(argc, argv, "--settle", 200);
    const fs::path root =
        fs::temp_directory_path() / ("brandel-watch-bench-" + std::to_string(::getpid()));
    const fs::path src = root / "incoming", dst = root / "chn", staging = root / "staging";
    fs::create_directories(src);
    fs::create_directories(dst);
    fs::create_directories(staging);

    // The files are made beforehand and moved in together, as a copy of a day's spectra lands.
    std::uintmax_t bytes = 0;
    for (int i = 0; i < files; ++i) {
        brandel::tools::SourceParams p;
        p.channels = channels;
        p.seed = static_cast<std::uint64_t>(i + 1);
        const std::string text =
            brandel::tools::make_source(brandel::tools::Layout::canberra_txt, p);
        bytes += text.size();
        std::ofstream(staging / ("S" + std::to_string(100000 + i) + ".TXT"), std::ios::binary)
            .write(text.data(), static_cast<std::streamsize>(text.size()));
    }

    brandel::app::WatchOptions options;
    options.source_folder = src.string();
    options.destination_folder = dst.string();
    options.settle = std::chrono::milliseconds(settle_ms);
    std::atomic<int> converted{0}, failed{0};
    std::mutex marks_mutex;
    std::vector<std::pair<int, long>> marks;  // converted so far, resident kB then
    const int tenth = std::max(1, files / 10), half = std::max(1, files / 2);
    double took = 0;
    long idle_kb = 0;
    {
        brandel::spectrum::State state;
        brandel::app::Watcher watcher(state, options, [&](const WatchEvent& e) {
            if (e.kind == WatchEvent::Kind::failed)
                ++failed;
            if (e.kind != WatchEvent::Kind::converted)
                return;
            const int n = ++converted;
            if (n == tenth || n == half || n == files) {
                std::lock_guard lock(marks_mutex);
                marks.emplace_back(n, current_rss_kb());
            }
            if (n + failed.load() >= files)
                watcher.request_stop();
        });
        if (const std::string error = watcher.start(); !error.empty()) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        idle_kb = current_rss_kb();
        std::thread running([&] { watcher.run(); });
        const Clock::time_point dropped = Clock::now();
        for (const auto& entry : fs::directory_iterator(staging))
            fs::rename(entry.path(), src / entry.path().filename());
        running.join();
        took = seconds_since(dropped);
    }
    std::printf("watch: %d files of %d channels (%.1f MB) dropped at once, settle %d ms\n", files,
                channels, static_cast<double>(bytes) / 1e6, settle_ms);
    std::printf("  converted %d, failed %d in %.2f s (%.0f files/s, settle included)\n",
                converted.load(), failed.load(), took, files / took);
    std::printf("  resident memory: %.1f MB watching", idle_kb / 1024.0);
    for (const auto& [n, kb] : marks)
        std::printf(", %.1f MB at %d", kb / 1024.0, n);
    std::printf("; peak %.1f MB\n", peak_rss_kb() / 1024.0);

    // A restart: every file is looked at, found in the journal and left alone.
    {
        brandel::spectrum::State again_state;
        int again = 0;
        brandel::app::Watcher restarted(again_state, options, [&](const WatchEvent&) { ++again; });
        const Clock::time_point start = Clock::now();
        const std::string error = restarted.run(true);
        std::printf(
            "  restart with --once: %d files converted again in %.2f s (settle included)%s%s\n",
            again, seconds_since(start), error.empty() ? "" : ": ", error.c_str());
    }
    std::error_code ignored;
    fs::remove_all(root, ignored);
    return 0;
}
