// Batches that meet a faulty file system: a destination that cannot take files, CHN files that
// may not be replaced, source files or folders that disappear while the batch runs, and sources
// that are not regular files. Every file fails on its own, nothing is left
// half-written, and files that were there keep their bytes. The faults made with POSIX means
// (folder modes, files removed while they are open, FIFOs, devices and sockets) are tested on
// Linux only; the others on Windows too.

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/driver.hpp"
#include "spectrum/chn_file.hpp"
#include "spectrum/state.hpp"
#include "temp_dir.hpp"
#include "tools/example_sources.hpp"

namespace brandel::app {
namespace {

namespace fs = std::filesystem;
using spectrum::State;
using test_support::TempDir;
using tools::Layout;

// Every name in a folder, hidden ones too, sorted.
std::vector<std::string> all_names(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Three CANBERRA files s0.TXT, s1.TXT, s2.TXT in `src`; returns their paths.
std::vector<std::string> three_sources(const TempDir& src, Layout layout = Layout::canberra_txt) {
    std::vector<std::string> paths;
    for (int i = 0; i < 3; ++i) {
        tools::SourceParams p;
        p.channels = 64;
        p.seed = static_cast<std::uint64_t>(i + 1);
        paths.push_back(src.write("s" + std::to_string(i) + ".TXT", tools::make_source(layout, p)));
    }
    return paths;
}

BatchReport convert(State& state, const std::vector<std::string>& paths,
                    const std::function<bool(int, int, const std::string&)>& progress = nullptr) {
    state.org_type = static_cast<std::int16_t>(Layout::canberra_txt);
    return convert_paths(state, paths, progress);
}

// Each file failed with a reason that holds `reason_part`; unless `names_folder`, the reason
// names the CHN file that could not be written, else the folder that could not take it.
void expect_each_failed(const BatchReport& report, const std::vector<std::string>& paths,
                        const std::string& reason_part, bool names_folder = false) {
    EXPECT_EQ(report.converted, 0);
    ASSERT_EQ(report.failures.size(), paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        EXPECT_EQ(report.failures[i].path, paths[i]);
        EXPECT_NE(report.failures[i].reason.find(reason_part), std::string::npos)
            << report.failures[i].reason;
        if (names_folder)
            continue;
        const std::string chn = "s" + std::to_string(i) + ".chn";
        EXPECT_NE(report.failures[i].reason.find(chn), std::string::npos)
            << "the reason names the file that could not be written: " << report.failures[i].reason;
    }
}

TEST(DriverFaults, MissingDestinationFolderFailsEachFileAndCreatesNothing) {
    TempDir src, dst;
    const auto paths = three_sources(src);
    State state;
    state.chn_dir = dst.dir() + "missing/";
    const BatchReport report = convert(state, paths);
    expect_each_failed(report, paths, "cannot write");
    EXPECT_TRUE(all_names(dst.path()).empty()) << "the folder is not created";
    EXPECT_EQ(all_names(src.path()), (std::vector<std::string>{"s0.TXT", "s1.TXT", "s2.TXT"}));
}

TEST(DriverFaults, DestinationThatIsAFileFailsEachFileAndKeepsIt) {
    // A file where the folder should be fails for every user, root too.
    TempDir src, dst;
    const auto paths = three_sources(src);
    dst.write("out", "not a folder");
    State state;
    state.chn_dir = dst.dir() + "out/";
    const BatchReport report = convert(state, paths);
    expect_each_failed(report, paths, "cannot write");
    EXPECT_EQ(all_names(dst.path()), std::vector<std::string>{"out"});
    EXPECT_EQ(dst.read("out"), "not a folder");
}

#ifndef _WIN32
TEST(DriverFaults, ReadOnlyDestinationFailsEachFileAndKeepsOldFiles) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    TempDir src, dst;
    const auto paths = three_sources(src);
    dst.write("s1.chn", "old bytes of s1");
    fs::permissions(dst.path(),
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    State state;
    state.chn_dir = dst.dir();
    const BatchReport report = convert(state, paths);
    fs::permissions(dst.path(), fs::perms::owner_write, fs::perm_options::add);
    expect_each_failed(report, paths, "cannot write into " + dst.dir() + ": Permission denied",
                       true);
    EXPECT_EQ(all_names(dst.path()), std::vector<std::string>{"s1.chn"});
    EXPECT_EQ(dst.read("s1.chn"), "old bytes of s1");
}

// A source file removed after the file list was read and before its turn, for every layout.
TEST(DriverFaults, SourceThatVanishesBeforeItsTurnFailsAloneAndKeepsItsOldChn) {
    for (Layout layout : tools::all_layouts()) {
        SCOPED_TRACE("layout " + std::to_string(static_cast<int>(layout)));
        TempDir src, dst;
        const auto paths = three_sources(src, layout);
        dst.write("s1.chn", "old bytes of s1");
        State state;
        state.org_type = static_cast<std::int16_t>(layout);
        state.chn_dir = dst.dir();
        const BatchReport report =
            convert_paths(state, paths, [&](int done, int, const std::string& name) {
                if (done == 1)
                    fs::remove(src.path() / name);
                return true;
            });
        EXPECT_EQ(report.converted, 2);
        ASSERT_EQ(report.failures.size(), 1u);
        EXPECT_EQ(report.failures[0].path, paths[1]);
        EXPECT_EQ(report.failures[0].reason, "File does not exist.");
        EXPECT_NE(summary_text(report).find("\ns1.TXT: File does not exist."), std::string::npos)
            << summary_text(report);
        EXPECT_EQ(dst.read("s1.chn"), "old bytes of s1");
        EXPECT_EQ(all_names(dst.path()), (std::vector<std::string>{"s0.chn", "s1.chn", "s2.chn"}));
        for (const char* chn : {"s0.chn", "s2.chn"}) {
            State back;
            back.org_path = (dst.path() / chn).string();
            EXPECT_NO_THROW(spectrum::read_chn(back)) << chn;
        }
    }
}

TEST(DriverFaults, SourceFolderThatVanishesMidBatchFailsTheRest) {
    TempDir dst;
    auto src = std::make_unique<TempDir>();
    const auto paths = three_sources(*src);
    State state;
    state.chn_dir = dst.dir();
    const BatchReport report = convert(state, paths, [&](int done, int, const std::string&) {
        if (done == 1)
            src.reset();
        return true;
    });
    EXPECT_EQ(report.converted, 1);
    ASSERT_EQ(report.failures.size(), 2u);
    for (const FileFailure& f : report.failures)
        EXPECT_EQ(f.reason, "File does not exist.");
    EXPECT_EQ(all_names(dst.path()), std::vector<std::string>{"s0.chn"});

    // The reader's own status tells that the folder itself is gone.
    state.org_path = paths[2];
    const readers::ReaderResult result = convert_current(state);
    EXPECT_EQ(result.status, -1);
    EXPECT_EQ(result.reason, "File does not exist.");
}

// Puts something that is not a regular file in a source's place: a FIFO no one writes to, a
// folder, a device that never ends, a socket.
void replace_with_special(const std::string& path, std::string_view kind) {
    fs::remove(path);
    if (kind == "FIFO") {
        ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
    } else if (kind == "folder") {
        fs::create_directory(path);
    } else if (kind == "device") {
        // The system's endless device, or a node of it where this user may make one.
        if (::mknod(path.c_str(), S_IFCHR | 0644, ::makedev(1, 5)) != 0)
            fs::create_symlink("/dev/zero", path);
    } else {
        const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        ASSERT_EQ(::bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        ::close(sock);
    }
}

// Every layout meets each kind of file that is not a regular one in the middle of its batch: that
// file fails at once and the files after it convert. Should a FIFO ever make the batch wait, a
// writer is let in after a while, so the test fails instead of hanging.
TEST(DriverFaults, SourceThatIsNotARegularFileFailsAloneAtOnce) {
    for (Layout layout : tools::all_layouts()) {
        for (const char* kind : {"FIFO", "folder", "device", "socket"}) {
            SCOPED_TRACE("layout " + std::to_string(static_cast<int>(layout)) + ", " + kind);
            TempDir src, dst;
            const auto paths = three_sources(src, layout);
            replace_with_special(paths[1], kind);
            std::mutex m;
            std::condition_variable cv;
            bool done = false, waited = false;
            std::thread watchdog([&] {
                std::unique_lock lock(m);
                if (cv.wait_for(lock, std::chrono::seconds(10), [&] { return done; }))
                    return;
                waited = true;
                const int fd = ::open(paths[1].c_str(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0)
                    ::close(fd);
            });
            State state;
            state.org_type = static_cast<std::int16_t>(layout);
            state.chn_dir = dst.dir();
            const BatchReport report = convert_paths(state, paths, nullptr);
            {
                std::lock_guard lock(m);
                done = true;
            }
            cv.notify_one();
            watchdog.join();
            EXPECT_FALSE(waited) << "the batch waited on the " << kind;
            EXPECT_EQ(report.converted, 2);
            ASSERT_EQ(report.failures.size(), 1u);
            EXPECT_EQ(report.failures[0].path, paths[1]);
            EXPECT_EQ(report.failures[0].reason, "not a regular file");
            EXPECT_EQ(all_names(dst.path()), (std::vector<std::string>{"s0.chn", "s2.chn"}));
        }
    }
}

// A CHN file no one may write fails alone, for root too, and keeps its bytes and its mode.
TEST(DriverFaults, ReadOnlyChnFileFailsAloneAndKeepsItsBytes) {
    TempDir src, dst;
    const auto paths = three_sources(src);
    dst.write("s1.chn", "old bytes of s1");
    dst.write("s2.chn", "old bytes of s2");
    fs::permissions(dst.path() / "s1.chn", fs::perms(0444));
    fs::permissions(dst.path() / "s2.chn", fs::perms(0600));
    State state;
    state.chn_dir = dst.dir();
    const BatchReport report = convert(state, paths);
    EXPECT_EQ(report.converted, 2);
    ASSERT_EQ(report.failures.size(), 1u);
    EXPECT_EQ(report.failures[0].path, paths[1]);
    EXPECT_EQ(report.failures[0].reason, "s1.chn is read-only");
    EXPECT_NE(summary_text(report).find("\ns1.TXT: s1.chn is read-only"), std::string::npos);
    EXPECT_EQ(dst.read("s1.chn"), "old bytes of s1");
    EXPECT_EQ(fs::status(dst.path() / "s1.chn").permissions(), fs::perms(0444));
    EXPECT_EQ(fs::status(dst.path() / "s2.chn").permissions(), fs::perms(0600));
    EXPECT_NE(dst.read("s2.chn"), "old bytes of s2");
    EXPECT_EQ(all_names(dst.path()), (std::vector<std::string>{"s0.chn", "s1.chn", "s2.chn"}));
}

#endif

// Counts the folder flushes of a batch.
class CountingOps : public spectrum::FileOps {
  public:
    int folder_flushes = 0;
    bool flush_folder(const std::filesystem::path& folder) override {
        ++folder_flushes;
        return FileOps::flush_folder(folder);
    }
};

// A long batch writes its CHN files in groups; failures of every kind are still reported in the
// order of the batch, and a cancelled batch keeps every file converted before it stopped.
TEST(DriverFaults, GroupedWritesKeepTheOrderAndTheFailuresOfTheBatch) {
    TempDir src, dst;
    std::vector<std::string> paths;
    for (int i = 0; i < 70; ++i) {
        tools::SourceParams p;
        p.channels = 8;
        p.seed = static_cast<std::uint64_t>(i + 1);
        paths.push_back(src.write("f" + std::to_string(i) + ".TXT",
                                  tools::make_source(Layout::canberra_txt, p)));
    }
    src.write("f5.TXT", "not a report\r\n");
    dst.write("f40.chn", "read-only");
    fs::permissions(dst.path() / "f40.chn", fs::perms(0444));
    fs::remove(paths[66]);
    CountingOps ops;
    State state;
    state.file_ops = &ops;
    state.chn_dir = dst.dir();
    BatchReport report = convert(state, paths);
    EXPECT_EQ(report.converted, 67);
    ASSERT_EQ(report.failures.size(), 3u);
    EXPECT_EQ(report.failures[0].path, paths[5]);
    EXPECT_EQ(report.failures[1].path, paths[40]);
    EXPECT_EQ(report.failures[1].reason, "f40.chn is read-only");
    EXPECT_EQ(report.failures[2].path, paths[66]);
    EXPECT_EQ(ops.folder_flushes, 3) << "70 files in three groups";
    EXPECT_EQ(dst.read("f40.chn"), "read-only");
    EXPECT_EQ(all_names(dst.path()).size(), 68u) << "67 files and the read-only one, nothing else";
    EXPECT_EQ(state.write_group, nullptr);

    TempDir again;
    state.chn_dir = again.dir();
    report = convert(state, paths, [](int done, int, const std::string&) { return done < 10; });
    EXPECT_TRUE(report.cancelled);
    EXPECT_EQ(report.converted, 9);
    EXPECT_EQ(all_names(again.path()).size(), 9u);
}

}  // namespace
}  // namespace brandel::app
